// Form field checks: the previous value and the warning of each field of a form, and the table cell
// that shows the warning above the field.
#include "web/moch_check.h"
#include "web/mow_web.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/mome_mem_cmn.h"
#include "entry/mox_aux.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

static MOCH_CHECK_LIST_T *moch_find(MOCH_CHECK_T *check, const char *key) noexcept {
    for (MOCH_CHECK_LIST_T *entry = check->check_list; entry != nullptr; entry = entry->next) {
        if (strcmp(entry->key, key) == 0)
            return entry;
    }
    return nullptr;
}

int moco_set_check(MOCH_CHECK_T *check, const char *key, const char *previous, const char *warning) noexcept {
    MOME_MEM_T *mem = check->aux->mem;
    void *pool = check->pool_ref;
    MOCH_CHECK_LIST_T *entry = moch_find(check, key);
    int ret = 0;
    if (entry == nullptr) {
        ret = mome_new(mem, pool, &entry);
        if (ret == 0)
            ret = mem->store_string(mem, pool, &entry->key, key);
        if (ret == 0 && previous != nullptr)
            ret = mem->store_string(mem, pool, &entry->previous, previous);
        if (ret == 0 && warning != nullptr)
            ret = mem->store_string(mem, pool, &entry->warning, warning);
        if (ret != 0)
            return ret;
        entry->next = check->check_list;
        check->check_list = entry;
        return 0;
    }
    if (previous != nullptr)
        ret = mem->restore_string(mem, pool, &entry->previous, previous);
    if (ret == 0 && warning != nullptr)
        ret = mem->restore_string(mem, pool, &entry->warning, warning);
    return ret;
}

static int moch_set_previous(MOCH_CHECK_T *check, const char *key, const char *previous) noexcept {
    return moco_set_check(check, key, previous, nullptr);
}

static int moch_set_warning(MOCH_CHECK_T *check, const char *key, const char *format, ...) noexcept {
    mo_string_t text;
    va_list ap;
    va_start(ap, format);
    if (vsnprintf(text, sizeof(text), format, ap) < 0)
        text[0] = '\0';
    va_end(ap);
    return moco_set_check(check, key, nullptr, text);
}

static int moch_get_check(MOCH_CHECK_T *check, const char *key, const char **previous,
                          const char **warning) noexcept {
    MOCH_CHECK_LIST_T *entry = moch_find(check, key);
    *previous = entry != nullptr ? entry->previous : nullptr;
    *warning = entry != nullptr ? entry->warning : nullptr;
    return 0;
}

static int moch_get_previous(MOCH_CHECK_T *check, const char *key, const char **previous) noexcept {
    MOCH_CHECK_LIST_T *entry = moch_find(check, key);
    *previous = entry != nullptr && entry->previous != nullptr ? entry->previous : "";
    return 0;
}

// Warnings often repeat what the user typed (a user name), so both copies go out as protected text;
// the escaped ">" also keeps the text from closing the comment early.
static int moch_insert_check_cell(MOCH_CHECK_T *check, MOOU_OUT_DEF_T *out_def, const char *key) noexcept {
    MOCH_CHECK_LIST_T *entry = moch_find(check, key);
    if (entry == nullptr || entry->warning == nullptr || entry->warning[0] == '\0')
        return out_def->line_fn(out_def, "<TD>");
    MOX_AUX_T *aux = check->aux;
    int ret = out_def->line_fn(out_def, "<TD BGCOLOR=\"%s\">", MOW_WARNING_COLOR);
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, entry->warning);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BR>");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<!-- \nError: ");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, entry->warning);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\n --> \n");
    return ret;
}

int moch_check_construct(MOCH_CHECK_T **check_ptr, void *pool_ref, MOX_AUX_T *aux) noexcept {
    int ret = mome_new(aux->mem, pool_ref, check_ptr);
    if (ret != 0)
        return ret;
    MOCH_CHECK_T *check = *check_ptr;
    check->insert_check_cell = moch_insert_check_cell;
    check->get_previous = moch_get_previous;
    check->get_check = moch_get_check;
    check->set_warning = moch_set_warning;
    check->set_previous = moch_set_previous;
    check->check_list = nullptr;
    check->pool_ref = pool_ref;
    check->aux = aux;
    return 0;
}
