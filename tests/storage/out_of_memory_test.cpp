// Every allocation of the storage modules' operations may fail: each failure must fail the
// operation with one "Out of memory" report, never a crash, a second report or a success.
#include "entry/moc_cmd.h"
#include "storage/moh_hash.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/mols_list.h"
#include "storage/mot_top.h"
#include "storage/motc_common.h"
#include "support/files.h"
#include "support/sweep.h"
#include "support/util.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

using mot_test::Bundle;
using mot_test::out_of_memory_sweep;

struct Rec {
    char *nam;
    MOK_MULTI_LINE_T *txt;
    MOIL_IDLIST_T *mem;
    MOIL_ACCESSLIST_T *acc;
    int cnt;
    uint32_t mod;
};

std::vector<MOK_GEN_KEYWORD_T> all_types() {
    std::vector<MOK_GEN_KEYWORD_T> k(6);
    mok_load_keyword(&k[0], "NAM", offsetof(Rec, nam), mok_init_string, "dflt", mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[1], "TXT", offsetof(Rec, txt), mok_init_multi_line, "", mok_read_multi_line,
                     mok_write_multi_line, mok_free_multi_line);
    mok_load_keyword(&k[2], "MEM", offsetof(Rec, mem), mok_init_idlist, nullptr, mok_read_idlist,
                     mok_write_idlist, mok_free_idlist);
    mok_load_keyword(&k[3], "ACC", offsetof(Rec, acc), mok_init_accesslist, nullptr, mok_read_accesslist,
                     mok_write_accesslist, mok_free_accesslist);
    mok_load_keyword(&k[4], "CNT", offsetof(Rec, cnt), mok_init_integer, mok_int_ref(1), mok_read_integer,
                     mok_write_integer, mok_free_integer);
    mok_load_keyword(&k[5], "MOD", offsetof(Rec, mod), mok_init_u32bit, mok_int_ref(0), mok_read_u32bit,
                     mok_write_u32bit, mok_free_u32bit);
    return k;
}

TEST(OutOfMemory, KeywordFilesReadAndWritten) {
    mot_test::TempDir dir;
    std::string in = dir.path + "/in", out = dir.path + "/out";
    mot_test::write_file(in, "NAM Project plan\nTXT First line\\nC:\\\\temp\\n\nMEM 3,7,\nACC 1,4,^2,^0\n"
                             "CNT -5\nMOD 1000\n------\nNAM second\nTXT \nMEM \nACC ^^1\n");
    auto k = all_types();
    int n = static_cast<int>(k.size());
    int reads = out_of_memory_sweep([&](Bundle &b) {
        MOK_DATA_RECORD_T *records = nullptr;
        int ret = mok_read_keyword_list(b.aux, nullptr, in.c_str(), k.data(), n, &records, sizeof(Rec));
        if (ret == 0)
            ret = mok_write_keyword_list(b.aux, nullptr, out.c_str(), k.data(), n, records, sizeof(Rec));
        return ret;
    });
    EXPECT_GT(reads, 10) << "every record, text line and id is an allocation";
    EXPECT_FALSE(mot_test::file_exists(out + ".tmp"));
}

int no_cmd(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **) noexcept {
    return 0;
}

TEST(OutOfMemory, RegistryEntriesAndArguments) {
    out_of_memory_sweep([](Bundle &b) {
        MOT_TOP_SESSION_T *session = nullptr;
        int ret = mot_top_construct_session(&session, b.aux);
        MOT_TOP_STYPE_DEF_T def = mot_stype_def_data_file;
        def.name = "groups";
        def.help = "Active Groups Entries";
        MOT_TOP_STYPE_T *stype = nullptr;
        if (ret == 0)
            ret = mot_top_register_stype_def(b.aux, &session->storage.stype_list, nullptr, &def, &stype);
        if (ret == 0)
            ret = moc_cmd_register_type(session, "tools", 2, "Tools", no_cmd);
        MOT_TOP_STORAGE_T *entry = nullptr;
        if (ret == 0)
            ret = mot_top_storage_register(b.aux, nullptr, &session->storage.data_storage_list, &entry,
                                           "/data/x");
        MOT_TOP_ARG_LIST_T *args = nullptr;
        for (const char *word : {"a", "b", "c"})
            if (ret == 0)
                ret = mot_add_arg(b.aux, word, &args);
        return ret;
    });
}

TEST(OutOfMemory, ListsHashesAndIdLists) {
    out_of_memory_sweep([](Bundle &b) {
        MOLS_LIST_T *list = nullptr;
        int ret = mols_list_new(&list, nullptr, &b.mem);
        for (const char *name : {"one", "two", "three"})
            if (ret == 0)
                ret = list->add_fifo(list, name, TRUE, 0, nullptr, nullptr);
        MOH_HASH_T *hash = nullptr;
        if (ret == 0)
            ret = moh_hash_init(b.interm, nullptr, 1, 2, &hash);
        // A third key in a bucket of two makes the bucket a nested table.
        for (const char *key : {"a", "b", "c", "d"})
            if (ret == 0)
                ret = moh_hash_add(b.interm, hash, key, nullptr);
        char ids[] = "4,8,15,16,23,42";
        char access[] = "1,4,^2,^0";
        MOIL_IDLIST_T *idlist = nullptr;
        MOIL_ACCESSLIST_T acc{};
        if (ret == 0)
            ret = moil_string_to_idlist(b.interm, nullptr, ids, &idlist);
        if (ret == 0)
            ret = moil_string_to_accesslist(b.interm, nullptr, access, &acc);
        return ret;
    });
}

} // namespace
