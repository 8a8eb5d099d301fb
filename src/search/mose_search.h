// Search index maintenance: the daemon's side (to-do list of changed folders, one run lock per kind
// of indexer run, a diagnostic name list and the minute timer that starts runs), the client calls
// the rest of the system uses to reach it, and the per-stype indexer hooks.
#pragma once
#include "mo_std.h"

#include <bit>
#include <cstddef>
#include <cstdint>

struct MOLS_LIST_T;
struct MOSE_INDEX_DATA_T;
struct MOSP_SPELL_T;

#define MOSE_INSTR_TODO_ADD 31    // to-do list: add
#define MOSE_INSTR_TODO_GETDEL 33 // list being worked on: get and delete
#define MOSE_INSTR_RUNLOCK 34     // index run lock
#define MOSE_INSTR_CHECK 35       // diagnostic name list

#define MOSE_INDEX_INCREMENTAL 10 // run-lock index_type of incremental runs
#define MOSE_INDEX_MAIN 11        // what callers send for main runs (any other value means main)

#define MOSE_RUNLOCK_END 21   // a run has finished
#define MOSE_RUNLOCK_CHECK 22 // a run asks whether it was spawned
#define MOSE_RUNLOCK_SPAWN 23 // start a run now

#define MOSE_OP_LEN 100
#define MOSE_NAME_LEN 100
#define MOSE_MESG_LEN 700

#define MOSE_DAY_MINUTES 1440       // minutes between daily main runs
#define MOSE_INC_DEAD_MINUTES 1439  // an incremental run older than this is taken as dead
#define MOSE_MAIN_DEAD_MINUTES 4319 // a main run older than this is taken as dead
#define MOSE_DEFAULT_START_HOUR 3   // daily run hour when the setup value is unusable
#define MOSE_PROGRAM_NAME "morvale" // the indexer is the program itself

static_assert(std::endian::native == std::endian::little, "daemon payloads are little-endian records");

// Payload of instructions 31, 33 and 35.
struct __attribute__((packed)) MOSE_INC_T {
    char op[MOSE_OP_LEN];     // name-list operation (35)
    char name[MOSE_NAME_LEN]; // name for the name list (35)
    char mesg[MOSE_MESG_LEN]; // reply text (35)
    int32_t list_id;          // id of the changed list (31, 33)
    int32_t type;             // kind of change; every caller sends 0
    int32_t empty;            // reply of 33: TRUE when nothing was left
};
typedef struct MOSE_INC_T mose_inc_t;
static_assert(sizeof(MOSE_INC_T) == 912);
static_assert(offsetof(MOSE_INC_T, op) == 0);
static_assert(offsetof(MOSE_INC_T, name) == 100);
static_assert(offsetof(MOSE_INC_T, mesg) == 200);
static_assert(offsetof(MOSE_INC_T, list_id) == 900);
static_assert(offsetof(MOSE_INC_T, type) == 904);
static_assert(offsetof(MOSE_INC_T, empty) == 908);

// Payload of instruction 34.
struct __attribute__((packed)) MOSE_RUNLOCK_T {
    int32_t index_type; // 10 incremental, anything else main
    int32_t op;         // 21 end, 22 check, 23 spawn
    int32_t ret;        // reply: 0 success, 1 refused
};
typedef struct MOSE_RUNLOCK_T mose_runlock_t;
static_assert(sizeof(MOSE_RUNLOCK_T) == 12);
static_assert(offsetof(MOSE_RUNLOCK_T, index_type) == 0);
static_assert(offsetof(MOSE_RUNLOCK_T, op) == 4);
static_assert(offsetof(MOSE_RUNLOCK_T, ret) == 8);

// The daemon's indexing state.
struct MOSE_INDEXER_CONTROL_T {
    MOLS_LIST_T *test_list;  // diagnostic name list, newest first
    MOX_AUX_T *aux;          // the service bundle
    MOME_MEM_T *mem;         // memory service
    void *pool_ref;          // pool of the record and its lists
    MOLS_LIST_T *todo_list;  // changes collecting: status list id, ref1 type
    MOLS_LIST_T *doing_list; // changes the running incremental run works through
    int inc_lock_count;      // 0 idle, else minutes since the incremental run started (from 1)
    int main_lock_count;     // 0 idle, else minutes since the main run started (from 1)
    int main_count;          // minutes since the last main run was due
};
typedef struct MOSE_INDEXER_CONTROL_T mose_indexer_control_t;

struct MOSE_INDEXER_T;
typedef struct MOSE_INDEXER_T mose_indexer_t;
typedef int (*mose_get_words_fn_t)(MOSE_INDEXER_T *indexer, MOT_TOP_STYPE_T *stype, MOSE_INDEX_DATA_T *data,
                                   int index_type) noexcept;
typedef int (*mose_check_valid_fn_t)(MOSE_INDEXER_T *indexer, MOT_TOP_STYPE_T *stype,
                                     mo_boolean_t *ok) noexcept;
typedef int (*mose_insert_fn_t)(MOSE_INDEXER_T *indexer, MOT_TOP_STYPE_T *stype,
                                MOLS_LIST_T *search_word_list, MOOU_OUT_DEF_T *out_def) noexcept;

// The indexing hooks of one storage type.
struct MOSE_INDEXER_T {
    MOX_AUX_T *aux;                    // the service bundle
    void *pool_ref;                    // pool of the record
    mose_get_words_fn_t get_words;     // writes the type's records into the index data file
    mose_check_valid_fn_t check_valid; // says whether the type takes part in indexing
    mose_insert_fn_t insert_header;    // output before the type's search results
    mose_insert_fn_t insert_footer;    // output after them
};

int mose_indexer_construct(MOSE_INDEXER_T **indexer_ptr, void *pool_ref, MOX_AUX_T *aux,
                           mose_get_words_fn_t get_words, mose_check_valid_fn_t check_valid,
                           mose_insert_fn_t insert_header, mose_insert_fn_t insert_footer) noexcept;
// The hooks of a type that is not indexed: check_valid answers FALSE, the others do nothing.
int mose_indexer_construct_default(MOSE_INDEXER_T **indexer_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept;

#define MOSE_CONTROL_HEAD 1     // "<HEAD>\n"
#define MOSE_CONTROL_NOTHING 2  // writes nothing
#define MOSE_CONTROL_META 3     // "<!-- Start of Meta -->\n"
#define MOSE_CONTROL_HEAD_END 4 // "</HEAD>\n"
#define MOSE_CONTROL_BODY 5     // "<BODY>\n"
#define MOSE_CONTROL_BODY_END 6 // "</BODY>\n"

// One index data document being written for the search engine. Values never carry "<" or ">":
// each is replaced by a space (in the caller's buffer) so values cannot break the comment markers.
struct MOSE_INDEX_DATA_T {
    MOX_AUX_T *aux;         // the service bundle
    void *pool_ref;         // pool of the record
    void *file_ref;         // the open file
    char *filename;         // its path (own copy)
    mo_filename_t tmp_name; // the temporary file written until destruct puts it in place
    MOLS_LIST_T *key_list;  // keyword names used so far, or NULL
    MOSP_SPELL_T *spell;    // spell checker the indexer run feeds, or NULL

    int (*control)(MOSE_INDEX_DATA_T *data, int control_op) noexcept;
    int (*write_string)(MOSE_INDEX_DATA_T *data, char *string) noexcept;
    int (*write_keyword)(MOSE_INDEX_DATA_T *data, const char *keyword, char *string) noexcept;
    int (*write_buf)(MOSE_INDEX_DATA_T *data, char *buf, size_t len) noexcept;
};
typedef struct MOSE_INDEX_DATA_T mose_index_data_t;

// Allocates the record and starts writing the file (through a temporary file: an older file stays
// whole until destruct replaces it).
int mose_data_construct(MOSE_INDEX_DATA_T **data_ptr, MOSP_SPELL_T *spell, void *pool_ref, MOX_AUX_T *aux,
                        MOLS_LIST_T *key_list, const char *filename) noexcept;
// Closes the file, puts it in place of an older one and releases the record.
int mose_data_destruct(MOSE_INDEX_DATA_T *data) noexcept;

// Client calls: one daemon message each.
int mose_todo_add(MOX_AUX_T *aux, int list_id, int type) noexcept;
int mose_todo_getdel(MOX_AUX_T *aux, int *list_id_ptr, int *type_ptr, mo_boolean_t *empty_ptr) noexcept;
int mose_index_runlock_call(MOX_AUX_T *aux, int index_type, int op) noexcept;
// mesg_ptr receives the reply text, valid until the next daemon call.
int mose_index_check(MOX_AUX_T *aux, const char *op, const char *name, const char **mesg_ptr) noexcept;

// Whether the main search index exists; the search pages install the real answer. Until then the
// answer is "no", so no incremental run starts before a main index was built.
typedef mo_boolean_t (*mose_main_index_exists_fn_t)(MOX_AUX_T *aux) noexcept;
void mose_set_main_index_exists(mose_main_index_exists_fn_t fn) noexcept;
mo_boolean_t mose_main_index_exists(MOX_AUX_T *aux) noexcept;

// Daemon side.
int mose_daemon_construct(void *pool_ref, MOX_AUX_T *aux, MOME_MEM_T *mem, MOD_DAEMON_T *daemon) noexcept;
// The same, giving the control record back (NULL allowed).
int mose_daemon_construct_control(void *pool_ref, MOX_AUX_T *aux, MOME_MEM_T *mem, MOD_DAEMON_T *daemon,
                                  MOSE_INDEXER_CONTROL_T **control_ptr) noexcept;
// main_count at start-up: whole minutes since today's start moment, or when it is still ahead, 1440 less
// the whole minutes until it.
int mose_initial_main_count(mou_datetime_t now, mou_datetime_t start_today) noexcept;
int mose_spawn_indexer(MOSE_INDEXER_CONTROL_T *control, int index_type) noexcept;

int mose_todo_add_service(void *ref, void **data_ref) noexcept;
int mose_todo_getdel_service(void *ref, void **data_ref) noexcept;
int mose_index_runlock_service(void *ref, void **data_ref) noexcept;
int mose_index_check_service(void *ref, void **data_ref) noexcept;
int mose_inc_timer_service(void *ref) noexcept;
