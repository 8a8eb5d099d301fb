// Writes and reads a keyword record file of 100,000 user-like records through the real file service
// and prints the throughput of each direction in MB/s.
#include "platform/mof_file_cmn.h"
#include "storage/moil_idlist.h"
#include "entry/moim_interm.h"
#include "storage/mok_key.h"
#include "entry/mol_low.h"
#include "entry/molt_lowest.h"
#include "platform/mome_mem_cmn.h"
#include "platform/moux_unix_error.h"
#include "platform/moux_unix_file.h"
#include "platform/moux_unix_mem.h"
#include "entry/mox_aux.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct User {
    int id;
    int new_flag;
    int del;
    char *full_name;
    char *user_name;
    char *passwd;
    char *email;
    int privilege;
    MOIL_IDLIST_T *groups;
    int mail_new;
    uint32_t created;
    MOK_MULTI_LINE_T *notes;
    MOIL_ACCESSLIST_T *access;
};

#define KEY(i, kw, field, type, ref)                                                                         \
    mok_load_keyword(&k[i], kw, offsetof(User, field), mok_init_##type, ref, mok_read_##type,                \
                     mok_write_##type, mok_free_##type)

const int kKeywords = 13;

void keywords(MOK_GEN_KEYWORD_T *k) {
    KEY(0, "ID", id, integer, mok_int_ref(0));
    KEY(1, "NEW", new_flag, boolean, mok_int_ref(0));
    KEY(2, "DEL", del, boolean, mok_int_ref(0));
    KEY(3, "FULL", full_name, string, "");
    KEY(4, "USER", user_name, string, "");
    KEY(5, "PASSWD", passwd, string, "");
    KEY(6, "EMAIL", email, string, "");
    KEY(7, "PRIV", privilege, integer, mok_int_ref(0));
    KEY(8, "GROUPS", groups, idlist, nullptr);
    KEY(9, "MAILNEW", mail_new, integer, mok_int_ref(0));
    KEY(10, "CREATED", created, u32bit, mok_int_ref(0));
    KEY(11, "NOTES", notes, multi_line, "");
    KEY(12, "ACC", access, accesslist, nullptr);
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int add_id(MOX_AUX_T *aux, int id, MOIL_IDLIST_T **list) {
    return moil_add_to_idlist(aux->interm, nullptr, id, list);
}

} // namespace

int main() {
    static MOE_ERROR_T error;
    static MOLT_LOWEST_T lowest;
    static MOME_MEM_T mem;
    moe_error_construct(&error, &moux_error_slots);
    error.init(&error, nullptr, TRUE);
    molt_lowest_construct(&lowest, &error);
    mome_mem_construct(&mem, &lowest, &moux_mem_slots);
    MOL_LOW_T *low = nullptr;
    MOF_FILE_T *file = nullptr;
    if (mol_low_construct(&low, &lowest, &mem) != 0 || mof_file_construct(&file, low, &moux_file_slots) != 0)
        return 1;
    MOIM_INTERM_T interm{};
    interm.file = file;
    interm.low = low;
    interm.mem = &mem;
    interm.error = &error;
    MOX_AUX_T aux{};
    aux.interm = &interm;
    aux.file = file;
    aux.mem = &mem;
    aux.error = &error;

    MOK_GEN_KEYWORD_T k[kKeywords];
    keywords(k);

    const int records = 100000;
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T **at = &first;
    for (int i = 1; i <= records; i++) {
        MOK_DATA_RECORD_T *r = nullptr;
        if (mok_get_and_init_new_data_record(&aux, nullptr, &r, k, kKeywords, sizeof(User)) != 0)
            return 1;
        User *u = static_cast<User *>(r->container);
        char text[200];
        u->id = i;
        u->del = i % 17 == 0;
        snprintf(text, sizeof(text), "Person Number %d", i);
        mem.store_string(&mem, nullptr, &u->full_name, text);
        snprintf(text, sizeof(text), "user%d", i);
        mem.store_string(&mem, nullptr, &u->user_name, text);
        mem.store_string(&mem, nullptr, &u->passwd, "Yb2/Nc6Hx9LpA");
        snprintf(text, sizeof(text), "user%d@example.org", i);
        mem.store_string(&mem, nullptr, &u->email, text);
        u->privilege = i % 5 == 0 ? 100 : 10;
        add_id(&aux, 1, &u->groups);
        add_id(&aux, 2 + i % 40, &u->groups);
        u->mail_new = 2;
        u->created = 1000000000u + static_cast<uint32_t>(i) * 60u;
        u->notes = nullptr;
        mok_add_multi_line(&aux, nullptr, "Joined the project team", &u->notes);
        mok_add_multi_line(&aux, nullptr, "Desk C:\\office\\3", &u->notes);
        add_id(&aux, i, &u->access->user);
        add_id(&aux, 1, &u->access->group);
        *at = r;
        at = &r->next;
    }

    char dir[] = "/tmp/mo_bench_XXXXXX";
    if (mkdtemp(dir) == nullptr)
        return 1;
    std::string path = std::string(dir) + "/users.dat";
    std::string path2 = std::string(dir) + "/users2.dat";

    auto t0 = std::chrono::steady_clock::now();
    if (mok_write_keyword_list(&aux, nullptr, path.c_str(), k, kKeywords, first, sizeof(User)) != 0)
        return 1;
    double write_s = seconds_since(t0);
    struct stat st;
    stat(path.c_str(), &st);
    double mb = static_cast<double>(st.st_size) / 1e6;

    t0 = std::chrono::steady_clock::now();
    MOK_DATA_RECORD_T *read_back = nullptr;
    if (mok_read_keyword_list(&aux, nullptr, path.c_str(), k, kKeywords, &read_back, sizeof(User)) != 0)
        return 1;
    double read_s = seconds_since(t0);

    long count = 0;
    for (MOK_DATA_RECORD_T *r = read_back; r != nullptr; r = r->next)
        count++;
    // The records read back must write the very same bytes.
    if (mok_write_keyword_list(&aux, nullptr, path2.c_str(), k, kKeywords, read_back, sizeof(User)) != 0)
        return 1;
    std::string cmd = "cmp -s '" + path + "' '" + path2 + "'";
    bool same = system(cmd.c_str()) == 0;

    printf("keyword file: %d records, %.2f MB, %d keywords per record\n", records, mb, kKeywords);
    printf("write: %.3f s, %.1f MB/s\n", write_s, mb / write_s);
    printf("read:  %.3f s, %.1f MB/s (%ld records read back, rewrite %s)\n", read_s, mb / read_s, count,
           same ? "identical" : "DIFFERS");
    unlink(path.c_str());
    unlink(path2.c_str());
    rmdir(dir);
    return same && count == records ? 0 : 1;
}
