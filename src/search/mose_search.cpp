// Search index maintenance in the daemon: the to-do lists, run locks, name list and minute timer,
// the spawning of indexer runs, and the client calls that reach them.
#include "search/mose_search.h"
#include "daemon/mod_daemon_cmn.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "storage/mols_list.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mop_process_cmn.h"
#include "platform/most_setup_cmn.h"
#include "platform/mou_util_cmn.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>

namespace {

mo_boolean_t mose_no_main_index(MOX_AUX_T *) noexcept {
    return FALSE;
}

mose_main_index_exists_fn_t mose_main_index_exists_fn = mose_no_main_index;

void *mose_int_ref(int value) noexcept {
    return reinterpret_cast<void *>(static_cast<intptr_t>(value));
}
int mose_ref_int(void *ref) noexcept {
    return static_cast<int>(reinterpret_cast<intptr_t>(ref));
}

const char *mose_kind_name(int index_type) noexcept {
    return index_type == MOSE_INDEX_INCREMENTAL ? "incremental" : "main";
}

int *mose_lock_count(MOSE_INDEXER_CONTROL_T *control, int index_type) noexcept {
    return index_type == MOSE_INDEX_INCREMENTAL ? &control->inc_lock_count : &control->main_lock_count;
}

void mose_swap_lists(MOSE_INDEXER_CONTROL_T *control) noexcept {
    MOLS_LIST_T *tmp = control->todo_list;
    control->todo_list = control->doing_list;
    control->doing_list = tmp;
}

bool mose_list_empty(MOLS_LIST_T *list) noexcept {
    MOLS_LIST_ELE_T *ele = nullptr;
    list->get_next(list, &ele);
    return ele == nullptr;
}

// Starts a run of the kind and marks it active. A run that could not be started leaves the kind idle
// (and the collected changes where they were), so the timer or a later change tries again; the
// daemon itself carries on.
bool mose_start_run(MOSE_INDEXER_CONTROL_T *control, int index_type) noexcept {
    int *count = mose_lock_count(control, index_type);
    *count = 1;
    if (mose_spawn_indexer(control, index_type) == 0)
        return true;
    *count = 0;
    return false;
}

// Copies a text from a peer's fixed field, which may lack its terminating NUL.
void mose_take_field(char *dest, const char *field, size_t size) noexcept {
    memcpy(dest, field, size);
    dest[size - 1] = '\0';
}

MOSE_INC_T *mose_inc_data(MOX_AUX_T *aux) noexcept {
    void *data = nullptr;
    if (aux->daemon->get_data(aux->daemon, &data, static_cast<int>(sizeof(MOSE_INC_T))) != 0)
        return nullptr;
    memset(data, 0, sizeof(MOSE_INC_T));
    return static_cast<MOSE_INC_T *>(data);
}

int mose_default_get_words(MOSE_INDEXER_T *, MOT_TOP_STYPE_T *, MOSE_INDEX_DATA_T *, int) noexcept {
    return 0;
}
int mose_default_check_valid(MOSE_INDEXER_T *, MOT_TOP_STYPE_T *, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    return 0;
}
int mose_default_insert(MOSE_INDEXER_T *, MOT_TOP_STYPE_T *, MOLS_LIST_T *, MOOU_OUT_DEF_T *) noexcept {
    return 0;
}

// The text markers of the index document must survive any value: angle brackets become spaces.
void mose_blank_markers(char *buf, size_t len) noexcept {
    for (size_t i = 0; i < len; i++)
        if (buf[i] == '<' || buf[i] == '>')
            buf[i] = ' ';
}

int mose_data_put(MOSE_INDEX_DATA_T *data, const char *buf, size_t len) noexcept {
    MOF_FILE_T *file = data->aux->file;
    for (size_t i = 0; i < len; i++) {
        int ret = file->file_putc(file, data->filename, data->file_ref, static_cast<unsigned char>(buf[i]));
        if (ret != 0)
            return ret;
    }
    return 0;
}

int mose_data_put_text(MOSE_INDEX_DATA_T *data, const char *text) noexcept {
    return mose_data_put(data, text, strlen(text));
}

int mose_data_control(MOSE_INDEX_DATA_T *data, int control_op) noexcept {
    switch (control_op) {
        case MOSE_CONTROL_HEAD:
            return mose_data_put_text(data, "<HEAD>\n");
        case MOSE_CONTROL_NOTHING:
            return 0;
        case MOSE_CONTROL_META:
            return mose_data_put_text(data, "<!-- Start of Meta -->\n");
        case MOSE_CONTROL_HEAD_END:
            return mose_data_put_text(data, "</HEAD>\n");
        case MOSE_CONTROL_BODY:
            return mose_data_put_text(data, "<BODY>\n");
        case MOSE_CONTROL_BODY_END:
            return mose_data_put_text(data, "</BODY>\n");
        default:
            data->aux->error->report(data->aux->error, "Unknown indexer control operation %d\n", control_op);
            return 1;
    }
}

int mose_data_write_string(MOSE_INDEX_DATA_T *data, char *string) noexcept {
    size_t len = strlen(string);
    mose_blank_markers(string, len);
    int ret = mose_data_put(data, string, len);
    if (ret == 0)
        ret = mose_data_put_text(data, "\n");
    return ret;
}

int mose_data_write_keyword(MOSE_INDEX_DATA_T *data, const char *keyword, char *string) noexcept {
    size_t len = strlen(string);
    mose_blank_markers(string, len);
    int ret = mose_data_put_text(data, "<!-- META START NAME = ");
    if (ret == 0)
        ret = mose_data_put_text(data, "\"");
    if (ret == 0)
        ret = mose_data_put_text(data, keyword);
    if (ret == 0)
        ret = mose_data_put_text(data, "\"");
    if (ret == 0)
        ret = mose_data_put_text(data, " -->");
    if (ret == 0)
        ret = mose_data_put(data, string, len);
    if (ret == 0)
        ret = mose_data_put_text(data, "<!-- META END -->\n");
    if (ret == 0 && data->key_list != nullptr) {
        MOLS_LIST_T *keys = data->key_list;
        MOLS_LIST_ELE_T *ele = nullptr;
        keys->find_name(keys, keyword, &ele);
        if (ele == nullptr)
            ret = keys->add(keys, keyword, TRUE, 0, nullptr, nullptr);
    }
    return ret;
}

int mose_data_write_buf(MOSE_INDEX_DATA_T *data, char *buf, size_t len) noexcept {
    mose_blank_markers(buf, len);
    return mose_data_put(data, buf, len);
}

} // namespace

int mose_data_construct(MOSE_INDEX_DATA_T **data_ptr, MOSP_SPELL_T *spell, void *pool_ref, MOX_AUX_T *aux,
                        MOLS_LIST_T *key_list, const char *filename) noexcept {
    MOSE_INDEX_DATA_T *data = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &data);
    if (ret != 0)
        return ret;
    data->aux = aux;
    data->pool_ref = pool_ref;
    data->key_list = key_list;
    data->spell = spell;
    data->control = mose_data_control;
    data->write_string = mose_data_write_string;
    data->write_keyword = mose_data_write_keyword;
    data->write_buf = mose_data_write_buf;
    ret = aux->mem->store_string(aux->mem, pool_ref, &data->filename, filename);
    if (ret == 0)
        ret = mof_file_open_replace(aux->file, data->filename, data->tmp_name, &data->file_ref);
    if (ret != 0) {
        if (data->filename != nullptr)
            aux->mem->free(aux->mem, pool_ref, data->filename);
        aux->mem->free(aux->mem, pool_ref, data);
        return ret;
    }
    *data_ptr = data;
    return 0;
}

int mose_data_destruct(MOSE_INDEX_DATA_T *data) noexcept {
    MOX_AUX_T *aux = data->aux;
    int ret = mof_file_commit_replace(aux->file, data->filename, data->tmp_name, data->file_ref, 0);
    aux->mem->free(aux->mem, data->pool_ref, data->filename);
    aux->mem->free(aux->mem, data->pool_ref, data);
    return ret;
}

void mose_set_main_index_exists(mose_main_index_exists_fn_t fn) noexcept {
    mose_main_index_exists_fn = (fn != nullptr) ? fn : mose_no_main_index;
}

mo_boolean_t mose_main_index_exists(MOX_AUX_T *aux) noexcept {
    return mose_main_index_exists_fn(aux);
}

int mose_indexer_construct(MOSE_INDEXER_T **indexer_ptr, void *pool_ref, MOX_AUX_T *aux,
                           mose_get_words_fn_t get_words, mose_check_valid_fn_t check_valid,
                           mose_insert_fn_t insert_header, mose_insert_fn_t insert_footer) noexcept {
    MOSE_INDEXER_T *indexer = nullptr;
    int ret = mome_new(aux->mem, pool_ref, &indexer);
    if (ret != 0)
        return ret;
    indexer->aux = aux;
    indexer->pool_ref = pool_ref;
    indexer->get_words = get_words;
    indexer->check_valid = check_valid;
    indexer->insert_header = insert_header;
    indexer->insert_footer = insert_footer;
    *indexer_ptr = indexer;
    return 0;
}

int mose_indexer_construct_default(MOSE_INDEXER_T **indexer_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept {
    return mose_indexer_construct(indexer_ptr, pool_ref, aux, mose_default_get_words,
                                  mose_default_check_valid, mose_default_insert, mose_default_insert);
}

// ---- client calls

int mose_todo_add(MOX_AUX_T *aux, int list_id, int type) noexcept {
    MOSE_INC_T *inc = mose_inc_data(aux);
    if (inc == nullptr)
        return 1;
    inc->list_id = list_id;
    inc->type = type;
    return aux->daemon->gen_call(aux->daemon, MOSE_INSTR_TODO_ADD, inc);
}

int mose_todo_getdel(MOX_AUX_T *aux, int *list_id_ptr, int *type_ptr, mo_boolean_t *empty_ptr) noexcept {
    MOSE_INC_T *inc = mose_inc_data(aux);
    if (inc == nullptr)
        return 1;
    int ret = aux->daemon->gen_call(aux->daemon, MOSE_INSTR_TODO_GETDEL, inc);
    if (ret != 0)
        return ret;
    *list_id_ptr = inc->list_id;
    *type_ptr = inc->type;
    *empty_ptr = inc->empty ? TRUE : FALSE;
    return 0;
}

int mose_index_runlock_call(MOX_AUX_T *aux, int index_type, int op) noexcept {
    void *data = nullptr;
    int ret = aux->daemon->get_data(aux->daemon, &data, static_cast<int>(sizeof(MOSE_RUNLOCK_T)));
    if (ret != 0)
        return ret;
    MOSE_RUNLOCK_T *lock = static_cast<MOSE_RUNLOCK_T *>(data);
    lock->index_type = index_type;
    lock->op = op;
    lock->ret = 1;
    ret = aux->daemon->gen_call(aux->daemon, MOSE_INSTR_RUNLOCK, data);
    if (ret != 0)
        return ret;
    return lock->ret;
}

int mose_index_check(MOX_AUX_T *aux, const char *op, const char *name, const char **mesg_ptr) noexcept {
    if (name == nullptr)
        name = "";
    if (strlen(op) >= MOSE_OP_LEN || strlen(name) >= MOSE_NAME_LEN) {
        aux->error->report(aux->error, "Index check operation and name must be shorter than %d characters\n",
                           MOSE_NAME_LEN);
        return 1;
    }
    MOSE_INC_T *inc = mose_inc_data(aux);
    if (inc == nullptr)
        return 1;
    snprintf(inc->op, sizeof(inc->op), "%s", op);
    snprintf(inc->name, sizeof(inc->name), "%s", name);
    int ret = aux->daemon->gen_call(aux->daemon, MOSE_INSTR_CHECK, inc);
    if (ret != 0)
        return ret;
    inc->mesg[MOSE_MESG_LEN - 1] = '\0';
    *mesg_ptr = inc->mesg;
    return 0;
}

// ---- daemon side

int mose_initial_main_count(mou_datetime_t now, mou_datetime_t start_today) noexcept {
    // A start moment that is not within a day of now (a clock or zone oddity) is brought back to the
    // last daily occurrence, so the first run never lies more than a day away.
    long long diff = static_cast<long long>(now) - static_cast<long long>(start_today);
    if (diff >= 0)
        return static_cast<int>((diff / 60) % MOSE_DAY_MINUTES);
    return static_cast<int>(MOSE_DAY_MINUTES - ((-diff) / 60) % MOSE_DAY_MINUTES);
}

int mose_spawn_indexer(MOSE_INDEXER_CONTROL_T *control, int index_type) noexcept {
    MOX_AUX_T *aux = control->aux;
    const char *kind = mose_kind_name(index_type);
    if (index_type == MOSE_INDEX_INCREMENTAL)
        mose_swap_lists(control);

    // The child-process service keeps the program name by reference for as long as it tracks the
    // child, which outlives this call; the daemon is single-threaded and the path never changes.
    static mo_filename_t program;
    int ret = mof_file_build_path(aux->error, program, "%s/%s", aux->setup->exec_dir, MOSE_PROGRAM_NAME);
    if (ret == 0 && !aux->file->exists(aux->file, program)) {
        // The child could only fail after the fork, unseen here; say so while it can be seen.
        aux->error->report(aux->error, "Can't start the %s indexer: %s not found\n", kind, program);
        ret = 1;
    }
    if (ret == 0) {
        MOP_CHANNEL_T channel;
        memset(&channel, 0, sizeof(channel));
        ret = aux->process->open_process_async(aux->process, &channel, MOP_ON_ERROR_FAIL, program, "index",
                                               "auto", kind, static_cast<const char *>(nullptr));
    }
    if (ret != 0 && index_type == MOSE_INDEX_INCREMENTAL)
        mose_swap_lists(control); // the changes wait for the next run
    return ret;
}

int mose_todo_add_service(void *ref, void **data_ref) noexcept {
    MOSE_INDEXER_CONTROL_T *control = static_cast<MOSE_INDEXER_CONTROL_T *>(ref);
    MOSE_INC_T *inc = static_cast<MOSE_INC_T *>(*data_ref);
    MOLS_LIST_T *list = control->todo_list;
    int ret = list->add(list, nullptr, FALSE, inc->list_id, mose_int_ref(inc->type), nullptr);
    if (ret != 0)
        return ret;
    if (control->inc_lock_count == 0 && mose_main_index_exists(control->aux)) {
        control->aux->error->report_note(control->aux->error,
                                         "Starting incremental indexer from results of operation\n");
        mose_start_run(control, MOSE_INDEX_INCREMENTAL);
    }
    return 0;
}

int mose_todo_getdel_service(void *ref, void **data_ref) noexcept {
    MOSE_INDEXER_CONTROL_T *control = static_cast<MOSE_INDEXER_CONTROL_T *>(ref);
    MOSE_INC_T *inc = static_cast<MOSE_INC_T *>(*data_ref);
    MOLS_LIST_T *list = control->doing_list;
    MOLS_LIST_ELE_T *ele = nullptr;
    list->get_next(list, &ele);
    if (ele == nullptr) {
        inc->list_id = 0;
        inc->type = 0;
        inc->empty = TRUE;
        return 0;
    }
    inc->list_id = list->get_status(ele);
    inc->type = mose_ref_int(list->get_ref1(ele));
    inc->empty = FALSE;
    return list->del(list, ele);
}

int mose_index_runlock_service(void *ref, void **data_ref) noexcept {
    MOSE_INDEXER_CONTROL_T *control = static_cast<MOSE_INDEXER_CONTROL_T *>(ref);
    MOE_ERROR_T *error = control->aux->error;
    MOSE_RUNLOCK_T *lock = static_cast<MOSE_RUNLOCK_T *>(*data_ref);
    int index_type = lock->index_type;
    const char *kind = mose_kind_name(index_type);
    int *count = mose_lock_count(control, index_type);

    lock->ret = 0;
    switch (lock->op) {
        case MOSE_RUNLOCK_SPAWN:
            error->report_note(error, "Spawn of %s indexer\n", kind);
            if (*count == 0) {
                error->report_note(error, "Starting %s indexer from manual control\n", kind);
                if (!mose_start_run(control, index_type))
                    lock->ret = 1;
            } else {
                error->report_warning(error, "Trying to spawn the %s indexer, but it is already running\n",
                                      kind);
                lock->ret = 1;
            }
            break;
        case MOSE_RUNLOCK_CHECK:
            error->report_note(error, "Check of %s indexer\n", kind);
            if (*count == 0) {
                error->report_warning(error, "Checking the %s indexer, but was not running\n", kind);
                lock->ret = 1;
            }
            break;
        case MOSE_RUNLOCK_END:
            error->report_note(error, "End of %s indexer\n", kind);
            if (*count != 0) {
                *count = 0;
            } else {
                error->report_warning(error, "Trying to finish the %s indexer, but was not running\n", kind);
                lock->ret = 1;
            }
            break;
        default:
            // A peer's mistake: it is refused, and the daemon serves on.
            error->report(error, "Unknown index run lock operation %d\n", static_cast<int>(lock->op));
            lock->ret = 1;
            break;
    }
    return 0;
}

int mose_index_check_service(void *ref, void **data_ref) noexcept {
    MOSE_INDEXER_CONTROL_T *control = static_cast<MOSE_INDEXER_CONTROL_T *>(ref);
    MOSE_INC_T *inc = static_cast<MOSE_INC_T *>(*data_ref);
    MOLS_LIST_T *list = control->test_list;
    char op[MOSE_OP_LEN];
    char name[MOSE_NAME_LEN];
    mose_take_field(op, inc->op, sizeof(op));
    mose_take_field(name, inc->name, sizeof(name));
    inc->mesg[0] = '\0';

    if (strcmp(op, "add") == 0) {
        int ret = list->add(list, name, TRUE, 0, nullptr, nullptr);
        if (ret != 0)
            return ret;
        snprintf(inc->mesg, sizeof(inc->mesg), "adding %s\n", name);
    } else if (strcmp(op, "del") == 0) {
        MOLS_LIST_ELE_T *ele = nullptr;
        list->find_name(list, name, &ele);
        if (ele != nullptr) {
            list->del(list, ele);
            snprintf(inc->mesg, sizeof(inc->mesg), "Deleting %s\n", name);
        } else {
            snprintf(inc->mesg, sizeof(inc->mesg), "Can't find %s in list\n", name);
        }
    } else {
        // Only whole names go into the reply; those that no longer fit are left out.
        size_t used = 0;
        MOLS_LIST_ELE_T *ele = nullptr;
        for (list->get_next(list, &ele); ele != nullptr; list->get_next(list, &ele)) {
            const char *text = list->get_name(ele);
            size_t len = strlen(text);
            if (used + len + 1 >= sizeof(inc->mesg))
                break;
            memcpy(inc->mesg + used, text, len);
            inc->mesg[used + len] = '\n';
            used += len + 1;
            inc->mesg[used] = '\0';
        }
    }
    return 0;
}

int mose_inc_timer_service(void *ref) noexcept {
    MOSE_INDEXER_CONTROL_T *control = static_cast<MOSE_INDEXER_CONTROL_T *>(ref);
    MOE_ERROR_T *error = control->aux->error;

    if (control->inc_lock_count > 0 && ++control->inc_lock_count > MOSE_INC_DEAD_MINUTES)
        control->inc_lock_count = 0;
    if (control->main_lock_count > 0 && ++control->main_lock_count > MOSE_MAIN_DEAD_MINUTES)
        control->main_lock_count = 0;

    if (control->inc_lock_count == 0 && mose_main_index_exists(control->aux) &&
        !mose_list_empty(control->todo_list)) {
        error->report_note(error, "Starting incremental indexer from timer\n");
        mose_start_run(control, MOSE_INDEX_INCREMENTAL);
    }

    if (control->main_count > MOSE_DAY_MINUTES - 1 && control->main_lock_count == 0) {
        error->report_note(error, "Starting main indexer from timer\n");
        control->main_count = 1;
        mose_start_run(control, MOSE_INDEX_MAIN);
    } else {
        control->main_count++;
    }
    return 0;
}

int mose_daemon_construct_control(void *pool_ref, MOX_AUX_T *aux, MOME_MEM_T *mem, MOD_DAEMON_T *daemon,
                                  MOSE_INDEXER_CONTROL_T **control_ptr) noexcept {
    MOSE_INDEXER_CONTROL_T *control = nullptr;
    int ret = mome_new(mem, pool_ref, &control);
    if (ret != 0)
        return ret;
    control->aux = aux;
    control->mem = mem;
    control->pool_ref = pool_ref;
    control->inc_lock_count = 0;
    control->main_lock_count = 0;

    int hour = aux->setup->index_start_time;
    if (hour == -1) {
        control->main_count = 1;
    } else {
        if (hour < 0 || hour > 23) {
            aux->error->report_warning(aux->error,
                                       "INDEX_START_TIME %d is not an hour of the day; using %d instead\n",
                                       hour, MOSE_DEFAULT_START_HOUR);
            hour = MOSE_DEFAULT_START_HOUR;
        }
        mou_datetime_t now = 0;
        mou_datetime_t start = 0;
        MOU_UTIL_T *util = aux->util;
        ret = util->get_current_datetime(util, &now);
        if (ret == 0)
            ret = util->modify_time(util, now, hour, 0, 0, &start);
        if (ret != 0)
            return ret;
        control->main_count = mose_initial_main_count(now, start);
    }

    ret = mols_list_new(&control->test_list, pool_ref, mem);
    if (ret == 0)
        ret = mols_list_new(&control->todo_list, pool_ref, mem);
    if (ret == 0)
        ret = mols_list_new(&control->doing_list, pool_ref, mem);
    if (ret == 0)
        ret = daemon->add_service(daemon, MOSE_INSTR_TODO_ADD, mose_todo_add_service, control);
    if (ret == 0)
        ret = daemon->add_service(daemon, MOSE_INSTR_TODO_GETDEL, mose_todo_getdel_service, control);
    if (ret == 0)
        ret = daemon->add_service(daemon, MOSE_INSTR_RUNLOCK, mose_index_runlock_service, control);
    if (ret == 0)
        ret = daemon->add_service(daemon, MOSE_INSTR_CHECK, mose_index_check_service, control);
    if (ret == 0)
        ret = daemon->add_timer_service(daemon, mose_inc_timer_service, control);
    if (ret == 0 && control_ptr != nullptr)
        *control_ptr = control;
    return ret;
}

int mose_daemon_construct(void *pool_ref, MOX_AUX_T *aux, MOME_MEM_T *mem, MOD_DAEMON_T *daemon) noexcept {
    return mose_daemon_construct_control(pool_ref, aux, mem, daemon, nullptr);
}
