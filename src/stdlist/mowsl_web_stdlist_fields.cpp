// The fields of the edit forms: the grid of four cells a row, the writer of each kind of field, the
// parsers that take the posted fields back into a record, the checks that applications chain on
// names, and the writer, parser and check of a column that names none.
//
// Every value goes out escaped for where it lands (element text, attribute, script string). A parser
// changes nothing when its field was not posted or holds the text the record shows, so that a form
// (or a batch client) that leaves a field alone never changes it by the way it was shown.
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "stdlist/mowsl_web_stdlist_edit_local.h"

#include "storage/mok_key.h"
#include "storage/moil_idlist.h"
#include "storage/motc_common.h"

#include <cstring>
#include <new>
#include <string>

using namespace mowsl_edit_local;

// ---------------------------------------------------------------- shared helpers

namespace {

struct Probes {
    bool done = false;
    motc_get_string_fn_t option = nullptr, id = nullptr, idlist = nullptr, idlist_direct = nullptr,
                         rev = nullptr, accesslist = nullptr;
};
Probes probes;

// The list engine's value types keep their text operations to themselves: one descriptor of each,
// made once, tells them apart.
int probe(MOX_AUX_T *aux, motsl_common_alloc_fn_t alloc, motc_get_string_fn_t *fn) noexcept {
    MOTC_COMMON_KEYWORD_T *common = nullptr;
    int ret = alloc(aux, aux->mem->session_pool_ref, &common, "PROBE", 0, nullptr);
    *fn = ret == 0 ? common->get_string_fn : nullptr;
    return ret;
}

int make_probes(MOX_AUX_T *aux) noexcept {
    if (probes.done)
        return 0;
    int ret = probe(aux, motsl_stdlist_common_alloc_option, &probes.option);
    if (ret == 0)
        ret = probe(aux, motsl_common_alloc_id, &probes.id);
    if (ret == 0)
        ret = probe(aux, motsl_common_alloc_idlist, &probes.idlist);
    if (ret == 0)
        ret = probe(aux, motsl_common_alloc_idlist_direct, &probes.idlist_direct);
    if (ret == 0)
        ret = probe(aux, motsl_common_alloc_rev, &probes.rev);
    if (ret == 0)
        ret = probe(aux, motsl_common_alloc_accesslist, &probes.accesslist);
    probes.done = ret == 0;
    return ret;
}

MOE_ERROR_T *err_of(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->aux->error;
}

int out_of_memory(MOT_TOP_STYPE_T *stype) noexcept {
    err_of(stype)->report(err_of(stype), "Out of memory\n");
    return 1;
}

// The text a record shows for the column.
int value_text(MOTSL_STDLIST_KEYWORD_T *column, void *container, const char **text) noexcept {
    *text = "";
    int ret = column->common->get_string_fn(column->common, container, text);
    if (*text == nullptr)
        *text = "";
    return ret;
}

int line(MOOU_OUT_DEF_T *out_def, const std::string &text) noexcept {
    return out(out_def, text);
}

int script_start(MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "<script language=\"javascript\" type=\"text/javascript\">\n<!--\n");
}

int script_end(MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "// -->\n</script>\n");
}

} // namespace

namespace mowsl_edit_local {

Kind value_kind(MOX_AUX_T *aux, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    motc_get_string_fn_t fn = column->common->get_string_fn;
    if (fn == motc_get_string_string)
        return Kind::string;
    if (fn == motc_get_string_multi_line)
        return Kind::multi_line;
    if (fn == motc_get_string_integer)
        return Kind::integer;
    if (fn == motc_get_string_u32bit)
        return Kind::u32;
    if (fn == motc_get_string_datetime)
        return Kind::datetime;
    if (fn == motc_get_string_user_id)
        return Kind::user_id;
    if (fn == motc_get_string_null)
        return Kind::null;
    if (make_probes(aux) != 0)
        return Kind::other;
    if (fn == probes.option)
        return Kind::option;
    if (fn == probes.id)
        return Kind::id;
    if (fn == probes.idlist)
        return Kind::idlist;
    if (fn == probes.idlist_direct)
        return Kind::idlist_direct;
    if (fn == probes.rev)
        return Kind::rev;
    if (fn == probes.accesslist)
        return Kind::accesslist;
    return Kind::other;
}

std::string js_string(const char *text) {
    std::string result;
    char escape[8];
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' || c == '&' || c < 0x20 || c == 0x7f) {
            snprintf(escape, sizeof(escape), "\\x%02X", c);
            result += escape;
        } else {
            result += static_cast<char>(c);
        }
    }
    return result;
}

std::string attr_multi(const char *text) {
    std::string escaped = html(text);
    std::string result;
    for (char c : escaped) {
        if (c == '\n')
            result += "&#10;";
        else if (c == '\r')
            result += "&#13;";
        else
            result += c;
    }
    return result;
}

const char *posted(MOW_POST_RESULTS_T *results, const char *name) noexcept {
    for (MOW_POST_RESULTS_T *r = results; r != nullptr && r->name != nullptr; r++)
        if (strcmp(r->name, name) == 0)
            return r->val != nullptr ? r->val : "";
    return nullptr;
}

void *chain_pool(MOT_TOP_STYPE_T *stype) noexcept {
    return stype->data_storage != nullptr ? stype->data_storage->sub_pool_ref : stype->aux->mem->req_pool_ref;
}

} // namespace mowsl_edit_local

// ---------------------------------------------------------------- the form grid

namespace {

int pad_row(MOOU_OUT_DEF_T *out_def, const char *cell) noexcept {
    int ret = 0;
    for (; ret == 0 && out_def->edit_td_count < MOWSL_EDIT_CELLS; out_def->edit_td_count++)
        ret = out_def->line_fn(out_def, "%s", cell);
    return ret;
}

const char rule_cell[] = "<TD COLSPAN=4><HR ALIGN=LEFT SIZE=2 NOSHADE ></TD>";

} // namespace

int mowsl_edit_start_cells(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           mo_boolean_t new_row, int cells) noexcept {
    bool rule = (column->type_vector & MOTSL_TV_ROW_OWN) != 0;
    int ret = 0;
    if (out_def->edit_td_count <= 0) {
        out_def->edit_td_count = 0;
        ret = out_def->line_fn(out_def, "<TR>\n");
    } else if (new_row || rule || out_def->edit_td_count + cells > MOWSL_EDIT_CELLS) {
        ret = pad_row(out_def, "<TD>&nbsp; </TD>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TR>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR>\n");
        out_def->edit_td_count = 0;
    }
    if (ret == 0 && rule)
        ret = out_def->line_fn(out_def, "%s</TR>\n<TR>", rule_cell);
    return ret;
}

int mowsl_edit_start_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                          mo_boolean_t new_row) noexcept {
    return mowsl_edit_start_cells(stype, out_def, column, new_row, 0);
}

int mowsl_edit_start_header(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            mo_boolean_t own_cell) noexcept {
    int ret = own_cell ? out_def->line_fn(out_def, "<TD ALIGN=LEFT>") : 0;
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<B>%s</B>", html(column->user_name).c_str());
    if (ret == 0 && column->help_string != nullptr && column->help_string[0] != '\0') {
        ret = out_def->line_fn(out_def, "&nbsp; ");
        if (ret == 0)
            ret = mow_web_insert_graphic_button(stype->aux, out_def, "icons/info.gif", column->help_string,
                                                nullptr);
    }
    if (ret == 0 && own_cell)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

int mowsl_edit_end_line(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                        int cells) noexcept {
    out_def->edit_td_count += cells;
    if ((column->type_vector & MOTSL_TV_ROW_CLOSE) == 0)
        return 0;
    int ret = pad_row(out_def, "<TD>&nbsp;</TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n<TR>%s", rule_cell);
    // The rule fills its row: the next field starts a new one.
    out_def->edit_td_count = MOWSL_EDIT_CELLS;
    return ret;
}

int mowsl_edit_terminate(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    if (out_def->edit_td_count <= 0)
        return 0;
    int ret = pad_row(out_def, "<TD>&nbsp; </TD>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n");
    out_def->edit_td_count = 0;
    return ret;
}

// ---------------------------------------------------------------- text fields

namespace {

enum class Layout { full, half, half_reset, quarter, quarter_inline };

int text_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                MOK_DATA_RECORD_T *record, Layout layout, bool passwd) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = keyword_of(column);
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret != 0)
        return ret;
    std::string value;
    try {
        // A stored password never goes back to the browser.
        value = passwd ? (text[0] != '\0' ? MOWSL_PASSWD_PLACEHOLDER : "") : text;
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    auto field = [&](int size, int max) {
        return passwd ? mow_form_passwd_field_call_insert(aux, out_def, keyword, value.c_str(), size, max, "")
                      : mow_form_text_field_call_insert(aux, out_def, keyword, value.c_str(), size, max, "");
    };
    int cells = 0;
    switch (layout) {
        case Layout::full:
            cells = 4;
            ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, cells);
            if (ret == 0)
                ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "<TD COLSPAN=3 ALIGN = LEFT>\n");
            if (ret == 0)
                ret = field(MOWSL_FULL_SIZE, MOWSL_TEXT_MAX);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</TD>\n");
            break;
        case Layout::half:
        case Layout::half_reset:
            cells = 2;
            ret = mowsl_edit_start_cells(stype, out_def, column, layout == Layout::half_reset, cells);
            if (ret == 0)
                ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT>\n");
            if (ret == 0)
                ret = field(MOWSL_HALF_SIZE, MOWSL_TEXT_MAX);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</TD>\n");
            break;
        case Layout::quarter:
        case Layout::quarter_inline:
            cells = 1;
            ret = mowsl_edit_start_cells(stype, out_def, column, FALSE, cells);
            if (ret == 0)
                ret = out_def->line_fn(out_def, layout == Layout::quarter ? "<TD ALIGN=LEFT>"
                                                                          : "<TD ALIGN=LEFT NOWRAP>");
            if (ret == 0)
                ret = mowsl_edit_start_header(stype, out_def, column, FALSE);
            if (ret == 0)
                ret = out_def->line_fn(out_def, layout == Layout::quarter ? "<BR>\n" : "&nbsp;\n");
            if (ret == 0)
                ret = field(MOWSL_QUARTER_SIZE, MOWSL_QUARTER_MAX);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</TD>\n");
            break;
    }
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, cells);
    return ret;
}

} // namespace

int mowsl_edit_start_string_full(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                 MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::full, false);
}

int mowsl_edit_start_string_passwd(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                   MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::full, true);
}

int mowsl_edit_start_string_half(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                 MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::half, false);
}

int mowsl_edit_start_string_half_reset(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                       MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::half_reset, false);
}

int mowsl_edit_start_string_quarter(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                    MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::quarter, false);
}

int mowsl_edit_start_string_quarter_inline(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                           MOTSL_STDLIST_KEYWORD_T *column,
                                           MOK_DATA_RECORD_T *record) noexcept {
    return text_writer(stype, out_def, column, record, Layout::quarter_inline, false);
}

int mowsl_edit_start_string_with_choice(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                        MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = keyword_of(column);
    // The values already in the column, among the rows the user may see.
    MOK_DATA_RECORD_T *first = nullptr, *visible = nullptr;
    MOTSL_FILTER_LIST_T *choices = nullptr;
    int ret = stype->read_data(stype, &first);
    if (ret == 0)
        ret = mowsl_list_filter_view_access(stype, first, &visible);
    if (ret == 0)
        ret = motsl_get_basic_filter_list(stype, column, visible, &choices);
    const char *text = "";
    if (ret == 0)
        ret = value_text(column, record->container, &text);
    if (ret != 0)
        return ret;
    try {
        std::string ident = js_ident(keyword);
        ret = mowsl_edit_start_cells(stype, out_def, column, FALSE, 3);
        if (ret == 0)
            ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
        if (ret == 0)
            ret = script_start(out_def);
        if (ret == 0)
            ret = out_def->line_fn(
                out_def,
                "function display%s(sel) {\n"
                "    if (sel.selectedIndex > 0)\n"
                "        sel.form.elements[\"%s\"].value = sel.options[sel.selectedIndex].text;\n"
                "}\n",
                ident.c_str(), js_string(keyword).c_str());
        if (ret == 0)
            ret = script_end(out_def);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT> Choose\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<SELECT NAME=\"sel%s\" onChange=\"display%s(this)\">",
                                   html(keyword).c_str(), ident.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "\n<OPTION>\n");
        for (MOTSL_FILTER_LIST_T *c = choices; ret == 0 && c != nullptr; c = c->next) {
            if (strcmp(c->string, MOTSL_FILTER_EMPTY) != 0)
                ret = line(out_def, "<OPTION>" + html(c->string) + "\n");
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</SELECT>\nor enter\n");
        if (ret == 0)
            ret = mow_form_text_field_call_insert(aux, out_def, keyword, text, MOWSL_HALF_SIZE,
                                                  MOWSL_TEXT_MAX, "");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD>\n");
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 3);
    return ret;
}

// ---------------------------------------------------------------- multi-line fields and hidden copies

namespace {

int text_area(MOOU_OUT_DEF_T *out_def, const char *keyword, int rows, int cols, const char *text) noexcept {
    // A line feed right after the tag is dropped by browsers, so a value that starts with an empty
    // line keeps it.
    int ret = out_def->line_fn(out_def, "<TEXTAREA NAME=\"%s\" ROWS=%d COLS=%d>\n", html(keyword).c_str(),
                               rows, cols);
    if (ret == 0)
        ret = line(out_def, html(text));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TEXTAREA>");
    return ret;
}

} // namespace

int mowsl_edit_start_multi_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, 4);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT VALIGN=TOP COLSPAN=4>");
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, FALSE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BR>\n");
    try {
        if (ret == 0)
            ret = text_area(out_def, keyword_of(column), 5, 50, text);
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 4);
    return ret;
}

int mowsl_edit_start_multi_line_small(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                      MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, 4);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT VALIGN=TOP>");
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, FALSE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD><TD  ALIGN=LEFT COLSPAN=3>");
    try {
        if (ret == 0)
            ret = text_area(out_def, keyword_of(column), 3, 40, text);
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 4);
    return ret;
}

int mowsl_edit_start_string_null(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                 MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret != 0)
        return ret;
    try {
        ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%s\" VALUE=\"",
                               html(keyword_of(column)).c_str());
        if (ret == 0)
            ret = line(out_def, attr_multi(text));
        if (ret == 0)
            ret = out_def->line_fn(out_def, "\">\n");
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    return ret;
}

// ---------------------------------------------------------------- options

namespace {

int option_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                  MOK_DATA_RECORD_T *record, bool whole_line) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const auto *table = static_cast<const MOTSL_DISPLAY_OPTIONS_T *>(column->display_ref);
    if (table == nullptr) {
        err_of(stype)->report(err_of(stype), "The option column %s has no option table\n",
                              keyword_of(column));
        return 1;
    }
    const char *current = "";
    int ret = value_text(column, record->container, &current);
    int cells = whole_line ? 4 : 2;
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, whole_line ? TRUE : FALSE, cells);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, whole_line ? "<TD ALIGN = LEFT COLSPAN=3>\n" : "<TD ALIGN = LEFT>\n");
    try {
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<SELECT NAME=\"%s\">\n", html(keyword_of(column)).c_str());
        for (const MOTSL_DISPLAY_OPTIONS_T *o = table; ret == 0 && o->number != -1; o++) {
            const char *name = o->string != nullptr ? o->string : "";
            bool chosen = strcmp(name, current) == 0;
            // An option the user may not choose is offered only while it is the value already.
            if (!chosen && o->choose_access_fn != nullptr) {
                mo_boolean_t allowed = FALSE;
                ret = o->choose_access_fn(aux, column, &allowed);
                if (ret != 0 || !allowed)
                    continue;
            }
            ret = line(out_def, std::string(chosen ? " <OPTION SELECTED>" : "<OPTION>") + html(name) + "\n");
        }
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, cells);
    return ret;
}

} // namespace

int mowsl_edit_start_option(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            MOK_DATA_RECORD_T *record) noexcept {
    return option_writer(stype, out_def, column, record, false);
}

int mowsl_edit_start_option_whole_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                       MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return option_writer(stype, out_def, column, record, true);
}

int mowsl_edit_start_option_null(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, MOTSL_STDLIST_KEYWORD_T *,
                                 MOK_DATA_RECORD_T *) noexcept {
    return 0;
}

// ---------------------------------------------------------------- ids of other lists

namespace {

const MOTSL_ARRAY_INFO_T *bound_info(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    const auto *info = static_cast<const MOTSL_ARRAY_INFO_T *>(column->display_ref);
    if (info == nullptr || info->stype == nullptr) {
        err_of(stype)->report(
            err_of(stype),
            "The stdlist->display_ref is NULL, maybe motsl_init_array_info was not called for the %s column",
            column->user_name);
        return nullptr;
    }
    return info;
}

// The names of the bound list's committed, active elements, in file order.
int bound_names(const MOTSL_ARRAY_INFO_T *info, std::vector<std::string> *names) noexcept {
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_get_datastruct(info->stype, "the names of a bound list", &data);
    if (ret != 0)
        return ret;
    try {
        for (MOK_DATA_RECORD_T *r = data->data_record; r != nullptr; r = r->next) {
            if (mok_field<int32_t>(r->container, static_cast<size_t>(info->new_offset)) != 0)
                continue;
            if (info->del_offset >= 0 &&
                mok_field<int32_t>(r->container, static_cast<size_t>(info->del_offset)) != 0)
                continue;
            const char *name = mok_field<char *>(r->container, info->offset);
            names->push_back(name != nullptr ? name : "");
        }
    } catch (const std::bad_alloc &) {
        info->stype->aux->error->report(info->stype->aux->error, "Out of memory\n");
        return 1;
    }
    return 0;
}

int id_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
              MOK_DATA_RECORD_T *record, bool reset) noexcept {
    const MOTSL_ARRAY_INFO_T *info = bound_info(stype, column);
    if (info == nullptr)
        return 1;
    const char *current = "";
    std::vector<std::string> names;
    int ret = value_text(column, record->container, &current);
    if (ret == 0)
        ret = bound_names(info, &names);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, reset ? TRUE : FALSE, 2);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    try {
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT>\n<SELECT NAME=\"%s\">\n",
                                   html(keyword_of(column)).c_str());
        if (ret == 0)
            ret =
                out_def->line_fn(out_def, "<OPTION%s>%s\n",
                                 strcmp(current, MOTC_NOT_DEFINED) == 0 ? " SELECTED" : "", MOTC_NOT_DEFINED);
        for (const std::string &name : names)
            if (ret == 0)
                ret = line(out_def, std::string(name == current ? "<OPTION SELECTED>" : "<OPTION>") +
                                        html(name.c_str()) + "\n");
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 2);
    return ret;
}

// Appends the chosen entry to the list's text field; access-list entries carry the kind before "_".
int list_add_script(MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = script_start(out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "function mo_list_add(sel, field) {\n"
                                        "    var v = sel.options[sel.selectedIndex].value;\n"
                                        "    if (v == \"\") return;\n"
                                        "    if (v.indexOf(\"User_\") == 0) v = v.substring(5);\n"
                                        "    else if (v.indexOf(\"Group_\") == 0) v = v.substring(6);\n"
                                        "    var f = sel.form.elements[field];\n"
                                        "    f.value = f.value == \"\" ? v : f.value + \", \" + v;\n"
                                        "    sel.selectedIndex = 0;\n"
                                        "}\n");
    if (ret == 0)
        ret = script_end(out_def);
    return ret;
}

} // namespace

int mowsl_edit_start_id(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                        MOK_DATA_RECORD_T *record) noexcept {
    return id_writer(stype, out_def, column, record, false);
}

int mowsl_edit_start_id_reset(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                              MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return id_writer(stype, out_def, column, record, true);
}

int mowsl_edit_start_idlist_basic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const MOTSL_ARRAY_INFO_T *info = bound_info(stype, column);
    if (info == nullptr)
        return 1;
    const char *keyword = keyword_of(column);
    const char *text = "";
    std::vector<std::string> names;
    int ret = value_text(column, record->container, &text);
    if (ret == 0)
        ret = bound_names(info, &names);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, 4);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT COLSPAN=3>\n");
    if (ret == 0)
        ret = list_add_script(out_def);
    if (ret == 0)
        ret = mow_form_text_field_call_insert(stype->aux, out_def, keyword, text, MOWSL_FULL_SIZE,
                                              MOWSL_LIST_MAX, "");
    try {
        if (ret == 0)
            ret = line(out_def, "<SELECT NAME=\"sel" + html(keyword) + "\" onChange=\"mo_list_add(this, '" +
                                    js_string(keyword) + "')\">\n<OPTION VALUE=\"\">Add\n");
        for (const std::string &name : names)
            if (ret == 0)
                ret = line(out_def,
                           "<OPTION VALUE=\"" + html(name.c_str()) + "\">" + html(name.c_str()) + "\n");
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 4);
    return ret;
}

// ---------------------------------------------------------------- access lists

namespace {

enum class Parent { box, none, always };

int access_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                  MOK_DATA_RECORD_T *record, Parent parent) noexcept {
    const auto *info = static_cast<const MOTSL_ACCESS_ARRAY_INFO_T *>(column->display_ref);
    if (info == nullptr || info->user == nullptr || info->group == nullptr || info->user->stype == nullptr ||
        info->group->stype == nullptr) {
        err_of(stype)->report(
            err_of(stype),
            "The stdlist->display_ref is NULL, maybe motsl_init_access_array_info was not called "
            "for the %s column",
            column->user_name);
        return 1;
    }
    const char *keyword = keyword_of(column);
    const char *text = "";
    std::vector<std::string> users, groups;
    int ret = value_text(column, record->container, &text);
    if (ret == 0)
        ret = bound_names(info->user, &users);
    if (ret == 0)
        ret = bound_names(info->group, &groups);
    if (ret != 0)
        return ret;
    const auto *list =
        mok_field<MOIL_ACCESSLIST_T *>(record->container, column->common->gen_keyword.struct_offset);
    bool use_parent = list == nullptr || list->use_parent;
    ret = mowsl_edit_start_cells(stype, out_def, column, TRUE, 4);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT COLSPAN=3>\n");
    if (ret == 0)
        ret = list_add_script(out_def);
    try {
        std::string name = html(keyword);
        std::string call = "mo_list_add(this, '" + js_string(keyword) + "')";
        if (ret == 0)
            ret = line(out_def, "<SELECT NAME=\"usr" + name + "\" onChange=\"" + call +
                                    "\">\n<OPTION VALUE=\"\">Add Users to List\n");
        for (const std::string &u : users)
            if (ret == 0)
                ret =
                    line(out_def, "<OPTION VALUE=\"User_" + html(u.c_str()) + "\">" + html(u.c_str()) + "\n");
        if (ret == 0)
            ret = line(out_def, "</SELECT>\n<SELECT NAME=\"grp" + name + "\" onChange=\"" + call +
                                    "\">\n<OPTION VALUE=\"\">Add Groups to List\n");
        for (const std::string &g : groups) {
            // Groups stand in the text with their mark.
            std::string token = !g.empty() && g[0] == '^' ? g : "^" + g;
            if (ret == 0)
                ret = line(out_def,
                           "<OPTION VALUE=\"Group_" + html(token.c_str()) + "\">" + html(g.c_str()) + "\n");
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</SELECT>\n<B>--></B>\n");
        if (ret == 0)
            ret = mow_form_text_field_call_insert(stype->aux, out_def, keyword, text, MOWSL_FULL_SIZE,
                                                  MOWSL_LIST_MAX, "");
        if (ret == 0 && parent == Parent::box) {
            ret = out_def->line_fn(out_def, "<INPUT TYPE=CHECKBOX NAME=\"%sPARENT\" VALUE=\"ON\" %s >",
                                   name.c_str(), use_parent ? "CHECKED" : "");
            if (ret == 0)
                ret = out_def->line_fn(out_def, " Parent List ");
            // An unticked box posts nothing: the marker says that the box was there.
            if (ret == 0)
                ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%sPARENTBOX\" VALUE=\"ON\">\n",
                                       name.c_str());
        }
        if (ret == 0 && parent == Parent::always)
            ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN NAME=\"%sPARENT\" VALUE=\"ON\">\n",
                                   name.c_str());
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 4);
    return ret;
}

} // namespace

int mowsl_edit_start_accesslist(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return access_writer(stype, out_def, column, record, Parent::box);
}

int mowsl_edit_start_accesslist_no_parent(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                          MOTSL_STDLIST_KEYWORD_T *column,
                                          MOK_DATA_RECORD_T *record) noexcept {
    return access_writer(stype, out_def, column, record, Parent::none);
}

int mowsl_edit_start_accesslist_always_parent(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                              MOTSL_STDLIST_KEYWORD_T *column,
                                              MOK_DATA_RECORD_T *record) noexcept {
    return access_writer(stype, out_def, column, record, Parent::always);
}

// ---------------------------------------------------------------- choosers, shown values, markers

namespace {

// The sample image, the hidden field the chooser fills, and the button that opens the chooser.
int chooser_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   const char *value, const char *image, const char *command, const char *kind,
                   const char *alt_text) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = keyword_of(column);
    const char *args[] = {keyword, kind};
    mo_string_t link;
    int ret = mowsl_window_link(stype, command, args, kind != nullptr ? 2 : 1, MOWSL_CHOOSER_WINDOW_W,
                                MOWSL_CHOOSER_WINDOW_H, link);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, FALSE, 2);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    try {
        if (ret == 0)
            ret = line(out_def, "<TD ALIGN = LEFT>\n<IMG NAME=" + html(keyword) + MOWSL_IMAGE_SUFFIX +
                                    " BORDER=0 SRC=\"" + html(aux->setup->httpd_image_loc) + "/" +
                                    html(image) + "\" ALT=\"\">");
        if (ret == 0)
            ret = line(out_def,
                       "<INPUT TYPE=HIDDEN NAME=\"" + html(keyword) + "\" VALUE=\"" + html(value) + "\">\n");
    } catch (const std::bad_alloc &) {
        ret = out_of_memory(stype);
    }
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/choose.gif", alt_text, link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 2);
    return ret;
}

int graphic_writer(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                   MOK_DATA_RECORD_T *record, const char *kind) noexcept {
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret != 0)
        return ret;
    const char *image = text[0] != '\0' ? text : "system_file_types/icons/unknown.gif";
    return chooser_writer(stype, out_def, column, text, image, "gchooser", kind, "Choose the graphic icon");
}

} // namespace

int mowsl_edit_start_graphic_folder(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                    MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return graphic_writer(stype, out_def, column, record, "1");
}

int mowsl_edit_start_graphic_icon(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                                  MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    return graphic_writer(stype, out_def, column, record, "2");
}

int mowsl_edit_start_color(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           MOK_DATA_RECORD_T *record) noexcept {
    int index = mok_field<int32_t>(record->container, column->common->gen_keyword.struct_offset);
    const MOTSL_COLORS_T *entry = &motsl_colors[0];
    for (const MOTSL_COLORS_T *c = motsl_colors; c->index != -1; c++)
        if (c->index == index)
            entry = c;
    char value[MOTSL_ID_TEXT_LEN];
    snprintf(value, sizeof(value), "%d", entry->index);
    return chooser_writer(stype, out_def, column, value, entry->color_graphic, "color_chooser", nullptr,
                          "Choose the color");
}

int mowsl_edit_start_show_only(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                               MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = value_text(column, record->container, &text);
    if (ret == 0)
        ret = mowsl_edit_start_cells(stype, out_def, column, FALSE, 2);
    if (ret == 0)
        ret = mowsl_edit_start_header(stype, out_def, column, TRUE);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN = LEFT>");
    if (ret == 0)
        ret = mow_insert_protected_string_display(stype->aux, out_def, text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0)
        ret = mowsl_edit_end_line(stype, out_def, column, 2);
    return ret;
}

int mowsl_bedit_default(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                        MOK_DATA_RECORD_T *) noexcept {
    return out_def->line_fn(out_def, "<!-- BEDIT %s -->\n", html(keyword_of(column)).c_str());
}

// ---------------------------------------------------------------- parsers

namespace {

// The most characters the column's field takes.
size_t field_max(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, Kind kind) noexcept {
    motsl_cell_fn_t writer = mowsl_cell_edit_start_of(stype, column);
    if (writer == mowsl_edit_start_string_full || writer == mowsl_edit_start_string_half ||
        writer == mowsl_edit_start_string_half_reset || writer == mowsl_edit_start_string_passwd ||
        writer == mowsl_edit_start_string_with_choice)
        return MOWSL_TEXT_MAX;
    if (writer == mowsl_edit_start_string_quarter || writer == mowsl_edit_start_string_quarter_inline)
        return MOWSL_QUARTER_MAX;
    if (writer == mowsl_edit_start_idlist_basic || writer == mowsl_edit_start_accesslist ||
        writer == mowsl_edit_start_accesslist_no_parent ||
        writer == mowsl_edit_start_accesslist_always_parent)
        return MOWSL_LIST_MAX;
    if (kind == Kind::multi_line)
        return MOWSL_MULTI_LINE_MAX;
    if (kind == Kind::idlist || kind == Kind::accesslist)
        return MOWSL_LIST_MAX;
    return MOWSL_HIDDEN_MAX;
}

// A whole decimal number within the range of the kind.
bool number_ok(const std::string &text, Kind kind) noexcept {
    size_t i = 0;
    bool negative = !text.empty() && (text[0] == '-' || text[0] == '+');
    if (negative)
        i = 1;
    if (i >= text.size() || text.size() - i > 10)
        return false;
    long long v = 0;
    for (; i < text.size(); i++) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        v = -v;
    return kind == Kind::u32 ? v >= 0 && v <= 4294967295LL : v >= INT32_MIN && v <= INT32_MAX;
}

bool color_index_ok(const std::string &text) noexcept {
    for (const MOTSL_COLORS_T *c = motsl_colors; c->index != -1; c++)
        if (text == std::to_string(c->index))
            return true;
    return false;
}

// The posted text of a one-line or multi-line field, checked: line breaks (kept only in multi-line
// texts, as line feeds) and the field size. `*changed` is false when it is the text the record shows.
int checked_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                 const char *posted_text, Kind kind, std::string *value, bool *changed) noexcept {
    *changed = false;
    try {
        value->clear();
        for (const char *p = posted_text; *p != '\0'; p++) {
            if (*p == '\r') {
                if (p[1] != '\n')
                    *value += '\n';
            } else {
                *value += *p;
            }
        }
        const char *current = "";
        int ret = value_text(column, container, &current);
        if (ret != 0)
            return ret;
        if (*value == current)
            return 0;
        if (kind != Kind::multi_line && value->find('\n') != std::string::npos) {
            err_of(stype)->report(err_of(stype),
                                  "The %s may not contain line breaks, go back and remove them.\n",
                                  column->user_name);
            return 1;
        }
        size_t max = field_max(stype, column, kind);
        if (value->size() > max) {
            err_of(stype)->report(err_of(stype),
                                  "The %s is longer than %zu characters, go back and shorten it.\n",
                                  column->user_name, max);
            return 1;
        }
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    *changed = true;
    return 0;
}

int update(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
           const char *text) noexcept {
    MOTC_COMMON_KEYWORD_T *common = column->common;
    return common->update_string_fn(common, chain_pool(stype), container, text);
}

} // namespace

int mowsl_edit_end_string(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          MOW_POST_RESULTS_T *results, void *container) noexcept {
    const char *text = posted(results, keyword_of(column));
    if (text == nullptr)
        return 0;
    Kind kind = value_kind(stype->aux, column);
    // Dates and user ids have no text form to take.
    if (kind == Kind::datetime || kind == Kind::user_id || kind == Kind::null)
        return 0;
    motsl_cell_fn_t writer = mowsl_cell_edit_start_of(stype, column);
    if (writer == mowsl_edit_start_string_passwd && strcmp(text, MOWSL_PASSWD_PLACEHOLDER) == 0)
        return 0;
    std::string value;
    bool changed = false;
    int ret = checked_text(stype, column, container, text, kind, &value, &changed);
    if (ret != 0 || !changed)
        return ret;
    if ((kind == Kind::integer || kind == Kind::u32) && !number_ok(value, kind)) {
        err_of(stype)->report(err_of(stype), "The %s (%s) is not a number, go back and enter one.\n",
                              column->user_name, value.c_str());
        return 1;
    }
    if (writer == mowsl_edit_start_color && !color_index_ok(value)) {
        err_of(stype)->report(err_of(stype), "The %s (%s) is not one of the colours\n", column->user_name,
                              value.c_str());
        return 1;
    }
    return update(stype, column, container, value.c_str());
}

int mowsl_edit_end_idlist(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          MOW_POST_RESULTS_T *results, void *container) noexcept {
    const char *text = posted(results, keyword_of(column));
    if (text == nullptr)
        return 0;
    std::string value;
    bool changed = false;
    int ret = checked_text(stype, column, container, text, Kind::idlist, &value, &changed);
    if (ret != 0 || !changed)
        return ret;
    return update(stype, column, container, value.c_str());
}

int mowsl_edit_end_option(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          MOW_POST_RESULTS_T *results, void *container) noexcept {
    const char *text = posted(results, keyword_of(column));
    return text != nullptr ? update(stype, column, container, text) : 0;
}

int mowsl_edit_end_id(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,
                      void *container) noexcept {
    const char *text = posted(results, keyword_of(column));
    return text != nullptr ? update(stype, column, container, text) : 0;
}

int mowsl_edit_end_accesslist(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                              MOW_POST_RESULTS_T *results, void *container) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *keyword = keyword_of(column);
    std::string parent_name, box_name;
    try {
        parent_name = std::string(keyword) + "PARENT";
        box_name = std::string(keyword) + "PARENTBOX";
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    const char *text = posted(results, keyword);
    const char *parent = posted(results, parent_name.c_str());
    const char *box = posted(results, box_name.c_str());
    int ret = 0;
    if (text != nullptr) {
        std::string value;
        bool changed = false;
        ret = checked_text(stype, column, container, text, Kind::accesslist, &value, &changed);
        if (ret == 0 && changed)
            ret = update(stype, column, container, value.c_str());
    }
    // The parent part changes only where the form showed it (a box, or a field that always says ON).
    if (ret == 0 && (box != nullptr || parent != nullptr)) {
        MOIL_ACCESSLIST_T *&slot =
            mok_field<MOIL_ACCESSLIST_T *>(container, column->common->gen_keyword.struct_offset);
        if (slot == nullptr)
            ret = moil_new_accesslist(aux->interm, chain_pool(stype), &slot);
        if (ret == 0)
            slot->use_parent = parent != nullptr && strcmp(parent, "ON") == 0 ? TRUE : FALSE;
    }
    return ret;
}

int mowsl_edit_end_null(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, MOW_POST_RESULTS_T *, void *) noexcept {
    return 0;
}

// ---------------------------------------------------------------- checks

const char mowsl_filename_chars[] = "%?<>#\"|^~'\\&+`*:/ ";
const char mowsl_folder_chars[] = "%?<>#\"|^~'\\&+`*:/";
const char mowsl_username_chars[] = "\\/[]:|<>\"+=;,?*^ ";

namespace {

int chars_check(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                const char *forbidden) noexcept {
    const char *text = "";
    int ret = value_text(column, container, &text);
    if (ret != 0 || mow_web_util_string_ok(text, forbidden))
        return ret;
    err_of(stype)->report(err_of(stype), "The %s (%s) is not allowed to contain the characters %s\n",
                          column->user_name, text, mow_web_util_expand_space(forbidden));
    return 1;
}

} // namespace

int mowsl_edit_check_null(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, void *, void *) noexcept {
    return 0;
}

int mowsl_check_filename_chars(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                               void *new_container) noexcept {
    return chars_check(stype, column, new_container, mowsl_filename_chars);
}

int mowsl_check_folder_chars(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                             void *new_container) noexcept {
    return chars_check(stype, column, new_container, mowsl_folder_chars);
}

int mowsl_check_username_chars(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                               void *new_container) noexcept {
    return chars_check(stype, column, new_container, mowsl_username_chars);
}

int mowsl_check_no_comma(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                         void *new_container) noexcept {
    const char *text = "";
    int ret = value_text(column, new_container, &text);
    if (ret != 0 || strchr(text, ',') == nullptr)
        return ret;
    err_of(stype)->report(err_of(stype), "The %s (%s) is not allowed to contain the comma character.\n",
                          column->user_name, text);
    return 1;
}

int mowsl_check_string_alpha_num_space(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *,
                                       void *new_container) noexcept {
    const char *text = "";
    int ret = value_text(column, new_container, &text);
    if (ret != 0)
        return ret;
    for (const char *p = text; *p != '\0'; p++) {
        char c = *p;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '-' || c == ' ')
            continue;
        err_of(stype)->report(
            err_of(stype),
            "The %s (%s) contains characters other than alpha-numerics, underscores and spaces.\n",
            column->user_name, text);
        return 1;
    }
    return 0;
}

int mowsl_check_unique(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *, void *new_container,
                       const char *keyword) noexcept {
    MOTSL_STDLIST_KEYWORD_T *checked = nullptr;
    MOTSL_DATASTRUCT_T *data = nullptr;
    int ret = motsl_find_column(stype, keyword, &checked);
    if (ret == 0)
        ret = motsl_get_datastruct(stype, "mowsl_check_unique", &data);
    if (ret != 0)
        return ret;
    const auto *element = static_cast<const MOTSL_ELEMENT_T *>(new_container);
    const char *text = "";
    std::string value;
    try {
        // The text may live in a buffer that the next conversion reuses.
        ret = value_text(checked, new_container, &text);
        value = text;
        for (MOK_DATA_RECORD_T *r = data->data_record; ret == 0 && r != nullptr; r = r->next) {
            const auto *other = static_cast<const MOTSL_ELEMENT_T *>(r->container);
            if (other->id == element->id || other->new_ != 0 || other->delete_status != 0)
                continue;
            ret = value_text(checked, r->container, &text);
            if (ret == 0 && value == text) {
                err_of(stype)->report(
                    err_of(stype),
                    "There is already another active %s called %s, go back and try another %s.\n",
                    checked->user_name, value.c_str(), checked->user_name);
                return 1;
            }
        }
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype);
    }
    return ret;
}

// ---------------------------------------------------------------- what a column uses

motsl_cell_fn_t mowsl_cell_edit_start_of(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (column->cell_edit_start_fn != nullptr)
        return column->cell_edit_start_fn;
    switch (value_kind(stype->aux, column)) {
        case Kind::string:
        case Kind::integer:
        case Kind::u32:
        case Kind::idlist_direct:
            return mowsl_edit_start_string_half;
        case Kind::multi_line:
            return mowsl_edit_start_multi_line;
        case Kind::rev:
            return mowsl_edit_start_string_quarter;
        case Kind::option:
            return mowsl_edit_start_option;
        case Kind::id:
            return mowsl_edit_start_id;
        case Kind::idlist:
            return mowsl_edit_start_idlist_basic;
        case Kind::accesslist:
            return mowsl_edit_start_accesslist;
        case Kind::datetime:
        case Kind::user_id:
            return mowsl_edit_start_show_only;
        case Kind::null:
        case Kind::other:
            break;
    }
    return mowsl_edit_start_option_null;
}

motsl_cell_edit_end_fn_t mowsl_cell_edit_end_of(MOT_TOP_STYPE_T *stype,
                                                MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (column->cell_edit_end_fn != nullptr)
        return column->cell_edit_end_fn;
    motsl_cell_fn_t writer = mowsl_cell_edit_start_of(stype, column);
    if (writer == mowsl_edit_start_show_only || writer == mowsl_edit_start_option_null)
        return mowsl_edit_end_null;
    switch (value_kind(stype->aux, column)) {
        case Kind::option:
            return mowsl_edit_end_option;
        case Kind::id:
            return mowsl_edit_end_id;
        case Kind::idlist:
            return mowsl_edit_end_idlist;
        case Kind::accesslist:
            return mowsl_edit_end_accesslist;
        case Kind::datetime:
        case Kind::user_id:
        case Kind::null:
        case Kind::other:
            return mowsl_edit_end_null;
        default:
            return mowsl_edit_end_string;
    }
}

motsl_cell_edit_check_fn_t mowsl_cell_edit_check_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->cell_edit_check_fn != nullptr ? column->cell_edit_check_fn : mowsl_edit_check_null;
}

motsl_cell_fn_t mowsl_cell_bedit_start_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->cell_bedit_start_fn != nullptr ? column->cell_bedit_start_fn : mowsl_bedit_default;
}

int mowsl_column_editable(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                          mo_boolean_t *editable) noexcept {
    *editable = column->access_type->edit_access_col ? TRUE : FALSE;
    if (!*editable || strcmp(keyword_of(column), "DEL") != 0)
        return 0;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = motsl_get_current_access_def(stype, &def);
    if (ret == 0)
        ret = motsl_check_access_set(stype, &def->delete_, editable);
    if (ret != 0)
        *editable = FALSE;
    return ret;
}

mo_boolean_t mowsl_row_editable(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *record) noexcept {
    if (record == nullptr || !record->access_edit)
        return FALSE;
    const auto *element = static_cast<const MOTSL_ELEMENT_T *>(record->container);
    // A row being created belongs to its creator alone, and is hidden from every list.
    if (element->new_ != 0) {
        int user_id = current_user(stype->aux);
        return user_id > 0 && element->new_ == user_id ? TRUE : FALSE;
    }
    return record->access_view ? TRUE : FALSE;
}
