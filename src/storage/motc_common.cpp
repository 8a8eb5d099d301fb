// Common keywords (display, update from text, ordering and copying of one value kind) and the id
// array with its lookups. Texts handed in are never changed; a replaced text is released only
// after its replacement exists, so a value may be set from its own display text.
#include "storage/motc_common.h"
#include "platform/moe_error_cmn.h"
#include "storage/moil_idlist.h"
#include "platform/mome_mem_cmn.h"
#include "platform/mou_util_cmn.h"
#include "entry/mox_aux.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

motc_full_name_fn_t motc_user_full_name_fn = nullptr;

namespace {

char integer_text[MO_STRING_LEN];  // display text of integers and booleans
char u32bit_text[MO_STRING_LEN];   // display text of u32bit values
char datetime_text[MO_STRING_LEN]; // display text of dates
char user_id_text[MO_STRING_LEN];  // display text of a user id when no access service is there

int sign_of(long long v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

int compare_u32(uint32_t a, uint32_t b) {
    return a > b ? 1 : (a < b ? -1 : 0);
}

size_t off(const MOTC_COMMON_KEYWORD_T *common) {
    return common->gen_keyword.struct_offset;
}

// The operations of one kind of common keyword: how its value is kept in the file and how it is
// shown, updated, compared and copied.
struct CommonKind {
    mok_init_fn_t init_fn;
    mok_read_fn_t read_fn;
    mok_write_fn_t write_fn;
    mok_free_fn_t free_fn;
    motc_get_string_fn_t get_string_fn;
    motc_update_string_fn_t update_string_fn;
    motc_compare_fn_t compare_fn;
    motc_copy_fn_t copy_fn;
};

constexpr CommonKind kind_string = {
    .init_fn = mok_init_string,
    .read_fn = mok_read_string,
    .write_fn = mok_write_string,
    .free_fn = mok_free_string,
    .get_string_fn = motc_get_string_string,
    .update_string_fn = motc_update_string_string,
    .compare_fn = motc_compare_string,
    .copy_fn = motc_copy_string,
};
constexpr CommonKind kind_multi_line = {
    .init_fn = mok_init_multi_line,
    .read_fn = mok_read_multi_line,
    .write_fn = mok_write_multi_line,
    .free_fn = mok_free_multi_line,
    .get_string_fn = motc_get_string_multi_line,
    .update_string_fn = motc_update_string_multi_line,
    .compare_fn = motc_compare_multi_line,
    .copy_fn = motc_copy_multi_line,
};
constexpr CommonKind kind_integer = {
    .init_fn = mok_init_integer,
    .read_fn = mok_read_integer,
    .write_fn = mok_write_integer,
    .free_fn = mok_free_integer,
    .get_string_fn = motc_get_string_integer,
    .update_string_fn = motc_update_string_integer,
    .compare_fn = motc_compare_integer,
    .copy_fn = motc_copy_integer,
};
constexpr CommonKind kind_boolean = {
    .init_fn = mok_init_boolean,
    .read_fn = mok_read_boolean,
    .write_fn = mok_write_boolean,
    .free_fn = mok_free_boolean,
    .get_string_fn = motc_get_string_integer,
    .update_string_fn = motc_update_string_integer,
    .compare_fn = motc_compare_integer,
    .copy_fn = motc_copy_integer,
};
constexpr CommonKind kind_u32bit = {
    .init_fn = mok_init_u32bit,
    .read_fn = mok_read_u32bit,
    .write_fn = mok_write_u32bit,
    .free_fn = mok_free_u32bit,
    .get_string_fn = motc_get_string_u32bit,
    .update_string_fn = motc_update_string_u32bit,
    .compare_fn = motc_compare_u32bit,
    .copy_fn = motc_copy_u32bit,
};
constexpr CommonKind kind_date = {
    .init_fn = mok_init_u32bit,
    .read_fn = mok_read_u32bit,
    .write_fn = mok_write_u32bit,
    .free_fn = mok_free_u32bit,
    .get_string_fn = motc_get_string_datetime,
    .update_string_fn = motc_update_string_datetime,
    .compare_fn = motc_compare_datetime,
    .copy_fn = motc_copy_datetime,
};
constexpr CommonKind kind_user_id = {
    .init_fn = mok_init_integer,
    .read_fn = mok_read_integer,
    .write_fn = mok_write_integer,
    .free_fn = mok_free_integer,
    .get_string_fn = motc_get_string_user_id,
    .update_string_fn = motc_update_string_user_id,
    .compare_fn = motc_compare_user_id,
    .copy_fn = motc_copy_user_id,
};
constexpr CommonKind kind_null = {
    .init_fn = mok_init_null,
    .read_fn = mok_read_null,
    .write_fn = mok_write_null,
    .free_fn = mok_free_null,
    .get_string_fn = motc_get_string_null,
    .update_string_fn = motc_update_string_null,
    .compare_fn = motc_compare_null,
    .copy_fn = motc_copy_null,
};

int alloc_common(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr, const char *keyword,
                 size_t struct_offset, const void *init_ref, const CommonKind &kind) {
    int ret = mome_new(aux->mem, pool_ref, new_common_ptr);
    if (ret != 0)
        return ret;
    MOTC_COMMON_KEYWORD_T *c = *new_common_ptr;
    mok_load_keyword(&c->gen_keyword, keyword, struct_offset, kind.init_fn, init_ref, kind.read_fn,
                     kind.write_fn, kind.free_fn);
    c->get_string_fn = kind.get_string_fn;
    c->update_string_fn = kind.update_string_fn;
    c->compare_fn = kind.compare_fn;
    c->copy_fn = kind.copy_fn;
    c->type_keyword_ref = nullptr;
    c->applic_keyword_ref = nullptr;
    c->aux = aux;
    return 0;
}

// The deleted flag of a container, for the getters and lookups.
void give_deleted(const void *container, mo_boolean_t *deleted_ptr, long offset_del) {
    if (deleted_ptr == nullptr)
        return;
    if (container == nullptr)
        *deleted_ptr = TRUE;
    else if (offset_del < 0)
        *deleted_ptr = FALSE;
    else
        *deleted_ptr = mok_field<int>(container, static_cast<size_t>(offset_del));
}

const void *entry(const MO_ID_ARRAY_T *id_array, int id) {
    void *container = nullptr;
    motc_get_container_from_id_array(id_array, id, &container);
    return container;
}

// The field of type T at `offset` in the record of `id` (and its deleted flag), or `none` with 1
// when the id has no record.
template <class T, class R>
int field_or(const MO_ID_ARRAY_T *id_array, int id, size_t offset, mo_boolean_t *deleted_ptr, long offset_del,
             std::type_identity_t<R> none, R *result_ptr) {
    const void *c = entry(id_array, id);
    give_deleted(c, deleted_ptr, offset_del);
    *result_ptr = c != nullptr ? mok_field<T>(c, offset) : none;
    return c != nullptr ? 0 : 1;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Constructors

int motc_common_alloc_string(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                             const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_string);
}

int motc_common_alloc_multi_line(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                                 const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_multi_line);
}

int motc_common_alloc_integer(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                              const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_integer);
}

int motc_common_alloc_boolean(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                              const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_boolean);
}

int motc_common_alloc_u32bit(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                             const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_u32bit);
}

int motc_common_alloc_date(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                           const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_date);
}

int motc_common_alloc_user_id(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                              const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_user_id);
}

int motc_common_alloc_null(MOX_AUX_T *aux, void *pool_ref, MOTC_COMMON_KEYWORD_T **new_common_ptr,
                           const char *keyword, size_t struct_offset, const void *init_ref) noexcept {
    return alloc_common(aux, pool_ref, new_common_ptr, keyword, struct_offset, init_ref, kind_null);
}

// ---------------------------------------------------------------------------------------------
// Bare values

int motc_compare_string_basic(const char *s1, const char *s2) noexcept {
    return sign_of(strcmp(s1 != nullptr ? s1 : "", s2 != nullptr ? s2 : ""));
}

int motc_compare_string_nocase(const char *s1, const char *s2) noexcept {
    const unsigned char *a = reinterpret_cast<const unsigned char *>(s1 != nullptr ? s1 : "");
    const unsigned char *b = reinterpret_cast<const unsigned char *>(s2 != nullptr ? s2 : "");
    // Only A to Z fold: the stored texts are 8-bit and carry no locale.
    for (;; a++, b++) {
        int ca = (*a >= 'A' && *a <= 'Z') ? *a - 'A' + 'a' : *a;
        int cb = (*b >= 'A' && *b <= 'Z') ? *b - 'A' + 'a' : *b;
        if (ca != cb)
            return ca > cb ? 1 : -1;
        if (ca == 0)
            return 0;
    }
}

int motc_compare_multi_line_basic(const MOK_MULTI_LINE_T *m1, const MOK_MULTI_LINE_T *m2) noexcept {
    for (; m1 != nullptr && m2 != nullptr; m1 = m1->next, m2 = m2->next) {
        int r = motc_compare_string_basic(m1->string, m2->string);
        if (r != 0)
            return r;
    }
    if (m1 == nullptr && m2 == nullptr)
        return 0;
    return m1 == nullptr ? -1 : 1;
}

int motc_compare_idlist_basic(const MOIL_IDLIST_T *l1, const MOIL_IDLIST_T *l2) noexcept {
    for (; l1 != nullptr && l2 != nullptr; l1 = l1->next, l2 = l2->next) {
        int r = motc_compare_int_basic(l1->id, l2->id);
        if (r != 0)
            return r;
    }
    if (l1 == nullptr && l2 == nullptr)
        return 0;
    return l1 == nullptr ? -1 : 1;
}

int motc_compare_int_basic(int i1, int i2) noexcept {
    return i1 > i2 ? 1 : (i1 < i2 ? -1 : 0);
}

int motc_copy_multi_line_basic(MOX_AUX_T *aux, void *pool_ref, MOK_MULTI_LINE_T **dest,
                               const MOK_MULTI_LINE_T *src) noexcept {
    // Built aside first so that copying a value onto itself works.
    MOK_MULTI_LINE_T *head = nullptr;
    MOK_MULTI_LINE_T *tail = nullptr;
    int ret = 0;
    for (; src != nullptr && ret == 0; src = src->next) {
        MOK_MULTI_LINE_T *node = nullptr;
        ret = mome_new(aux->mem, pool_ref, &node);
        if (ret == 0)
            ret = aux->mem->store_string(aux->mem, pool_ref, &node->string, src->string ? src->string : "");
        if (node != nullptr && node->string != nullptr) {
            mo_list_append(&head, &tail, node);
        }
    }
    *dest = head;
    return ret;
}

int motc_copy_idlist_basic(MOX_AUX_T *aux, void *pool_ref, MOIL_IDLIST_T **dest,
                           const MOIL_IDLIST_T *src) noexcept {
    MOIL_IDLIST_T *head = nullptr;
    MOIL_IDLIST_T *tail = nullptr;
    int ret = 0;
    for (; src != nullptr && ret == 0; src = src->next) {
        MOIL_IDLIST_T *node = nullptr;
        ret = mome_new(aux->mem, pool_ref, &node);
        if (ret != 0)
            break;
        node->id = src->id;
        mo_list_append(&head, &tail, node);
    }
    *dest = head;
    return ret;
}

int motc_copy_accesslist_basic(MOX_AUX_T *aux, void *pool_ref, MOIL_ACCESSLIST_T **dest,
                               const MOIL_ACCESSLIST_T *src) noexcept {
    int ret = 0;
    if (*dest == nullptr) {
        ret = mome_new(aux->mem, pool_ref, dest);
        if (ret != 0)
            return ret;
        (*dest)->use_parent = TRUE;
    }
    MOIL_IDLIST_T *user = nullptr;
    MOIL_IDLIST_T *group = nullptr;
    ret = motc_copy_idlist_basic(aux, pool_ref, &user, src != nullptr ? src->user : nullptr);
    (*dest)->user = user;
    if (ret != 0)
        return ret;
    ret = motc_copy_idlist_basic(aux, pool_ref, &group, src != nullptr ? src->group : nullptr);
    (*dest)->group = group;
    if (ret != 0)
        return ret;
    (*dest)->use_parent = src != nullptr ? src->use_parent : TRUE;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// string

int motc_get_string_string(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result_ptr) noexcept {
    const char *text = mok_field<char *>(container, off(common));
    *result_ptr = text != nullptr ? text : "";
    return 0;
}

int motc_update_string_string(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                              const char *new_text) noexcept {
    MOX_AUX_T *aux = common->aux;
    char *copy = nullptr;
    int ret = aux->mem->store_string(aux->mem, pool_ref, &copy, new_text != nullptr ? new_text : "");
    if (ret != 0)
        return ret;
    ret = common->gen_keyword.free_fn(aux, pool_ref, container, off(common));
    mok_field<char *>(container, off(common)) = copy;
    return ret;
}

int motc_compare_string(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                        mo_boolean_t nocase) noexcept {
    const char *s1 = mok_field<char *>(container1, off(common));
    const char *s2 = mok_field<char *>(container2, off(common));
    return nocase ? motc_compare_string_nocase(s1, s2) : motc_compare_string_basic(s1, s2);
}

int motc_copy_string(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept {
    const char *text = mok_field<char *>(src, off(common));
    return motc_update_string_string(common, pool_ref, dest, text);
}

// ---------------------------------------------------------------------------------------------
// multi_line

int motc_get_string_multi_line(MOTC_COMMON_KEYWORD_T *common, void *container,
                               const char **result_ptr) noexcept {
    MOX_AUX_T *aux = common->aux;
    const MOK_MULTI_LINE_T *lines = mok_field<MOK_MULTI_LINE_T *>(container, off(common));
    size_t total = 1;
    for (const MOK_MULTI_LINE_T *l = lines; l != nullptr; l = l->next)
        total += (l->string != nullptr ? strlen(l->string) : 0) + 1;
    char *text = nullptr;
    int ret = mome_new_array(aux->mem, aux->mem->req_pool_ref, &text, total);
    if (ret != 0) {
        *result_ptr = "";
        return ret;
    }
    size_t pos = 0;
    for (const MOK_MULTI_LINE_T *l = lines; l != nullptr; l = l->next) {
        size_t len = l->string != nullptr ? strlen(l->string) : 0;
        if (len > 0)
            memcpy(text + pos, l->string, len);
        pos += len;
        text[pos++] = '\n';
    }
    text[pos] = '\0';
    *result_ptr = text;
    return 0;
}

int motc_update_string_multi_line(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *container,
                                  const char *new_text) noexcept {
    MOX_AUX_T *aux = common->aux;
    MOK_MULTI_LINE_T *&slot = mok_field<MOK_MULTI_LINE_T *>(container, off(common));
    slot = nullptr;
    if (new_text == nullptr || *new_text == '\0')
        return 0;
    char line[MOK_MULTI_LINE_BUF];
    MOK_MULTI_LINE_T *tail = nullptr;
    MOK_MULTI_LINE_T *last_text = nullptr; // last line that is not empty
    const char *p = new_text;
    int ret = 0;
    for (;;) {
        const char *lf = strchr(p, '\n');
        size_t len = lf != nullptr ? static_cast<size_t>(lf - p) : strlen(p);
        if (len > MOK_MULTI_LINE_MAX) {
            aux->error->report(aux->error, "Line too long for multi line input\n");
            ret = 1;
            break;
        }
        memcpy(line, p, len);
        line[len] = '\0';
        MOK_MULTI_LINE_T *node = nullptr;
        ret = mome_new(aux->mem, pool_ref, &node);
        if (ret == 0)
            ret = aux->mem->store_string(aux->mem, pool_ref, &node->string, line);
        if (ret != 0)
            break;
        mo_list_append(&slot, &tail, node);
        if (len > 0)
            last_text = node;
        if (lf == nullptr)
            break;
        p = lf + 1;
    }
    // Trailing empty lines go: an input ending in line feeds has no empty last line.
    if (last_text == nullptr)
        slot = nullptr;
    else
        last_text->next = nullptr;
    return ret;
}

int motc_compare_multi_line(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                            mo_boolean_t) noexcept {
    return motc_compare_multi_line_basic(mok_field<MOK_MULTI_LINE_T *>(container1, off(common)),
                                         mok_field<MOK_MULTI_LINE_T *>(container2, off(common)));
}

int motc_copy_multi_line(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest,
                         const void *src) noexcept {
    return motc_copy_multi_line_basic(common->aux, pool_ref,
                                      &mok_field<MOK_MULTI_LINE_T *>(dest, off(common)),
                                      mok_field<MOK_MULTI_LINE_T *>(src, off(common)));
}

// ---------------------------------------------------------------------------------------------
// integer (and boolean)

int motc_get_string_integer(MOTC_COMMON_KEYWORD_T *common, void *container,
                            const char **result_ptr) noexcept {
    snprintf(integer_text, sizeof(integer_text), "%d", mok_field<int>(container, off(common)));
    *result_ptr = integer_text;
    return 0;
}

int motc_update_string_integer(MOTC_COMMON_KEYWORD_T *common, void *, void *container,
                               const char *new_text) noexcept {
    mok_field<int>(container, off(common)) = mok_text_to_int(new_text != nullptr ? new_text : "");
    return 0;
}

int motc_compare_integer(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                         mo_boolean_t) noexcept {
    return motc_compare_int_basic(mok_field<int>(container1, off(common)),
                                  mok_field<int>(container2, off(common)));
}

int motc_copy_integer(MOTC_COMMON_KEYWORD_T *common, void *, void *dest, const void *src) noexcept {
    mok_field<int>(dest, off(common)) = mok_field<int>(src, off(common));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// u32bit

int motc_get_string_u32bit(MOTC_COMMON_KEYWORD_T *common, void *container, const char **result_ptr) noexcept {
    snprintf(u32bit_text, sizeof(u32bit_text), "%lu",
             static_cast<unsigned long>(mok_field<uint32_t>(container, off(common))));
    *result_ptr = u32bit_text;
    return 0;
}

int motc_update_string_u32bit(MOTC_COMMON_KEYWORD_T *common, void *, void *container,
                              const char *new_text) noexcept {
    mok_field<uint32_t>(container, off(common)) = mok_text_to_u32(new_text != nullptr ? new_text : "");
    return 0;
}

int motc_compare_u32bit(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                        mo_boolean_t) noexcept {
    return compare_u32(mok_field<uint32_t>(container1, off(common)),
                       mok_field<uint32_t>(container2, off(common)));
}

int motc_copy_u32bit(MOTC_COMMON_KEYWORD_T *common, void *, void *dest, const void *src) noexcept {
    mok_field<uint32_t>(dest, off(common)) = mok_field<uint32_t>(src, off(common));
    return 0;
}

// ---------------------------------------------------------------------------------------------
// datetime (a u32bit count of seconds)

int motc_get_string_datetime(MOTC_COMMON_KEYWORD_T *common, void *container,
                             const char **result_ptr) noexcept {
    MOX_AUX_T *aux = common->aux;
    uint32_t seconds = mok_field<uint32_t>(container, off(common));
    datetime_text[0] = '\0';
    *result_ptr = datetime_text;
    if (seconds == 0)
        return 0;
    return aux->util->datetime_to_fullstring(aux->util, static_cast<mou_datetime_t>(seconds), 0,
                                             datetime_text);
}

int motc_update_string_datetime(MOTC_COMMON_KEYWORD_T *common, void *, void *, const char *) noexcept {
    common->aux->error->report(common->aux->error, "motc_update_string_datetime not implemented\n");
    return 1;
}

int motc_compare_datetime(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                          mo_boolean_t nocase) noexcept {
    return motc_compare_u32bit(common, container1, container2, nocase);
}

int motc_copy_datetime(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept {
    return motc_copy_u32bit(common, pool_ref, dest, src);
}

// ---------------------------------------------------------------------------------------------
// user id (an integer shown as the user's full name)

int motc_get_string_user_id(MOTC_COMMON_KEYWORD_T *common, void *container,
                            const char **result_ptr) noexcept {
    int user_id = mok_field<int>(container, off(common));
    if (motc_user_full_name_fn != nullptr)
        return motc_user_full_name_fn(common->aux, user_id, result_ptr);
    // No access service in this process (tools and tests): the number is all there is to show.
    snprintf(user_id_text, sizeof(user_id_text), "%d", user_id);
    *result_ptr = user_id_text;
    return 0;
}

int motc_update_string_user_id(MOTC_COMMON_KEYWORD_T *common, void *, void *, const char *) noexcept {
    common->aux->error->report(common->aux->error, "motc_update_string_user_id not implemented\n");
    return 1;
}

int motc_compare_user_id(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                         mo_boolean_t nocase) noexcept {
    return motc_compare_integer(common, container1, container2, nocase);
}

int motc_copy_user_id(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept {
    return motc_copy_integer(common, pool_ref, dest, src);
}

// ---------------------------------------------------------------------------------------------
// null

int motc_get_string_null(MOTC_COMMON_KEYWORD_T *, void *, const char **result_ptr) noexcept {
    *result_ptr = "";
    return 0;
}

int motc_update_string_null(MOTC_COMMON_KEYWORD_T *, void *, void *, const char *) noexcept {
    return 0;
}

int motc_compare_null(MOTC_COMMON_KEYWORD_T *common, const void *, const void *, mo_boolean_t) noexcept {
    common->aux->error->report(common->aux->error, "This motc_compare_null fn should not be called\n");
    return 1;
}

int motc_copy_null(MOTC_COMMON_KEYWORD_T *, void *, void *, const void *) noexcept {
    return 0;
}

// ---------------------------------------------------------------------------------------------
// id lists and access lists

int motc_compare_idlist(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                        mo_boolean_t) noexcept {
    return motc_compare_idlist_basic(mok_field<MOIL_IDLIST_T *>(container1, off(common)),
                                     mok_field<MOIL_IDLIST_T *>(container2, off(common)));
}

int motc_compare_accesslist(MOTC_COMMON_KEYWORD_T *common, const void *container1, const void *container2,
                            mo_boolean_t) noexcept {
    const MOIL_ACCESSLIST_T *a1 = mok_field<MOIL_ACCESSLIST_T *>(container1, off(common));
    const MOIL_ACCESSLIST_T *a2 = mok_field<MOIL_ACCESSLIST_T *>(container2, off(common));
    // A missing list counts as a new one: nobody listed, the parent's access applies.
    int p1 = a1 != nullptr ? a1->use_parent : TRUE;
    int p2 = a2 != nullptr ? a2->use_parent : TRUE;
    int r = motc_compare_int_basic(p1, p2);
    if (r == 0)
        r = motc_compare_idlist_basic(a1 ? a1->user : nullptr, a2 ? a2->user : nullptr);
    if (r == 0)
        r = motc_compare_idlist_basic(a1 ? a1->group : nullptr, a2 ? a2->group : nullptr);
    return r;
}

int motc_copy_idlist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest, const void *src) noexcept {
    return motc_copy_idlist_basic(common->aux, pool_ref, &mok_field<MOIL_IDLIST_T *>(dest, off(common)),
                                  mok_field<MOIL_IDLIST_T *>(src, off(common)));
}

int motc_copy_accesslist(MOTC_COMMON_KEYWORD_T *common, void *pool_ref, void *dest,
                         const void *src) noexcept {
    return motc_copy_accesslist_basic(common->aux, pool_ref,
                                      &mok_field<MOIL_ACCESSLIST_T *>(dest, off(common)),
                                      mok_field<MOIL_ACCESSLIST_T *>(src, off(common)));
}

// ---------------------------------------------------------------------------------------------
// Key lists

int motc_get_new_keylist_element(MOTC_COMMON_KEYWORD_T *common_struct, void *pool_ref,
                                 MOTC_KEYLIST_T **new_keylist_ptr) noexcept {
    MOX_AUX_T *aux = common_struct->aux;
    int ret = mome_new(aux->mem, pool_ref, new_keylist_ptr);
    if (ret != 0)
        return ret;
    (*new_keylist_ptr)->keyword = common_struct->gen_keyword.keyword;
    (*new_keylist_ptr)->common_struct = common_struct;
    (*new_keylist_ptr)->next = nullptr;
    return 0;
}

int motc_find_keyword(MOX_AUX_T *aux, MOTC_KEYLIST_T *keylist, MOTC_COMMON_KEYWORD_T **found_common_ptr,
                      const char *stype_name, const char *keyword) noexcept {
    for (MOTC_KEYLIST_T *k = keylist; k != nullptr; k = k->next) {
        if (k->keyword != nullptr && strcmp(k->keyword, keyword) == 0) {
            *found_common_ptr = k->common_struct;
            return 0;
        }
    }
    *found_common_ptr = nullptr;
    aux->error->report(aux->error, "No keyword %s exists in the motc_find_keyword for stype %s\n", keyword,
                       stype_name);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Id arrays

int motc_init_id_array(MOX_AUX_T *aux, MO_ID_ARRAY_T *id_array, MOK_DATA_RECORD_T *data_record,
                       size_t offset_id, void *pool_ref) noexcept {
    int max_id = 0;
    for (MOK_DATA_RECORD_T *r = data_record; r != nullptr; r = r->next) {
        if (r->container == nullptr)
            continue;
        int id = mok_field<int>(r->container, offset_id);
        if (id > max_id)
            max_id = id;
    }
    // The array follows the largest id, so one damaged id in a file must not claim gigabytes.
    if (max_id > MOTC_MAX_ID) {
        aux->error->report(aux->error, "Id %d in the list is larger than the largest id allowed (%d)\n",
                           max_id, MOTC_MAX_ID);
        return 1;
    }
    void **array = nullptr;
    int ret = mome_new_array(aux->mem, pool_ref, &array, static_cast<size_t>(max_id) + 1);
    if (ret != 0)
        return ret;
    for (MOK_DATA_RECORD_T *r = data_record; r != nullptr; r = r->next) {
        if (r->container == nullptr)
            continue;
        int id = mok_field<int>(r->container, offset_id);
        if (id > 0)
            array[id] = r->container;
    }
    id_array->array = array;
    id_array->max_id = max_id;
    id_array->min_id = 1;
    return 0;
}

int motc_get_container_from_id_array(const MO_ID_ARRAY_T *id_array, int id, void **result_ptr) noexcept {
    *result_ptr = nullptr;
    if (id_array == nullptr || id_array->array == nullptr || id < id_array->min_id || id > id_array->max_id)
        return 1;
    *result_ptr = id_array->array[id];
    return *result_ptr == nullptr ? 1 : 0;
}

int motc_get_string_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                  mo_boolean_t *deleted_ptr, long offset_del,
                                  const char **result_ptr) noexcept {
    const char *text = nullptr;
    if (field_or<char *>(id_array, id, offset, deleted_ptr, offset_del, nullptr, &text) != 0)
        *result_ptr = MOTC_NOT_DEFINED;
    else
        *result_ptr = text != nullptr ? text : "";
    return 0;
}

int motc_get_int_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                               mo_boolean_t *deleted_ptr, long offset_del, int *result_ptr) noexcept {
    field_or<int>(id_array, id, offset, deleted_ptr, offset_del, 0, result_ptr);
    return 0;
}

int motc_get_void_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                mo_boolean_t *deleted_ptr, long offset_del, void **result_ptr) noexcept {
    return field_or<void *>(id_array, id, offset, deleted_ptr, offset_del, nullptr, result_ptr);
}

int motc_get_id_list_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                   mo_boolean_t *deleted_ptr, long offset_del,
                                   MOIL_IDLIST_T **result_ptr) noexcept {
    field_or<MOIL_IDLIST_T *>(id_array, id, offset, deleted_ptr, offset_del, nullptr, result_ptr);
    return 0;
}

int motc_get_access_list_from_id_array(const MO_ID_ARRAY_T *id_array, int id, size_t offset,
                                       mo_boolean_t *deleted_ptr, long offset_del,
                                       MOIL_ACCESSLIST_T **result_ptr) noexcept {
    field_or<MOIL_ACCESSLIST_T *>(id_array, id, offset, deleted_ptr, offset_del, nullptr, result_ptr);
    return 0;
}

int motc_find_id_from_name(const MO_ID_ARRAY_T *id_array, const char *name, size_t offset_name,
                           mo_boolean_t *deleted_ptr, long offset_del, long offset_new,
                           int *result_ptr) noexcept {
    *result_ptr = id_array != nullptr ? id_array->min_id : 1;
    if (id_array == nullptr || id_array->array == nullptr || name == nullptr)
        return 1;
    // Live records first, so that a deleted record never shadows a live one of the same name, also
    // for callers that do not ask whether the match is deleted.
    bool live_pass = offset_del >= 0;
    for (int pass = live_pass ? 0 : 1; pass < 2; pass++) {
        for (int id = id_array->min_id; id <= id_array->max_id; id++) {
            const void *c = id_array->array[id];
            if (c == nullptr)
                continue;
            if (offset_new >= 0 && mok_field<int>(c, static_cast<size_t>(offset_new)) != 0)
                continue;
            if (pass == 0 && mok_field<int>(c, static_cast<size_t>(offset_del)) != 0)
                continue;
            const char *text = mok_field<char *>(c, offset_name);
            if (text != nullptr && strcmp(text, name) == 0) {
                give_deleted(c, deleted_ptr, offset_del);
                *result_ptr = id;
                return 0;
            }
        }
    }
    return 1;
}

int motc_find_id_from_int(const MO_ID_ARRAY_T *id_array, int id, size_t offset_id, mo_boolean_t *deleted_ptr,
                          long offset_del, int *result_ptr) noexcept {
    *result_ptr = id_array != nullptr ? id_array->min_id : 1;
    if (id_array == nullptr || id_array->array == nullptr)
        return 1;
    for (int i = id_array->min_id; i <= id_array->max_id; i++) {
        const void *c = id_array->array[i];
        if (c != nullptr && mok_field<int>(c, offset_id) == id) {
            give_deleted(c, deleted_ptr, offset_del);
            *result_ptr = i;
            return 0;
        }
    }
    return 1;
}

int motc_find_id_from_sys_id_list(const MO_ID_ARRAY_T *id_array, int sys_type_id, int sys_id,
                                  size_t offset_id, mo_boolean_t *deleted_ptr, long offset_del,
                                  int *result_ptr) noexcept {
    *result_ptr = id_array != nullptr ? id_array->min_id : 1;
    if (id_array == nullptr || id_array->array == nullptr)
        return 1;
    for (int i = id_array->min_id; i <= id_array->max_id; i++) {
        const void *c = id_array->array[i];
        if (c == nullptr)
            continue;
        const MOIL_IDLIST_T *list = mok_field<MOIL_IDLIST_T *>(c, offset_id);
        if (list == nullptr || list->next == nullptr)
            continue;
        if (list->id == sys_type_id && list->next->id == sys_id) {
            give_deleted(c, deleted_ptr, offset_del);
            *result_ptr = i;
            return 0;
        }
    }
    return 1;
}
