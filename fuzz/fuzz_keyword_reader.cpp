// Fuzz target: any bytes as a keyword record file with every value type. Whatever the reader
// accepts, the writer writes, and what it wrote reads back to the very same file.
#include "fuzz_common.h"
#include "storage/mok_key.h"
#include "support/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Rec {
    char *nam;
    MOK_MULTI_LINE_T *txt;
    MOIL_IDLIST_T *mem;
    MOIL_ACCESSLIST_T *acc;
    int cnt;
    int flg;
    uint32_t mod;
};

std::vector<MOK_GEN_KEYWORD_T> keywords() {
    std::vector<MOK_GEN_KEYWORD_T> k(8);
    mok_load_keyword(&k[0], "NAM", offsetof(Rec, nam), mok_init_string, "none", mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[1], "TXT", offsetof(Rec, txt), mok_init_multi_line, "", mok_read_multi_line,
                     mok_write_multi_line, mok_free_multi_line);
    mok_load_keyword(&k[2], "MEM", offsetof(Rec, mem), mok_init_idlist, nullptr, mok_read_idlist,
                     mok_write_idlist, mok_free_idlist);
    mok_load_keyword(&k[3], "ACC", offsetof(Rec, acc), mok_init_accesslist, nullptr, mok_read_accesslist,
                     mok_write_accesslist, mok_free_accesslist);
    mok_load_keyword(&k[4], "CNT", offsetof(Rec, cnt), mok_init_integer, mok_int_ref(7), mok_read_integer,
                     mok_write_integer, mok_free_integer);
    mok_load_keyword(&k[5], "FLG", offsetof(Rec, flg), mok_init_boolean, mok_int_ref(0), mok_read_boolean,
                     mok_write_boolean, mok_free_boolean);
    mok_load_keyword(&k[6], "MOD", offsetof(Rec, mod), mok_init_u32bit, mok_int_ref(0), mok_read_u32bit,
                     mok_write_u32bit, mok_free_u32bit);
    mok_load_keyword(&k[7], "OLD", 0, mok_init_null, nullptr, mok_read_null, mok_write_null, mok_free_null);
    return k;
}

// Reads `from` and writes what it read to `to`; 0 when both succeeded.
int copy_through(mot_test::Bundle &b, const std::vector<MOK_GEN_KEYWORD_T> &k, const std::string &from,
                 const std::string &to) {
    MOK_DATA_RECORD_T *records = nullptr;
    int n = static_cast<int>(k.size());
    int ret = mok_read_keyword_list(b.aux, nullptr, from.c_str(), k.data(), n, &records, sizeof(Rec));
    if (ret == 0)
        ret = mok_write_keyword_list(b.aux, nullptr, to.c_str(), k.data(), n, records, sizeof(Rec));
    if (ret == 0)
        ret = mok_free_keyword_list(b.aux, nullptr, k.data(), n, records);
    return ret;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::vector<MOK_GEN_KEYWORD_T> k = keywords();
    static const std::string in = mo_fuzz::scratch("in"), once = mo_fuzz::scratch("once"),
                             twice = mo_fuzz::scratch("twice");
    mo_fuzz::write_bytes(in, data, size);
    mot_test::Bundle b(mo_fuzz::quiet_options());
    if (copy_through(b, k, in, once) != 0)
        return 0;
    // What the writer wrote must read back and write again byte for byte.
    if (copy_through(b, k, once, twice) != 0 || mot_test::read_file(once) != mot_test::read_file(twice))
        abort();
    return 0;
}
