// The list pages' common parts: the row pipeline (view access, filters and match texts, sort), the
// links of commands, the registration of the web commands of every list family, the reload answers,
// and the paging arithmetic.
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"
#include "stdlist/mowsl_web_stdlist_local.h"

#include "storage/mok_key.h"
#include "storage/motr_trail.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

using namespace motsl_local;

namespace {

int copy_row(MOX_AUX_T *aux, MOK_DATA_RECORD_T *row, MOK_DATA_RECORD_T ***tail) noexcept {
    MOK_DATA_RECORD_T *cell = nullptr;
    int ret = mome_new(aux->mem, aux->mem->req_pool_ref, &cell);
    if (ret != 0)
        return ret;
    cell->container = row->container;
    cell->access_edit = row->access_edit;
    cell->access_view = row->access_view;
    cell->next = nullptr;
    **tail = cell;
    *tail = &cell->next;
    return 0;
}

// The options of the list must be bound before rows are filtered or sorted by them.
int require_bound(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order) noexcept {
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        const MOTSL_USEROPT_REF_T *ref = o->stdlist->useropt_ref;
        if (ref->display == nullptr || ref->sort == nullptr || ref->filter == nullptr ||
            ref->match == nullptr) {
            err(stype->aux)
                ->report(err(stype->aux),
                         "data_storage not initialised in motsl_stdlist_useropt_init_data of stype %s\n",
                         stype->name);
            return 1;
        }
    }
    return 0;
}

bool viewable_shown(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->access_type->view_access_col && motsl_column_shown(stype, column);
}

} // namespace

int mowsl_list_filter_view_access(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows,
                                  MOK_DATA_RECORD_T **visible_result) noexcept {
    *visible_result = nullptr;
    MOK_DATA_RECORD_T **tail = visible_result;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        if (!r->access_view)
            continue;
        int ret = copy_row(stype->aux, r, &tail);
        if (ret != 0)
            return ret;
    }
    return 0;
}

namespace {

// The filters and match texts of the shown columns, worked out once for all rows.
struct RowFilter {
    struct Test {
        MOTSL_STDLIST_KEYWORD_T *column;
        motsl_filter_fn_t filter; // NULL: no filter selector
        const char *value;
        const char *match; // NULL: no match text
        motsl_view_text_fn_t view;
    };
    std::vector<Test> tests;

    void build(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order) {
        for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
            MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
            if (!viewable_shown(stype, c))
                continue;
            Test t = {c, nullptr, *c->useropt_ref->filter, nullptr,
                      c->view_text_fn != nullptr ? c->view_text_fn : motsl_default_view_text};
            if ((c->type_vector & MOTSL_TV_FILTER) != 0)
                t.filter = c->current_filter_fn != nullptr ? c->current_filter_fn : motsl_filter_all;
            const char *match = *c->useropt_ref->match;
            if ((c->type_vector & MOTSL_TV_MATCH) != 0 && match != nullptr && match[0] != '\0')
                t.match = match;
            if ((t.filter != nullptr && t.filter != motsl_filter_all) || t.match != nullptr)
                tests.push_back(t);
        }
    }

    // The walk stops at the first column that fails the row.
    int pass(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *r, bool *ok) const noexcept {
        *ok = true;
        for (const Test &t : tests) {
            if (t.filter != nullptr) {
                mo_boolean_t passed = FALSE;
                int ret = t.filter(stype, t.column, r->container, t.value != nullptr ? t.value : "", &passed);
                if (ret != 0)
                    return ret;
                if (!passed) {
                    *ok = false;
                    return 0;
                }
            }
            if (t.match != nullptr) {
                const char *text = "";
                int ret = t.view(stype, t.column, r->container, &text);
                if (ret != 0)
                    return ret;
                if (!motsl_match_nocase(text, t.match)) {
                    *ok = false;
                    return 0;
                }
            }
        }
        return 0;
    }
};

// The column that sorts the list and its direction (-1 ascending, 1 descending); none: NULL.
int sort_choice(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOTSL_STDLIST_KEYWORD_T **column,
                int *direction) noexcept {
    *column = nullptr;
    *direction = 0;
    for (MOTSL_STDLIST_ORDER_T *o = order; o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        if (!viewable_shown(stype, c) || (c->type_vector & MOTSL_TV_SORTABLE) == 0)
            continue;
        switch (*c->useropt_ref->sort) {
            case 0:
                break;
            case 1:
                *column = c;
                *direction = -1;
                break;
            case 2:
                *column = c;
                *direction = 1;
                break;
            default:
                err(stype->aux)->report(err(stype->aux), "Sort type not recognised\n");
                return 1;
        }
    }
    return 0;
}

int out_of_memory(MOX_AUX_T *aux) noexcept {
    err(aux)->report(err(aux), "Out of memory\n");
    return 1;
}

// The whole list sorted by a column, kept between the requests a server process serves: sorting is
// the dearest step of a long list's page, and the order of the whole list is the same for every user
// (visibility, filters and paging keep it). A kept order is used only when the chain is the same
// cells in the same file order and the order still holds under the column's comparison, equal
// values in file order: that is exactly the stable sort of the current values.
struct SortedOrder {
    MOT_TOP_STYPE_T *stype = nullptr;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int direction = 0;
    unsigned long used = 0;
    std::vector<MOK_DATA_RECORD_T *> file_order;
    std::vector<MOK_DATA_RECORD_T *> sorted;
    std::vector<uint32_t> position; // of each sorted cell in file order
};
constexpr size_t kept_orders = 8;
std::vector<SortedOrder> orders;
unsigned long order_clock = 0;

bool still_sorted(MOT_TOP_STYPE_T *stype, const SortedOrder &o, motsl_cell_sort_fn_t fn) noexcept {
    for (size_t i = 1; i < o.sorted.size(); i++) {
        int c = fn(stype, o.column, o.sorted[i]->container, o.sorted[i - 1]->container);
        if (c == o.direction || (c == 0 && o.position[i] < o.position[i - 1]))
            return false;
    }
    return true;
}

int sorted_order(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, int direction,
                 MOK_DATA_RECORD_T *all, const std::vector<MOK_DATA_RECORD_T *> **result) noexcept {
    motsl_cell_sort_fn_t fn =
        column->cell_sort_fn != nullptr ? column->cell_sort_fn : motsl_default_cell_sort;
    try {
        std::vector<MOK_DATA_RECORD_T *> chain;
        for (MOK_DATA_RECORD_T *r = all; r != nullptr; r = r->next)
            chain.push_back(r);
        SortedOrder *slot = nullptr;
        for (SortedOrder &o : orders)
            if (o.stype == stype && o.column == column && o.direction == direction)
                slot = &o;
        order_clock++;
        if (slot != nullptr && slot->file_order == chain && still_sorted(stype, *slot, fn)) {
            slot->used = order_clock;
            *result = &slot->sorted;
            return 0;
        }
        if (slot == nullptr) {
            if (orders.size() < kept_orders) {
                orders.emplace_back();
                slot = &orders.back();
            } else {
                slot = &orders[0];
                for (SortedOrder &o : orders)
                    if (o.used < slot->used)
                        slot = &o;
            }
        }
        std::vector<uint32_t> index(chain.size());
        for (uint32_t i = 0; i < index.size(); i++)
            index[i] = i;
        std::stable_sort(index.begin(), index.end(), [&](uint32_t a, uint32_t b) {
            return fn(stype, column, chain[a]->container, chain[b]->container) == direction;
        });
        slot->stype = stype;
        slot->column = column;
        slot->direction = direction;
        slot->used = order_clock;
        slot->sorted.resize(index.size());
        for (size_t i = 0; i < index.size(); i++)
            slot->sorted[i] = chain[index[i]];
        slot->position = std::move(index);
        slot->file_order = std::move(chain);
        *result = &slot->sorted;
        return 0;
    } catch (const std::bad_alloc &) {
        orders.clear();
        return out_of_memory(stype->aux);
    }
}

} // namespace

int mowsl_list_filter_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                           MOK_DATA_RECORD_T **filtered_result) noexcept {
    *filtered_result = nullptr;
    int ret = require_bound(stype, order);
    if (ret != 0)
        return ret;
    try {
        RowFilter filter;
        filter.build(stype, order);
        MOK_DATA_RECORD_T **tail = filtered_result;
        for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
            bool pass = true;
            ret = filter.pass(stype, r, &pass);
            if (ret == 0 && pass)
                ret = copy_row(stype->aux, r, &tail);
            if (ret != 0)
                return ret;
        }
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype->aux);
    }
    return 0;
}

int mowsl_list_sort_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                         MOK_DATA_RECORD_T **sorted_result) noexcept {
    *sorted_result = rows;
    int ret = require_bound(stype, order);
    MOTSL_STDLIST_KEYWORD_T *sort_column = nullptr;
    int direction = 0;
    if (ret == 0)
        ret = sort_choice(stype, order, &sort_column, &direction);
    if (ret == 0 && sort_column != nullptr)
        *sorted_result = motsl_record_sort(stype, rows, direction, sort_column);
    return ret;
}

int mowsl_local::list_rows(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *all,
                           MOK_DATA_RECORD_T ***rows, int *count) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *rows = nullptr;
    *count = 0;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int direction = 0;
    int ret = require_bound(stype, order);
    if (ret == 0)
        ret = sort_choice(stype, order, &column, &direction);
    if (ret != 0)
        return ret;
    try {
        RowFilter filter;
        filter.build(stype, order);
        std::vector<MOK_DATA_RECORD_T *> chain;
        const std::vector<MOK_DATA_RECORD_T *> *walk = &chain;
        if (column != nullptr) {
            ret = sorted_order(stype, column, direction, all, &walk);
        } else {
            for (MOK_DATA_RECORD_T *r = all; r != nullptr; r = r->next)
                chain.push_back(r);
        }
        if (ret != 0)
            return ret;
        // Visible rows through the filters, in the list's order; the cells are the list's own.
        ret = mome_new_array(aux->mem, aux->mem->req_pool_ref, rows, walk->size() + 1);
        for (size_t i = 0; ret == 0 && i < walk->size(); i++) {
            MOK_DATA_RECORD_T *r = (*walk)[i];
            bool pass = false;
            if (r->access_view)
                ret = filter.pass(stype, r, &pass);
            if (ret == 0 && pass)
                (*rows)[(*count)++] = r;
        }
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    return ret;
}

// ---------------------------------------------------------------- helpers of the list pages

namespace mowsl_local {

std::string html(const char *text, bool convert_return) {
    std::string result;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        switch (*p) {
            case '&':
                result += "&amp;";
                break;
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            case '"':
                result += "&quot;";
                break;
            case '\n':
                result += convert_return ? "<BR>" : "\n";
                break;
            default:
                result += *p;
        }
    }
    return result;
}

std::string js(const char *text) {
    return mow_web_util_escape_javascript(text != nullptr ? text : "");
}

std::string js_ident(const char *keyword) {
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char *p = keyword != nullptr ? keyword : ""; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
            result += static_cast<char>(c);
        } else {
            result += '_';
            result += hex[c >> 4];
            result += hex[c & 15];
        }
    }
    return result;
}

int out(MOOU_OUT_DEF_T *out_def, const std::string &text) noexcept {
    return text.empty() ? 0 : out_def->line_fn(out_def, "%s", text.c_str());
}

int current_user(MOX_AUX_T *aux) noexcept {
    int user_id = -1;
    if (motsl_current_user_id(aux, &user_id) != 0)
        return -1;
    return user_id;
}

bool parse_int(const char *text, int *value) noexcept {
    if (text == nullptr)
        return false;
    const char *p = text;
    bool negative = *p == '-';
    if (negative)
        p++;
    if (*p == '\0')
        return false;
    long long v = 0;
    for (; *p != '\0'; p++) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + (*p - '0');
        if (v > 2147483647LL)
            return false;
    }
    *value = static_cast<int>(negative ? -v : v);
    return true;
}

int OptionChange::begin(MOT_TOP_STYPE_T *list_stype) noexcept {
    stype = list_stype;
    MOX_AUX_T *aux = stype->aux;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    useropt = ts != nullptr ? ts->useropt_stype : nullptr;
    if (useropt == nullptr) {
        err(aux)->report(err(aux), "Stype %s keeps no list options\n", stype->name);
        return 1;
    }
    int ret = useropt->lock_file(useropt, MOLK_FILE_WRITE, nullptr);
    if (ret != 0)
        return ret;
    locked = true;
    // Read again under the lock: the record the page was built from may be older than the file.
    MOK_DATA_RECORD_T *first = nullptr;
    ret = useropt->read_data(useropt, &first);
    if (ret == 0)
        ret = motsl_load_keyword_with_useropt_data(useropt, stype, first);
    if (ret == 0)
        options = static_cast<MOTSL_USEROPT_LIST_T *>(first->container);
    return ret;
}

int OptionChange::end(bool write) noexcept {
    int ret = 0;
    if (write && locked)
        ret = useropt->write_data(useropt);
    if (locked) {
        locked = false;
        int release = useropt->lock_file(useropt, MOLK_FILE_WRITE_RELEASE, nullptr);
        if (ret == 0)
            ret = release;
    }
    return ret;
}

} // namespace mowsl_local

using namespace mowsl_local;

// ---------------------------------------------------------------- links

namespace {

// Arguments travel percent-encoded: only letters, digits and "_.-" stay as they are, so a link can
// stand in an attribute or a script string and splits into the same arguments when it comes back.
std::string url_arg(const char *text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '.' || c == '-') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 15];
        }
    }
    return result;
}

int too_long(MOX_AUX_T *aux, char *link) noexcept {
    link[0] = '\0';
    err(aux)->report(err(aux), "A link is longer than %d characters\n", MO_STRING_LEN - 1);
    return 1;
}

int append(MOX_AUX_T *aux, char *link, const std::string &text) noexcept {
    size_t len = strlen(link);
    if (len + text.size() >= MO_STRING_LEN)
        return too_long(aux, link);
    memcpy(link + len, text.c_str(), text.size() + 1);
    return 0;
}

} // namespace

int mowsl_link_append_arg(MOX_AUX_T *aux, char *link, const char *arg) noexcept {
    try {
        return append(aux, link, "&" + url_arg(arg));
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
}

int mowsl_local::link_build(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                            const char *command, const char *const *args, int arg_count,
                            std::string *result) noexcept {
    MOX_AUX_T *aux = stype->aux;
    result->clear();
    if (stype->http_call_start == nullptr) {
        err(aux)->report(err(aux), "Stype %s has no request link\n", stype->name);
        return 1;
    }
    mo_string_t start;
    int ret = stype->http_call_start(stype, display, trail, start);
    if (ret != 0)
        return ret;
    try {
        *result = start;
        if (command != nullptr)
            *result += "&" + url_arg(command);
        for (int i = 0; i < arg_count; i++)
            *result += "&" + url_arg(args[i]);
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    return 0;
}

int mowsl_call_link(MOT_TOP_STYPE_T *stype, const char *display, const char *trail, const char *command,
                    const char *const *args, int arg_count, char *link) noexcept {
    link[0] = '\0';
    std::string text;
    int ret = link_build(stype, display, trail, command, args, arg_count, &text);
    if (ret != 0)
        return ret;
    return append(stype->aux, link, text);
}

int mowsl_window_link(MOT_TOP_STYPE_T *stype, const char *command, const char *const *args, int arg_count,
                      int width, int height, char *link) noexcept {
    int ret = mowsl_call_link(stype, "blank", "N", command, args, arg_count, link);
    if (ret != 0)
        return ret;
    char tail[160];
    snprintf(tail, sizeof(tail), "\" onclick=\"NewWindow(this.href,'%s','%d','%d','yes'); return false;",
             js_ident(command).c_str(), width, height);
    return append(stype->aux, link, tail);
}

int mowsl_history_link(MOT_TOP_STYPE_T *stype, int element_id, char *link) noexcept {
    link[0] = '\0';
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    if (ts == nullptr || ts->history_stype_name == nullptr)
        return 0;
    MOT_TOP_STYPE_T *history = motsl_local::find_stype_quiet(stype, ts->history_stype_name);
    MOTSL_TYPE_STORAGE_T *hts = history != nullptr ? ts_of(history) : nullptr;
    if (hts == nullptr)
        return 0;
    memcpy(hts->index, ts->index, sizeof(hts->index));
    memcpy(hts->list, ts->list, sizeof(hts->list));
    snprintf(hts->row, sizeof(hts->row), "%d", element_id);
    // No link the user could only follow to a refusal: the history page's own access test first.
    auto *storage = static_cast<MOW_WEB_STORAGE_T *>(history->web_storage_ref);
    MOW_WEB_CMD_T *cmd = storage != nullptr ? storage->cmd_list : nullptr;
    while (cmd != nullptr && strcmp(cmd->command_name, "list") != 0)
        cmd = cmd->next;
    mo_boolean_t ok = FALSE;
    const char *message = nullptr;
    if (cmd == nullptr || cmd->access_fn == nullptr)
        return 0;
    int access = cmd->access_fn(history, cmd, nullptr, &ok, &message);
    if (access != 0 || !ok)
        return access;
    char id[MOTSL_ID_TEXT_LEN];
    snprintf(id, sizeof(id), "%d", element_id);
    const char *args[] = {id, "list"};
    // The history list's own link start adds the element it shows; this one is another element's.
    int ret = motsl_http_call_start(history, "content", "A", link);
    for (int i = 0; ret == 0 && i < 2; i++)
        ret = mowsl_link_append_arg(stype->aux, link, args[i]);
    if (ret != 0)
        link[0] = '\0';
    return ret;
}

int mowsl_edit_link(MOT_TOP_STYPE_T *stype, int element_id, char *link) noexcept {
    char id[MOTSL_ID_TEXT_LEN];
    snprintf(id, sizeof(id), "%d", element_id);
    const char *args[] = {"ID", id};
    // Edit forms open in the content frame without entering the trail, so that going back along the
    // trail never opens a form (or makes a new element) again.
    return mowsl_call_link(stype, "blank", "N", "edit_start", args, 2, link);
}

int mowsl_trail_link(MOX_AUX_T *aux, const char *trail_op, char *link, mo_boolean_t *found) noexcept {
    link[0] = '\0';
    *found = FALSE;
    int user_id = current_user(aux);
    if (user_id < 0)
        return 0;
    // Actions run in frame-less requests; the page to return to is the frame's own page.
    const char *frame = aux->web != nullptr && strcmp(aux->web->frame, "dir") == 0 ? "dir" : "content";
    mo_filename_t filename;
    int ret = motr_trail_set_filename(aux, user_id, frame, frame, filename);
    if (ret != 0)
        return ret;
    MOK_DATA_RECORD_T *trail = nullptr;
    if (aux->web != nullptr && aux->web->trail_ref != nullptr &&
        strcmp(aux->web->trail_filename, filename) == 0)
        trail = aux->web->trail_ref;
    else
        ret = motr_trail_read_file(aux, filename, &trail);
    if (ret != 0 || trail == nullptr)
        return ret;
    ret = mow_web_trail_call(aux, trail, trail_op, link);
    if (ret == 0)
        *found = TRUE;
    return ret;
}

// ---------------------------------------------------------------- registration

namespace {

struct CmdDef {
    const char *name;
    int min_args;
    int max_args;
    mow_web_call_fn_t call_fn;
    mow_web_service_fn_t service_fn;
};

// The commands every list has, in their registration order.
const CmdDef default_cmds[] = {
    {"list", 0, 0, mowsl_list_call, mowsl_list_service},
    {"picker", 0, 0, mowsl_picker_call, mowsl_picker_service},
    {"filter_select", 2, 2, mowsl_filter_select_call, mowsl_filter_select_service},
    {"page_select_page", 2, 2, mowsl_page_select_page_call, mowsl_page_select_service},
    {"page_select_amount", 2, 2, mowsl_page_select_amount_call, mowsl_page_select_service},
    {"advanced_toggle", 0, 0, mowsl_advanced_toggle_call, mowsl_advanced_toggle_service},
    {"display_toggle", 1, 1, mowsl_display_toggle_call, mowsl_display_toggle_service},
    {"display_move_left", 2, 2, mowsl_display_move_left_call, mowsl_display_move_service},
    {"display_move_right", 2, 2, mowsl_display_move_right_call, mowsl_display_move_service},
    {"sort_toggle", 1, 1, mowsl_sort_toggle_call, mowsl_sort_toggle_service},
    {"option_select", 1, 1, mowsl_option_select_call, mowsl_option_select_service},
    {"page_window", 0, 0, mowsl_page_window_call, mowsl_page_window_service},
    {"gchooser", 2, 2, mowsl_gchooser_call, mowsl_gchooser_service},
    {"color_chooser", 1, 1, mowsl_color_chooser_call, mowsl_color_chooser_service},
    {"filter_clear", 2, 2, mowsl_filter_clear_call, mowsl_filter_clear_service},
    {"blist", 0, 0, mowsl_blist_call, mowsl_blist_service},
    {"subscribe", 1, 1, mowsl_subscribe_call, mowsl_subscribe_service},
};

int register_table(MOT_TOP_STYPE_T *stype, void *pool_ref, const CmdDef *table, size_t count,
                   mow_web_access_fn_t access_fn) noexcept {
    int ret = 0;
    for (size_t i = 0; ret == 0 && i < count; i++) {
        const CmdDef &c = table[i];
        ret = mow_web_cmd_register(stype, pool_ref, c.name, c.min_args, c.max_args, c.call_fn, access_fn,
                                   c.service_fn);
        // The check-box commands offer themselves through "picker", which comes right before them.
        if (ret == 0 && strcmp(c.name, "picker") == 0)
            ret = mow_web_picker_cmd_register(stype, pool_ref, "match", FALSE, mowsl_match_build_init,
                                              mow_picker_cmd_access_all, nullptr, mowsl_match_service);
    }
    return ret;
}

MOTSL_ACCESS_DEF_T *access_def_of(MOT_TOP_STYPE_T *stype) noexcept {
    auto *def = static_cast<MOTSL_ACCESS_DEF_T *>(stype->access_ref);
    if (def == nullptr)
        err(stype->aux)
            ->report(err(stype->aux), "Stype %s has no access definition for its web commands\n",
                     stype->name);
    return def;
}

int missing_test(MOT_TOP_STYPE_T *stype, const char *set) noexcept {
    err(stype->aux)
        ->report(err(stype->aux), "The %s access of stype %s has no command test\n", set, stype->name);
    return 1;
}

enum class Member { main, deleted, templ, history };

int register_family_member(MOT_TOP_STYPE_T *stype, Member member, mow_web_button_fn_t button_fn) noexcept {
    void *pool = stype->aux->mem->session_pool_ref;
    MOTSL_ACCESS_DEF_T *def = access_def_of(stype);
    if (def == nullptr)
        return 1;
    const MOTSL_ACCESS_SET_T &set = member == Member::main      ? def->view
                                    : member == Member::deleted ? def->delete_
                                    : member == Member::templ   ? def->edit
                                                                : def->history;
    if (set.cmd_fn == nullptr)
        return missing_test(stype, "list");
    if ((member == Member::main || member == Member::deleted) && def->picker_fn == nullptr)
        return missing_test(stype, "picker");
    if (member == Member::main && def->add.cmd_fn == nullptr)
        return missing_test(stype, "add");
    int ret = mow_web_init_storage(stype, pool, button_fn);
    if (ret == 0)
        ret = mowsl_default_stdlist_web_register(stype, pool, set.cmd_fn);
    if (ret == 0 && member == Member::main)
        ret = mow_web_picker_cmd_register(stype, pool, "delete", TRUE, mowsl_delete_build_init,
                                          def->picker_fn, mowsl_delete_button, mowsl_delete_service);
    if (ret == 0 && member == Member::deleted)
        ret = mow_web_picker_cmd_register(stype, pool, "undelete", TRUE, mowsl_delete_build_init,
                                          def->picker_fn, mowsl_undelete_button, mowsl_delete_service);
    if (ret == 0 && member != Member::history)
        ret = mowsl_edit_down_register(stype, pool);
    if (ret == 0 && (member == Member::main || member == Member::deleted))
        ret = mowsl_view_register(stype, pool);
    if (ret == 0 && member == Member::main)
        ret = mowsl_new_down_register(stype, pool, def->add.cmd_fn);
    return ret;
}

} // namespace

int mowsl_default_stdlist_web_register(MOT_TOP_STYPE_T *stype, void *pool_ref,
                                       mow_web_access_fn_t access_fn) noexcept {
    return register_table(stype, pool_ref, default_cmds, sizeof(default_cmds) / sizeof(default_cmds[0]),
                          access_fn);
}

int mowsl_view_register(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept {
    return mow_web_cmd_register(stype, pool_ref, "view", 2, 2, mowsl_view_call, mowsl_view_access,
                                mowsl_view_service);
}

int motsl_applic_register_web_cmds(MOT_TOP_STYPE_T *stype) noexcept {
    return register_family_member(stype, Member::main, mowsl_button_full_with_trash);
}

int motsl_applic_register_web_cmds_sp(MOT_TOP_STYPE_T *stype, mow_web_button_fn_t button_fn) noexcept {
    return register_family_member(stype, Member::main, button_fn);
}

int motsl_applic_register_deleted_web_cmds(MOT_TOP_STYPE_T *stype) noexcept {
    return register_family_member(stype, Member::deleted, mowsl_button_go_back);
}

int motsl_applic_register_template_web_cmds(MOT_TOP_STYPE_T *stype) noexcept {
    return register_family_member(stype, Member::templ, mowsl_button_go_back);
}

int motsl_applic_register_history_web_cmds(MOT_TOP_STYPE_T *stype) noexcept {
    return register_family_member(stype, Member::history, mowsl_button_go_back);
}

int mowsl_dir_list_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn) noexcept {
    int ret = mow_web_cmd_register(stype, pool_ref, "dir_list_a", 2, 2, mowsl_dir_list_a_call, access_fn,
                                   mowsl_dir_list_service);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, pool_ref, "dir_list_d", 2, 2, mowsl_dir_list_d_call, access_fn,
                                   mowsl_dir_list_service);
    return ret;
}

// ---------------------------------------------------------------- reload answers

namespace {

int reload_head(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int ret = 0;
    if (aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/html");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<HTML><HEAD><TITLE>Reload</TITLE>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</HEAD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BODY>\n");
    if (ret == 0)
        ret = mow_web_insert_warning(aux, out_def, aux->error->warning_msg);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<script language=\"JavaScript\" type=\"text/javascript\">\n"
                                        "<!--  Hide me please!\n");
    return ret;
}

int reload_foot(MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = out_def->line_fn(out_def, "//--></script>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</BODY>\n</HTML>\n");
    return ret;
}

int reload_action(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int action) noexcept {
    switch (action) {
        case MOWSL_RELOAD_NONE:
            return 0;
        case MOWSL_RELOAD_TRAIL: {
            mo_string_t link;
            mo_boolean_t found = FALSE;
            int ret = mowsl_trail_link(stype->aux, "A", link, &found);
            if (ret != 0 || !found)
                return ret;
            return out_def->line_fn(out_def, "location =\"%s\"\n", js(link).c_str());
        }
        case MOWSL_RELOAD_OPENER:
            return out_def->line_fn(out_def, "window.opener.location.reload(); \n");
        case MOWSL_RELOAD_DIR:
            return out_def->line_fn(out_def, "top.dir.location.reload(); \n");
        case MOWSL_RELOAD_NAV:
            return out_def->line_fn(out_def, "top.nav.location.reload(); \n");
        case MOWSL_RELOAD_CONTENT:
            return out_def->line_fn(out_def, "top.content.location.reload(); \n");
        case MOWSL_RELOAD_OPENER_DIR:
            return out_def->line_fn(out_def, "window.opener.top.dir.location.reload(); \n");
        default:
            err(stype->aux)
                ->report(err(stype->aux), "No action (%d) defined for mowsl_reload_action\n", action);
            return 1;
    }
}

} // namespace

int mowsl_reload(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, mo_boolean_t close, int action1,
                 int action2, int action3) noexcept {
    const int actions[] = {action1, action2, action3};
    // An unknown action fails before anything of the page is written.
    for (int a : actions) {
        if (a < MOWSL_RELOAD_NONE || a > MOWSL_RELOAD_OPENER_DIR) {
            err(stype->aux)->report(err(stype->aux), "No action (%d) defined for mowsl_reload_action\n", a);
            return 1;
        }
    }
    int ret = reload_head(stype, out_def);
    for (int a : actions)
        if (ret == 0)
            ret = reload_action(stype, out_def, a);
    if (ret == 0 && close)
        ret = out_def->line_fn(out_def, "window.close();\n");
    if (ret == 0)
        ret = reload_foot(out_def);
    return ret;
}

int mowsl_reload_done(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    mo_string_t link;
    mo_boolean_t found = FALSE;
    int ret = mowsl_trail_link(stype->aux, "A", link, &found);
    if (ret == 0)
        ret = reload_head(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "if (window.opener && !window.opener.closed) {\n"
                                        "    window.opener.location.reload(); \n"
                                        "    window.close();\n"
                                        "} else {\n");
    if (ret == 0 && found)
        ret = out_def->line_fn(out_def, "    location =\"%s\"\n", js(link).c_str());
    if (ret == 0 && !found)
        ret = out_def->line_fn(out_def, "    history.back();\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "}\n");
    if (ret == 0)
        ret = reload_foot(out_def);
    return ret;
}

// ---------------------------------------------------------------- paging and toggles

const MOW_PAGE_AMOUNT_ARRAY_T mowsl_page_amount_array[] = {
    {10, "10 Lines per page"}, {15, "15 Lines per page"},
    {20, "20 Lines per page"}, {30, "30 Lines per page"},
    {40, "40 Lines per page"}, {100, "100 Lines per page"},
    {0, "All Lines"},          {0, nullptr},
};

void mowsl_paging(int total, int lines_option, int page_option, MOWSL_PAGING_T *paging) noexcept {
    if (total < 0)
        total = 0;
    if (lines_option < 0)
        lines_option = MOTSL_DEFAULT_PAGE_LINES;
    paging->total = total;
    if (lines_option == 0) {
        paging->lines = total;
        paging->pages = 1;
        paging->page = 1;
    } else {
        paging->lines = lines_option;
        paging->pages =
            total == 0 ? 1
                       : static_cast<int>((static_cast<long long>(total) + lines_option - 1) / lines_option);
        // Beyond the last page the last page is shown; never an empty page after the rows.
        paging->page = page_option < 1 ? 1 : page_option > paging->pages ? paging->pages : page_option;
    }
    long long first = static_cast<long long>(paging->page - 1) * paging->lines + 1;
    long long last = static_cast<long long>(paging->page) * paging->lines;
    if (last > total)
        last = total;
    if (first > last)
        first = last + 1;
    paging->first = static_cast<int>(first);
    paging->last = static_cast<int>(last);
}

int mowsl_sort_next(int current, int *next) noexcept {
    switch (current) {
        case 0:
        case 2:
            *next = 1;
            return 0;
        case 1:
            *next = 2;
            return 0;
        default:
            *next = 1;
            return 1;
    }
}
