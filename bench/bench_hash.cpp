// Inserts and finds 100,000 keys in hash tables of the sizes the lock service and the spell
// checker use, and prints the time per operation and the shape of the nested tables.
#include "storage/moh_hash.h"
#include "entry/moim_interm.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_mem.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Shape {
    long tables = 0;
    long buckets = 0;
    int depth = 0;
};

void measure(MOH_HASH_T *h, int level, Shape *s) {
    s->tables++;
    s->buckets += h->num_buckets;
    if (level > s->depth)
        s->depth = level;
    for (int i = 0; i < h->num_buckets; i++)
        if (h->table[i].type == MOH_BUCKET_NESTED)
            measure(static_cast<MOH_HASH_T *>(h->table[i].ref), level + 1, s);
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int run(MOIM_INTERM_T *interm, const char *label, const std::vector<std::string> &keys, int buckets,
        int list_size) {
    MOH_HASH_T *h = nullptr;
    if (moh_hash_init(interm, nullptr, buckets, list_size, &h) != 0)
        return 1;
    auto t0 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < keys.size(); i++)
        if (moh_hash_add(interm, h, keys[i].c_str(), reinterpret_cast<void *>(i + 1)) != 0)
            return 1;
    double add_s = seconds_since(t0);

    t0 = std::chrono::steady_clock::now();
    size_t hits = 0;
    for (size_t i = 0; i < keys.size(); i++) {
        mo_boolean_t found = FALSE;
        void *ref = nullptr;
        moh_hash_find(interm, h, keys[i].c_str(), &found, &ref);
        if (found && ref == reinterpret_cast<void *>(i + 1))
            hits++;
    }
    double find_s = seconds_since(t0);

    t0 = std::chrono::steady_clock::now();
    size_t misses = 0;
    for (size_t i = 0; i < keys.size(); i++) {
        std::string k = keys[i] + "#";
        mo_boolean_t found = TRUE;
        void *ref = nullptr;
        moh_hash_find(interm, h, k.c_str(), &found, &ref);
        if (!found)
            misses++;
    }
    double miss_s = seconds_since(t0);

    Shape s;
    measure(h, 0, &s);
    t0 = std::chrono::steady_clock::now();
    int ret = moh_hash_destroy(interm, h);
    double destroy_s = seconds_since(t0);

    double n = static_cast<double>(keys.size());
    printf("%-22s %d/%d: add %.3f s (%.0f ns/key), find %.3f s (%.0f ns/key, %zu found), "
           "miss %.3f s (%.0f ns/key, %zu absent), destroy %.3f s; %ld tables, %ld buckets, depth %d\n",
           label, buckets, list_size, add_s, add_s * 1e9 / n, find_s, find_s * 1e9 / n, hits, miss_s,
           miss_s * 1e9 / n, misses, destroy_s, s.tables, s.buckets, s.depth);
    return ret;
}

} // namespace

int main() {
    static MOE_ERROR_T error;
    static MOLT_LOWEST_T lowest;
    static MOME_MEM_T mem;
    MOL_LOW_T *low = nullptr;
    moe_error_construct(&error, &moux_error_slots);
    error.init(&error, nullptr, TRUE);
    molt_lowest_construct(&lowest, &error);
    mome_mem_construct(&mem, &lowest, &moux_mem_slots);
    mol_low_construct(&low, &lowest, &mem);
    MOIM_INTERM_T interm{};
    interm.low = low;
    interm.mem = &mem;
    interm.error = &error;

    const int n = 100000;
    std::vector<std::string> paths, words;
    paths.reserve(n);
    words.reserve(n);
    uint32_t x = 12345;
    for (int i = 0; i < n; i++) {
        paths.push_back("/srv/morvale/user/lib/list_" + std::to_string(i) + ".dat");
        // Pseudo-random lower-case words of 3 to 10 letters, as a dictionary would hold.
        std::string w;
        x = x * 1103515245u + 12345u;
        int len = 3 + static_cast<int>((x >> 16) % 8);
        for (int j = 0; j < len; j++) {
            x = x * 1103515245u + 12345u;
            w += static_cast<char>('a' + (x >> 16) % 26);
        }
        words.push_back(w + std::to_string(i)); // keep every key distinct
    }
    int ret = 0;
    ret |= run(&interm, "file paths", paths, 31, 2);
    ret |= run(&interm, "words", words, 31, 2);
    ret |= run(&interm, "file paths", paths, 1, 2);
    ret |= run(&interm, "words", words, 1021, 8);
    // Paths longer than 100 bytes that differ only after the 100th byte all hash alike.
    std::vector<std::string> long_paths;
    std::string prefix = "/srv/morvale/installations/intranet-main/user/lib/documents/engineering/";
    while (prefix.size() < 100)
        prefix += "x";
    for (int i = 0; i < 5000; i++)
        long_paths.push_back(prefix + "dfolder_" + std::to_string(i) + "/list.dat");
    ret |= run(&interm, "5000 alike long paths", long_paths, 31, 2);
    return ret;
}
