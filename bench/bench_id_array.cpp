// Builds the id index of 100,000 user-like records and measures the lookups the pages make: by id,
// by another integer field and by name.
#include "storage/mok_key.h"
#include "platform/mome_mem_cmn.h"
#include "storage/motc_common.h"
#include "platform/moux_unix.h"
#include "entry/mox_aux.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct User {
    int id;
    int new_flag;
    int del;
    char *user_name;
    int number;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    const int count = 100000;
    MOX_AUX_T *aux = nullptr;
    if (moux_unix_construct(&aux, nullptr) != 0)
        return 1;

    std::vector<User> users(count);
    std::vector<MOK_DATA_RECORD_T> records(count);
    std::vector<std::string> names(count);
    for (int i = 0; i < count; i++) {
        names[i] = "user" + std::to_string(i + 1);
        users[i] = User{i + 1, 0, (i % 10 == 0) ? 1 : 0, names[i].data(), 1000000 + i};
        records[i] = MOK_DATA_RECORD_T{&users[i], FALSE, FALSE, i + 1 < count ? &records[i + 1] : nullptr};
    }

    MO_ID_ARRAY_T index{};
    auto start = std::chrono::steady_clock::now();
    if (motc_init_id_array(aux, &index, &records[0], offsetof(User, id), nullptr) != 0)
        return 1;
    double build = seconds_since(start);

    const int by_id = 1000000;
    unsigned seed = 12345;
    long found = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < by_id; i++) {
        seed = seed * 1103515245u + 12345u;
        int id = static_cast<int>(seed % count) + 1;
        const char *name = nullptr;
        mo_boolean_t deleted = FALSE;
        if (motc_get_string_from_id_array(&index, id, offsetof(User, user_name), &deleted,
                                          offsetof(User, del), &name) == 0 &&
            name != nullptr)
            found++;
    }
    double t_id = seconds_since(start);

    const int scans = 2000;
    long scanned = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < scans; i++) {
        seed = seed * 1103515245u + 12345u;
        int number = 1000000 + static_cast<int>(seed % count);
        int id = 0;
        mo_boolean_t deleted = FALSE;
        if (motc_find_id_from_int(&index, number, offsetof(User, number), &deleted, offsetof(User, del),
                                  &id) == 0 &&
            id > 0)
            scanned++;
    }
    double t_int = seconds_since(start);

    long named = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < scans; i++) {
        seed = seed * 1103515245u + 12345u;
        std::string name = "user" + std::to_string(seed % count + 1);
        int id = 0;
        mo_boolean_t deleted = FALSE;
        if (motc_find_id_from_name(&index, name.c_str(), offsetof(User, user_name), &deleted,
                                   offsetof(User, del), offsetof(User, new_flag), &id) == 0 &&
            id > 0)
            named++;
    }
    double t_name = seconds_since(start);

    printf("id index of %d records built in %.2f ms (max id %d)\n", count, build * 1000.0, index.max_id);
    printf("lookup by id:      %9.0f lookups/s (%ld of %d found)\n", by_id / t_id, found, by_id);
    printf("find by integer:   %9.0f lookups/s (linear; %ld of %d found)\n", scans / t_int, scanned, scans);
    printf("find by name:      %9.0f lookups/s (linear; %ld of %d found)\n", scans / t_name, named, scans);
    return 0;
}
