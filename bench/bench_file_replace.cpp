// What it costs to replace a list file safely: a 10,000-record keyword file written through a
// temporary file and renamed, once with the flush to disk before the rename (what the system does)
// and once without it, in a temporary directory beside the build.
#include "platform/mof_file_cmn.h"
#include "platform/moux_unix_file.h"
#include "storage/mok_key.h"
#include "support/bundle.h"
#include "support/util.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const int RECORDS = 10000;
const int ROUNDS = 10;

struct Row {
    char *name;
    char *owner;
    int number;
    int state;
};

// The rename alone, without flushing the file or its directory first.
int replace_without_flush(MOF_FILE_T *file, const char *dest, const char *src) noexcept {
    return moux_file_move_file(file, dest, src);
}

// Milliseconds of the fastest and the median of ROUNDS writes.
void time_writes(mot_test::Bundle &b, const std::string &path, const std::vector<MOK_GEN_KEYWORD_T> &k,
                 MOK_DATA_RECORD_T *rows, double *best, double *median) {
    std::vector<double> ms;
    for (int i = 0; i < ROUNDS; i++) {
        auto start = std::chrono::steady_clock::now();
        int ret = mok_write_keyword_list(b.aux, nullptr, path.c_str(), k.data(), static_cast<int>(k.size()),
                                         rows, sizeof(Row));
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (ret != 0)
            fprintf(stderr, "a write failed\n");
    }
    std::sort(ms.begin(), ms.end());
    *best = ms.front();
    *median = ms[ms.size() / 2];
}

} // namespace

int main() {
    mot_test::Bundle b;
    // /tmp may be a memory file system, where a flush costs nothing: write beside the build instead.
    std::string dir = MORVALE_BUILD_DIR "/bench_file_replace.tmpdir";
    mkdir(dir.c_str(), 0755);
    std::string path = dir + "/list";

    std::vector<MOK_GEN_KEYWORD_T> k(4);
    mok_load_keyword(&k[0], "NAM", offsetof(Row, name), mok_init_string, "", mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[1], "OWN", offsetof(Row, owner), mok_init_string, "", mok_read_string,
                     mok_write_string, mok_free_string);
    mok_load_keyword(&k[2], "NUM", offsetof(Row, number), mok_init_integer, mok_int_ref(0), mok_read_integer,
                     mok_write_integer, mok_free_integer);
    mok_load_keyword(&k[3], "STA", offsetof(Row, state), mok_init_integer, mok_int_ref(0), mok_read_integer,
                     mok_write_integer, mok_free_integer);
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T **link = &first;
    for (int i = 0; i < RECORDS; i++) {
        MOK_DATA_RECORD_T *r = nullptr;
        if (mok_get_and_init_new_data_record(b.aux, nullptr, &r, k.data(), static_cast<int>(k.size()),
                                             sizeof(Row)) != 0)
            return 1;
        Row *row = static_cast<Row *>(r->container);
        std::string name = "Quarterly report " + std::to_string(i) + " of the design office";
        b.mem.store_string(&b.mem, nullptr, &row->name, name.c_str());
        b.mem.store_string(&b.mem, nullptr, &row->owner, "user_17");
        row->number = 100000 + i;
        row->state = i % 3;
        *link = r;
        link = &r->next;
    }

    double flush_best = 0, flush_median = 0, bare_best = 0, bare_median = 0;
    time_writes(b, path, k, first, &flush_best, &flush_median);
    long size = 0;
    b.aux->file->get_size(b.aux->file, path.c_str(), &size);
    b.aux->file->replace_file = replace_without_flush;
    time_writes(b, path, k, first, &bare_best, &bare_median);
    b.aux->file->replace_file = moux_file_replace_file;
    b.aux->file->remove_file(b.aux->file, path.c_str());
    rmdir(dir.c_str());

    printf("a list file of %d records (%ld bytes) replaced through a temporary file, %d writes each\n",
           RECORDS, size, ROUNDS);
    printf("  flushed to disk before the rename: best %8.2f ms, median %8.2f ms\n", flush_best, flush_median);
    printf("  renamed without the flush:         best %8.2f ms, median %8.2f ms\n", bare_best, bare_median);
    printf("  the flush adds %.2f ms to the median write\n", flush_median - bare_median);
    return 0;
}
