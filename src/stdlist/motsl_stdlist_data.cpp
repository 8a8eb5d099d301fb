// Reading and writing a list's data file under the daemon's locks, new and added elements, ids,
// and the file names of the companion lists.
//
// A cached chain is reused only while it still is the file: the daemon's modification number
// matches and so do the file's size and modification time (the numbers restart with the daemon).
// A chain read before the caller took the file's write lock is read again on the first read under
// that lock, so a commit never writes back what another process has changed meanwhile. The file is
// replaced by one rename of its temporary copy: at every moment the old or the new file is there.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "platform/mof_file_cmn.h"
#include "platform/mos_signal_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/momk_mark.h"

#include <cstring>
#include <string>
#include <unordered_set>

using namespace motsl_local;

namespace {

struct FileIdentity {
    mo_boolean_t exists = FALSE;
    long size = 0;
    mou_datetime_t mtime = 0;
};

int file_identity(MOX_AUX_T *aux, const char *filename, FileIdentity *id) noexcept {
    *id = FileIdentity{};
    id->exists = aux->file->exists(aux->file, filename);
    if (!id->exists)
        return 0;
    int ret = aux->file->get_size(aux->file, filename, &id->size);
    if (ret == 0)
        ret = aux->file->get_mod_time(aux->file, filename, &id->mtime);
    return ret;
}

bool same_file(const MOTSL_DATASTRUCT_T *data, const FileIdentity &now) noexcept {
    return data->file_existed == now.exists && data->file_size == now.size && data->file_mtime == now.mtime;
}

void remember_file(MOTSL_DATASTRUCT_T *data, const FileIdentity &now) noexcept {
    data->file_existed = now.exists;
    data->file_size = now.size;
    data->file_mtime = now.mtime;
}

// Whether the file holds any keyword line: an empty or comment-only file is an empty list.
int file_has_keyword_line(MOX_AUX_T *aux, const char *filename, long size, mo_boolean_t *answer) noexcept {
    *answer = FALSE;
    if (size == 0)
        return 0;
    char *buf = nullptr;
    size_t count = 0;
    int ret = mof_file_mem_read(aux->file, filename, aux->mem->req_pool_ref, &buf, &count);
    if (ret != 0)
        return ret;
    size_t i = 0;
    while (i < count && !*answer) {
        while (i < count && (buf[i] == ' ' || buf[i] == '\t' || buf[i] == '\r'))
            i++;
        size_t word = i;
        while (i < count && buf[i] != ' ' && buf[i] != '\t' && buf[i] != '\n')
            i++;
        if (i > word && buf[word] != '#' && i < count && (buf[i] == ' ' || buf[i] == '\t'))
            *answer = TRUE;
        while (i < count && buf[i] != '\n')
            i++;
        i++;
    }
    mof_file_mem_free(aux->file, buf, aux->mem->req_pool_ref);
    return 0;
}

int id_offset(MOT_TOP_STYPE_T *stype, size_t *offset) noexcept {
    MOTSL_STDLIST_KEYWORD_T *id_column = nullptr;
    int ret = motsl_find_column(stype, "ID", &id_column);
    if (ret == 0)
        *offset = id_column->common->gen_keyword.struct_offset;
    return ret;
}

// Reads the file into a new data record in the cell's pool. The caller holds a lock on the file.
int load_file(MOT_TOP_STYPE_T *stype, MOT_TOP_STORAGE_T *cell, mo_boolean_t no_default,
              mo_boolean_t do_id_array, MOTSL_DATASTRUCT_T **data_ptr) noexcept {
    MOX_AUX_T *aux = stype->aux;
    void *pool = cell->sub_pool_ref;
    *data_ptr = nullptr;
    MOTSL_DATASTRUCT_T *data = nullptr;
    MOK_GEN_KEYWORD_T *keywords = nullptr;
    FileIdentity now;
    int ret = mome_new(aux->mem, pool, &data);
    if (ret == 0)
        ret = stype->get_keyword_array(stype, &keywords);
    if (ret == 0)
        ret = file_identity(aux, stype->filename, &now);
    if (ret != 0)
        return ret;
    if (!no_default || now.exists) {
        ret = mok_read_keyword_list(aux, pool, stype->filename, keywords, stype->number_of_keywords,
                                    &data->data_record, static_cast<size_t>(stype->size_of_element));
        if (ret != 0)
            return ret;
        // The reader starts from a record of defaults; a list file without a single keyword line
        // holds no element (only the option lists want the record of defaults).
        if (no_default && data->data_record != nullptr && data->data_record->next == nullptr) {
            mo_boolean_t has_keyword = FALSE;
            ret = file_has_keyword_line(aux, stype->filename, now.size, &has_keyword);
            if (ret != 0)
                return ret;
            if (!has_keyword)
                data->data_record = nullptr;
        }
    }
    // The deleted list reads the main list's file into the same cell: whichever reads it first, the
    // main list (and every list naming its elements) finds the id index there.
    if ((stype->type == MOT_STYPE_MAIN || stype->type == MOT_STYPE_SECONDARY) && do_id_array) {
        size_t offset = 0;
        ret = mome_new(aux->mem, pool, &data->id_array);
        if (ret == 0)
            ret = id_offset(stype, &offset);
        if (ret == 0)
            ret = motc_init_id_array(aux, data->id_array, data->data_record, offset, pool);
        if (ret != 0)
            return ret;
    }
    remember_file(data, now);
    *data_ptr = data;
    return 0;
}

} // namespace

int motsl_get_datastruct(MOT_TOP_STYPE_T *stype, const char *caller, MOTSL_DATASTRUCT_T **data) noexcept {
    *data = nullptr;
    if (!stype->data_loaded || stype->data_storage == nullptr || stype->data_storage->struct_ref == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "data_storage not initialised in %s of stype %s\n", caller,
                     stype->name);
        return 1;
    }
    *data = static_cast<MOTSL_DATASTRUCT_T *>(stype->data_storage->struct_ref);
    return 0;
}

// ---------------------------------------------------------------- reading

int motsl_stdlist_read_data_basic(MOT_TOP_STYPE_T *stype, mo_boolean_t no_default, mo_boolean_t do_id_array,
                                  MOK_DATA_RECORD_T **first) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *first = nullptr;
    if (stype->filename == nullptr || stype->filename[0] == '\0') {
        err(aux)->report(err(aux), "The filename for stype %s has not been initialised\n", stype->name);
        return 1;
    }
    if (stype->data_storage_list_ptr == nullptr) {
        err(aux)->report(err(aux), "The data storage of stype %s has not been initialised\n", stype->name);
        return 1;
    }
    MOT_TOP_STORAGE_T *cell = nullptr;
    int ret =
        mot_top_storage_find(aux, stype->data_pool_ref, stype->data_storage_list_ptr, &cell, stype->filename);
    if (ret != 0)
        return ret;
    stype->data_storage = cell;
    auto *data = static_cast<MOTSL_DATASTRUCT_T *>(cell->struct_ref);

    int held = FALSE;
    ret = lock_file(stype, MOLK_FILE_WRITE_HELD, &held);
    if (ret != 0)
        return ret;
    if (data != nullptr && stype->data_loaded && !held) {
        data->handed_out_epoch = request_epoch();
        *first = data->data_record;
        return 0;
    }
    int stamp = 0;
    FileIdentity now;
    ret = lock_file(stype, MOLK_FILE_MOD_GET, &stamp);
    if (ret == 0)
        ret = file_identity(aux, stype->filename, &now);
    if (ret != 0)
        return ret;
    if (data != nullptr) {
        // A file that has gone keeps serving what was last read from it.
        bool current = !now.exists || (stamp == cell->mod_time && same_file(data, now));
        // Changes a request made under the write lock and never wrote stay with that request.
        bool own_changes_only = stype->data_loaded || !data->unwritten;
        if (current && (!held || data->write_locked) && own_changes_only) {
            stype->data_loaded = TRUE;
            data->handed_out_epoch = request_epoch();
            if (held)
                data->unwritten = TRUE;
            *first = data->data_record;
            return 0;
        }
        // Rows handed out earlier in this request stay valid: their memory is given back at the
        // first reload of a later request.
        if (data->handed_out_epoch != request_epoch()) {
            ret = mot_top_storage_clear(aux, cell);
            if (ret != 0)
                return ret;
        } else {
            cell->struct_ref = nullptr;
            cell->mod_time = 0;
        }
        data = nullptr;
    }
    int taken = FALSE;
    if (!held) {
        ret = lock_file(stype, MOLK_FILE_READ, nullptr);
        if (ret != 0)
            return ret;
        taken = TRUE;
    }
    ret = load_file(stype, cell, no_default, do_id_array, &data);
    if (taken) {
        int release = lock_file(stype, MOLK_FILE_READ_RELEASE, nullptr);
        if (ret == 0)
            ret = release;
    }
    if (ret != 0)
        return ret;
    data->write_locked = held;
    data->unwritten = held;
    data->handed_out_epoch = request_epoch();
    cell->struct_ref = data;
    cell->mod_time = stamp;
    stype->data_loaded = TRUE;
    *first = data->data_record;
    return 0;
}

int motsl_stdlist_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    return motsl_stdlist_read_data_basic(stype, FALSE, TRUE, first);
}

int motsl_stdlist_read_data_no_default(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    return motsl_stdlist_read_data_basic(stype, TRUE, TRUE, first);
}

// ---------------------------------------------------------------- writing

namespace {

// Ids beyond the cap would make the file unreadable for every later reader.
int check_ids(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain) noexcept {
    if (stype->type != MOT_STYPE_MAIN)
        return 0;
    size_t offset = 0;
    int ret = id_offset(stype, &offset);
    if (ret != 0)
        return ret;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        int id = mok_field<int>(r->container, offset);
        if (id > MOTC_MAX_ID) {
            err(stype->aux)
                ->report(err(stype->aux), "Id %d in %s is larger than the largest id allowed (%d)\n", id,
                         stype->name, MOTC_MAX_ID);
            return 1;
        }
    }
    return 0;
}

} // namespace

int motsl_stdlist_write_data(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(stype, "motsl_stdlist_write_data", &data);
    if (ret != 0)
        return ret;
    ret = lock_file(stype, MOLK_FILE_WRITE_CHECK, nullptr);
    if (ret == 0)
        ret = check_ids(stype, data->data_record);
    // Elements added since the load join the id index: the chain is kept as the file after the
    // write, and other lists look names up through the index.
    if (ret == 0 && data->id_array != nullptr) {
        size_t offset = 0;
        ret = id_offset(stype, &offset);
        if (ret == 0)
            ret = motc_init_id_array(aux, data->id_array, data->data_record, offset,
                                     stype->data_storage->sub_pool_ref);
    }
    if (ret != 0)
        return ret;
    mo_filename_t tmp;
    int n = snprintf(tmp, sizeof(tmp), "%s.tmp", stype->filename);
    if (n < 0 || n >= static_cast<int>(sizeof(tmp))) {
        err(aux)->report(err(aux), "Path too long for the temporary file of %s\n", stype->filename);
        return 1;
    }
    MOK_GEN_KEYWORD_T *keywords = nullptr;
    ret = stype->get_keyword_array(stype, &keywords);
    if (ret == 0)
        ret = aux->file->mark_as_cleanup(aux->file, tmp);
    if (ret != 0)
        return ret;
    ret = mok_write_keyword_list(aux, stype->data_storage->sub_pool_ref, tmp, keywords,
                                 stype->number_of_keywords, data->data_record,
                                 static_cast<size_t>(stype->size_of_element));
    if (ret == 0) {
        // One rename puts the new file in place of the old, once it is on disk.
        MosProtected section(aux->signal);
        ret = aux->file->replace_file(aux->file, stype->filename, tmp);
    }
    if (ret != 0) {
        aux->file->remove_file(aux->file, tmp);
        aux->file->delete_cleanup(aux->file, tmp);
        return ret;
    }
    aux->file->delete_cleanup(aux->file, tmp);
    ret = lock_file(stype, MOLK_FILE_MOD_RAISE, nullptr);
    if (ret != 0)
        return ret;
    // The chain in memory is now the file: later reads, here or in a later request, keep it.
    int stamp = 0;
    FileIdentity now;
    ret = lock_file(stype, MOLK_FILE_MOD_GET, &stamp);
    if (ret == 0)
        ret = file_identity(aux, stype->filename, &now);
    if (ret != 0)
        return ret;
    stype->data_storage->mod_time = stamp;
    remember_file(data, now);
    data->unwritten = FALSE;
    return 0;
}

int motsl_stdlist_write_data_and_mark(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    // A list without a change mark has nobody to tell.
    if (ts == nullptr || strcmp(ts->mark_filename, MOTSL_NO_MARK_FILE) == 0)
        return motsl_stdlist_write_data(stype);
    int ret = momk_mark_file_lock(aux, MOLK_FILE_WRITE, ts->mark_filename);
    if (ret != 0)
        return ret;
    ret = motsl_stdlist_write_data(stype);
    if (ret == 0)
        ret = momk_mark_touch(aux, ts->mark_filename);
    int release = momk_mark_file_lock(aux, MOLK_FILE_WRITE_RELEASE, ts->mark_filename);
    return ret != 0 ? ret : release;
}

// ---------------------------------------------------------------- new and added elements

int motsl_stdlist_new_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **new_record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *new_record = nullptr;
    MOK_GEN_KEYWORD_T *keywords = nullptr;
    int ret = stype->get_keyword_array(stype, &keywords);
    if (ret != 0)
        return ret;
    // The record joins the chain, so it lives with it.
    void *pool = stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->data_pool_ref;
    return mok_get_and_init_new_data_record(aux, pool, new_record, keywords, stype->number_of_keywords,
                                            static_cast<size_t>(stype->size_of_element));
}

namespace {

int add_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record, MOK_DATA_RECORD_T **first,
               bool reverse) noexcept {
    *first = nullptr;
    if (!stype->data_loaded || stype->data_storage == nullptr || stype->data_storage->struct_ref == nullptr) {
        err(stype->aux)->report(err(stype->aux), "data_storage not initialised in motsl_stdlist_add_data\n");
        return 1;
    }
    auto *data = static_cast<MOTSL_DATASTRUCT_T *>(stype->data_storage->struct_ref);
    new_record->next = nullptr;
    if (reverse) {
        new_record->next = data->data_record;
        data->data_record = new_record;
    } else {
        MOK_DATA_RECORD_T **link = &data->data_record;
        while (*link != nullptr)
            link = &(*link)->next;
        *link = new_record;
    }
    *first = data->data_record;
    return 0;
}

} // namespace

int motsl_stdlist_add_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record,
                           MOK_DATA_RECORD_T **first) noexcept {
    return add_record(stype, new_record, first, false);
}

int motsl_stdlist_add_data_reverse(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *new_record,
                                   MOK_DATA_RECORD_T **first) noexcept {
    return add_record(stype, new_record, first, true);
}

// ---------------------------------------------------------------- ids

namespace {

int find_max(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain, MOTSL_STDLIST_KEYWORD_T *id_column,
             MOTSL_STDLIST_KEYWORD_T *new_column, int user_id, MOK_DATA_RECORD_T **max_result,
             MOK_DATA_RECORD_T **record_result, mo_boolean_t *already_have_new) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTC_COMMON_KEYWORD_T *common = id_column->common;
    size_t offset = common->gen_keyword.struct_offset;
    *max_result = nullptr;
    if (record_result != nullptr)
        *record_result = nullptr;
    if (already_have_new != nullptr)
        *already_have_new = FALSE;
    // Every repeated id is caught, not only one that equals the largest so far: a hand-edited
    // file with two elements of one id must not go on growing.
    std::unordered_set<int> seen;
    for (MOK_DATA_RECORD_T *r = chain; r != nullptr; r = r->next) {
        if (new_column != nullptr && user_id > 0 &&
            mok_field<int>(r->container, new_column->common->gen_keyword.struct_offset) == user_id) {
            *record_result = r;
            *already_have_new = TRUE;
            return 0;
        }
        int id = mok_field<int>(r->container, offset);
        if (!seen.insert(id).second) {
            const char *text = "";
            common->get_string_fn(common, r->container, &text);
            err(aux)->report(err(aux), "Two ID records in %s are equal, both are %s. How did this happen?",
                             stype->name, text);
            return 1;
        }
        if (*max_result == nullptr ||
            common->compare_fn(common, r->container, (*max_result)->container, FALSE) > 0)
            *max_result = r;
    }
    return 0;
}

} // namespace

int motsl_find_maximum_id(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain,
                          MOTSL_STDLIST_KEYWORD_T *id_column, MOK_DATA_RECORD_T **max_result) noexcept {
    return find_max(stype, chain, id_column, nullptr, 0, max_result, nullptr, nullptr);
}

int motsl_find_maximum_id_or_new(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *chain,
                                 MOTSL_STDLIST_KEYWORD_T *id_column, MOTSL_STDLIST_KEYWORD_T *new_column,
                                 MOK_DATA_RECORD_T **max_result, MOK_DATA_RECORD_T **record_result,
                                 mo_boolean_t *already_have_new) noexcept {
    int user_id = -1;
    int ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret != 0)
        return ret;
    return find_max(stype, chain, id_column, new_column, user_id, max_result, record_result,
                    already_have_new);
}

int motsl_stdlist_get_new_id(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *id_column,
                             MOK_DATA_RECORD_T *new_record, MOK_DATA_RECORD_T *max_record) noexcept {
    size_t offset = id_column->common->gen_keyword.struct_offset;
    int largest = mok_field<int>(max_record->container, offset);
    if (largest >= MOTC_MAX_ID) {
        err(stype->aux)
            ->report(err(stype->aux), "No new id can be given in %s: the largest id is already %d\n",
                     stype->name, largest);
        return 1;
    }
    mok_field<int>(new_record->container, offset) = largest + 1;
    return 0;
}

int motsl_stdlist_append_new(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **new_record) noexcept {
    *new_record = nullptr;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOK_DATA_RECORD_T *first = nullptr, *record = nullptr, *max = nullptr;
    MOTSL_STDLIST_KEYWORD_T *id_column = nullptr;
    int ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = motsl_find_column(stype, "ID", &id_column);
    if (ret == 0)
        ret = motsl_find_maximum_id(stype, first, id_column, &max);
    if (ret == 0)
        ret = stype->new_data(stype, &record);
    if (ret != 0)
        return ret;
    motsl_get_new_id_fn_t get_new_id =
        ts != nullptr && ts->get_new_id != nullptr ? ts->get_new_id : motsl_stdlist_get_new_id;
    ret = get_new_id(stype, id_column, record, max != nullptr ? max : record);
    if (ret == 0)
        ret = stype->add_data(stype, record, &first);
    if (ret == 0)
        *new_record = record;
    return ret;
}

// ---------------------------------------------------------------- file names

int motsl_useropt_init_filename(MOT_TOP_STYPE_T *stype) noexcept {
    int user_id = -1;
    int ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret != 0)
        return ret;
    return motsl_set_data_filename(stype, "%s/%s/%d", stype->aux->setup->user_default_dir, stype->name,
                                   user_id);
}

int motsl_useropt_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept {
    int user_id = -1;
    int ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret != 0)
        return ret;
    return motsl_set_data_filename(stype, "%s/%s/%d/%d", stype->aux->setup->user_default_dir, stype->name,
                                   current_list(stype), user_id);
}

namespace {

// The element id of a history file: a positive id (the position keeps only the "%d" form).
int history_row(MOT_TOP_STYPE_T *stype, int *row) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr || motsl_parse_id(ts->row, row) != 0 || *row <= 0) {
        err(stype->aux)
            ->report(err(stype->aux), "The history of stype %s needs an element id\n", stype->name);
        return 1;
    }
    return 0;
}

} // namespace

int motsl_history_init_filename_stype(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int row = 0;
    int ret = history_row(stype, &row);
    if (ret != 0)
        return ret;
    // The folder's default stype names the directory; without a current folder, the served list.
    const char *dir = nullptr;
    auto *hs = static_cast<MOTSL_HISTORY_STORAGE_T *>(stype->applic_storage_ref);
    int list_id = current_list(stype);
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    if (list_id != 0 && item != nullptr && item->get_default_stype != nullptr) {
        ret = item->get_default_stype(item, current_index(stype), list_id, &dir);
        if (ret != 0)
            return ret;
        // Only a registered stype's name may become a directory.
        if (dir == nullptr || find_stype_quiet(stype, dir) == nullptr) {
            err(aux)->report(err(aux), "The default stype of item %d is not a registered stype\n", list_id);
            return 1;
        }
    } else if (hs != nullptr && hs->parent_stype != nullptr) {
        dir = hs->parent_stype->name;
    } else {
        dir = stype->name;
    }
    return motsl_set_data_filename(stype, "%s/%s/history/%d", aux->setup->lib_dir, dir, row);
}

int motsl_history_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept {
    int row = 0;
    int ret = history_row(stype, &row);
    if (ret != 0)
        return ret;
    return motsl_set_data_filename(stype, "%s/index/%d/history/%d", stype->aux->setup->lib_dir,
                                   current_list(stype), row);
}

int motsl_applic_init_filename_id(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    int row = 0;
    if (ts == nullptr || motsl_parse_id(ts->row, &row) != 0) {
        err(stype->aux)->report(err(stype->aux), "The row of stype %s is not an id\n", stype->name);
        return 1;
    }
    return motsl_set_data_filename(stype, "%s/index/%d/%d", stype->aux->setup->lib_dir, current_list(stype),
                                   row);
}
