// The pages that show a list: the list page with its title bar, page navigation, column headings and
// rows; the cells of lists and element pages; the page of one element; the button bars; and the batch
// listing that tools read. Every text from the data goes out escaped for where it lands.
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_local.h"

#include "daemon/molk_lock.h"
#include "storage/mok_key.h"
#include "storage/moil_idlist.h"

#include <cstring>
#include <new>
#include <string>
#include <strings.h>

using namespace mowsl_local;

// ---------------------------------------------------------------- reading

int mowsl_list_read(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept {
    *first = nullptr;
    int ret = stype->read_data(stype, first);
    if (ret == 0 && stype->init_data != nullptr)
        ret = stype->init_data(stype, *first);
    return ret;
}

int mowsl_release_element_locks(MOT_TOP_STYPE_T *stype) noexcept {
    if (stype->lock_element == nullptr || stype->filename == nullptr || stype->aux->req == nullptr)
        return 0;
    return stype->lock_element(stype, MOLK_ELEMENT_RELEASE_ALL, nullptr, nullptr);
}

mo_boolean_t mowsl_column_listed(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->access_type->view_access_col && column->access_type->tmp_access_col ? TRUE : FALSE;
}

int mowsl_column_arg(MOT_TOP_STYPE_T *stype, const char *keyword, MOTSL_STDLIST_KEYWORD_T **column) noexcept {
    return motsl_find_column(stype, keyword, column);
}

int mowsl_viewable_column_arg(MOT_TOP_STYPE_T *stype, const char *keyword,
                              MOTSL_STDLIST_KEYWORD_T **column) noexcept {
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = motsl_find_column(stype, keyword, column);
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret == 0 && !(*column)->access_type->view_access_col) {
        err(stype->aux)
            ->report(err(stype->aux), "The column %s of %s is not one you may see\n", keyword, stype->name);
        ret = 1;
    }
    return ret;
}

int mowsl_list_prepare(MOT_TOP_STYPE_T *stype, MOWSL_LIST_STATE_T *state) noexcept {
    *state = MOWSL_LIST_STATE_T{};
    int ret = mowsl_list_read(stype, &state->all);
    if (ret == 0)
        ret = motsl_stdlist_get_order(stype, &state->order);
    if (ret == 0)
        ret = mowsl_picker_cmd_init(stype);
    if (ret != 0)
        return ret;
    // The flags live in the shared column set: every request sets them afresh before use.
    state->table_columns = 1;
    for (MOTSL_STDLIST_ORDER_T *o = state->order; o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        c->access_type->tmp_access_col = motsl_column_shown(stype, c);
        if (mowsl_column_listed(c))
            state->table_columns++;
    }
    ret = motsl_set_filter_to_useropt(stype, state->order);
    if (ret == 0)
        ret = list_rows(stype, state->order, state->all, &state->rows, &state->total);
    return ret;
}

namespace {

int not_found(MOT_TOP_STYPE_T *stype, const char *value) noexcept {
    err(stype->aux)->report(err(stype->aux), "Can't find ID number %s in %s records\n", value, stype->name);
    return 1;
}

} // namespace

int mowsl_find_id_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows, const char *keyword,
                         const char *value, MOK_DATA_RECORD_T **record_result) noexcept {
    *record_result = nullptr;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = motsl_find_column(stype, keyword, &column);
    if (ret != 0)
        return ret;
    if (value == nullptr || value[0] == '\0')
        return not_found(stype, "");
    MOTC_COMMON_KEYWORD_T *common = column->common;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        const char *text = "";
        ret = common->get_string_fn(common, r->container, &text);
        if (ret != 0)
            return ret;
        if (text != nullptr && strcmp(text, value) == 0) {
            *record_result = r;
            return 0;
        }
    }
    return not_found(stype, value);
}

int mowsl_find_integer_id_record(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows, const char *keyword,
                                 int value, MOK_DATA_RECORD_T **record_result) noexcept {
    *record_result = nullptr;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = motsl_find_column(stype, keyword, &column);
    if (ret != 0)
        return ret;
    size_t offset = column->common->gen_keyword.struct_offset;
    for (MOK_DATA_RECORD_T *r = rows; r != nullptr; r = r->next) {
        if (mok_field<int32_t>(r->container, offset) == value) {
            *record_result = r;
            return 0;
        }
    }
    err(stype->aux)->report(err(stype->aux), "Can't find ID number %d in %s records\n", value, stype->name);
    return 1;
}

// ---------------------------------------------------------------- cell helpers

namespace {

bool is_option_column(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->display_ref != nullptr && column->default_filter_fn == motsl_filter_option;
}

bool is_multi_line_column(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->common->gen_keyword.read_fn == mok_read_multi_line;
}

bool is_edit_column(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return strcmp(keyword_of(column), "EDIT") == 0;
}

int element_id(MOK_DATA_RECORD_T *record) noexcept {
    return static_cast<MOTSL_ELEMENT_T *>(record->container)->id;
}

// The option entry of a record's value; the table's default (first) entry for an unknown number,
// with a note. NULL when there is neither.
const MOTSL_DISPLAY_OPTIONS_T *option_of(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                         MOK_DATA_RECORD_T *record) noexcept {
    const auto *table = static_cast<const MOTSL_DISPLAY_OPTIONS_T *>(column->display_ref);
    if (table == nullptr)
        return nullptr;
    int number = mok_field<int32_t>(record->container, column->common->gen_keyword.struct_offset);
    const MOTSL_DISPLAY_OPTIONS_T *option = motsl_find_option(table, number);
    if (option != nullptr)
        return option;
    err(stype->aux)
        ->report_note(err(stype->aux),
                      "Option number %d not recognised for keyword %s (mowsl_list_normal_option_basic)\n",
                      number, keyword_of(column));
    return table[0].number != -1 ? &table[0] : nullptr;
}

const char *color_of(int index) noexcept {
    for (const MOTSL_COLORS_T *c = motsl_colors; c->index != -1; c++)
        if (c->index == index)
            return c->normal_color;
    return nullptr;
}

const MOTSL_COLORS_T *color_entry(int index) noexcept {
    for (const MOTSL_COLORS_T *c = motsl_colors; c->index != -1; c++)
        if (c->index == index)
            return c;
    return nullptr;
}

// "<TD ALIGN=x> text </TD>\n" with the text as display text.
int text_cell(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *align, const char *prefix,
              const char *text) noexcept {
    int ret = out_def->line_fn(out_def, "<TD ALIGN=%s> ", align);
    if (ret == 0 && prefix != nullptr && text[0] != '\0')
        ret = mow_insert_protected_string_basic(aux, out_def, TRUE, prefix);
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, " </TD>\n");
    return ret;
}

int colored_cell(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *color, const char *text) noexcept {
    if (color == nullptr || color[0] == '\0')
        return text_cell(aux, out_def, "LEFT", nullptr, text);
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT BGCOLOR=\"%s\"> ", html(color).c_str());
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, " </TD>\n");
    return ret;
}

int view_heading(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return out_def->line_fn(out_def, "<TD ALIGN=LEFT><B> %s </B>&nbsp;&nbsp; </TD>\n",
                            html(column->user_name).c_str());
}

// The last part of a path.
const char *base_name(const char *path) noexcept {
    const char *slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

int graphic_cell(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *value) noexcept {
    const char *image = value[0] != '\0' ? value : "system_file_types/icons/unknown.gif";
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT>");
    if (ret == 0)
        ret = mow_web_insert_graphic(aux, out_def, image);
    if (ret == 0)
        ret = out_def->line_fn(out_def, " ");
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, base_name(image));
    if (ret == 0)
        ret = out_def->line_fn(out_def, " </TD>\n");
    return ret;
}

int link_cell(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *value) noexcept {
    if (value[0] == '\0')
        return out_def->line_fn(out_def, "<TD ALIGN=LEFT> No Link </TD>\n");
    if (!mowsl_link_value_ok(value))
        return text_cell(aux, out_def, "LEFT", nullptr, value);
    return out_def->line_fn(out_def, "<TD ALIGN=LEFT><A TARGET=\"_blank\" HREF=\"%s\"> %s </A></TD>\n",
                            html(value).c_str(), "link");
}

int color_value_cell(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                     MOK_DATA_RECORD_T *record) noexcept {
    int index = mok_field<int32_t>(record->container, column->common->gen_keyword.struct_offset);
    const MOTSL_COLORS_T *c = color_entry(index);
    if (c == nullptr)
        return out_def->line_fn(out_def, "<TD ALIGN=LEFT>&nbsp; </TD>\n");
    return colored_cell(aux, out_def, index == 0 ? "" : c->normal_color, c->name);
}

int option_value_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                      MOK_DATA_RECORD_T *record) noexcept {
    const MOTSL_DISPLAY_OPTIONS_T *option = option_of(stype, column, record);
    if (option == nullptr)
        return out_def->line_fn(out_def, "<TD ALIGN=LEFT>&nbsp; </TD>\n");
    const char *color = option->color_index != 0 ? color_of(option->color_index) : nullptr;
    return colored_cell(stype->aux, out_def, color, option->string);
}

} // namespace

int mowsl_cell_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                    const char **text) noexcept {
    motsl_view_text_fn_t view =
        column->view_text_fn != nullptr ? column->view_text_fn : motsl_default_view_text;
    *text = "";
    int ret = view(stype, column, container, text);
    if (*text == nullptr)
        *text = "";
    return ret;
}

mo_boolean_t mowsl_link_value_ok(const char *value) noexcept {
    if (value == nullptr || value[0] == '\0')
        return FALSE;
    static const char *const schemes[] = {"http://", "https://", "ftp://", "mailto:"};
    for (const char *s : schemes)
        if (strncasecmp(value, s, strlen(s)) == 0)
            return TRUE;
    // A relative address has no scheme: nothing before its first ":" may end the scheme part.
    size_t scheme_end = strcspn(value, ":/?#");
    for (const char *p = value; *p != '\0'; p++)
        if (static_cast<unsigned char>(*p) < 0x20)
            return FALSE;
    return value[scheme_end] != ':' ? TRUE : FALSE;
}

motsl_cell_header_fn_t mowsl_cell_header_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (column->cell_header_fn != nullptr)
        return column->cell_header_fn;
    return is_edit_column(column) ? mowsl_cell_header_edit : mowsl_default_cell_header;
}

motsl_cell_fn_t mowsl_cell_list_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (column->cell_list_fn != nullptr)
        return column->cell_list_fn;
    if (is_edit_column(column))
        return mowsl_list_edit_history;
    return is_option_column(column) ? mowsl_list_normal_option : mowsl_list_normal_string;
}

motsl_cell_fn_t mowsl_cell_view_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    if (column->cell_view_fn != nullptr)
        return column->cell_view_fn;
    if (is_edit_column(column))
        return mowsl_view_null;
    if (is_multi_line_column(column))
        return mowsl_view_multi_line;
    return is_option_column(column) ? mowsl_view_option : mowsl_view_normal_string;
}

motsl_cell_fn_t mowsl_cell_bview_of(MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    return column->cell_bview_fn != nullptr ? column->cell_bview_fn : mowsl_bview_default;
}

// ---------------------------------------------------------------- list cells

int mowsl_list_normal_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    return ret != 0 ? ret : text_cell(stype->aux, out_def, "LEFT", nullptr, text);
}

int mowsl_list_right_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    return ret != 0 ? ret : text_cell(stype->aux, out_def, "RIGHT", nullptr, text);
}

int mowsl_list_prefix_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    const char *prefix = static_cast<const char *>(column->display_ref);
    return ret != 0 ? ret : text_cell(stype->aux, out_def, "LEFT", prefix != nullptr ? prefix : "", text);
}

// The length of a password says something about it: every stored one shows the same.
int mowsl_list_passwd_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    return ret != 0 ? ret
                    : text_cell(stype->aux, out_def, "LEFT", nullptr, text[0] != '\0' ? "********" : "");
}

int mowsl_list_for_view_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                               MOTSL_STDLIST_KEYWORD_T *column, MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    if (ret != 0)
        return ret;
    MOW_WEB_CMD_T *view = nullptr;
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    for (MOW_WEB_CMD_T *c = ws != nullptr ? ws->cmd_list : nullptr; c != nullptr; c = c->next)
        if (strcmp(c->command_name, "view") == 0)
            view = c;
    if (!record->access_view || view == nullptr)
        return text_cell(stype->aux, out_def, "LEFT", nullptr, text);
    char id[MOTSL_ID_TEXT_LEN];
    snprintf(id, sizeof(id), "%d", element_id(record));
    const char *args[] = {"ID", id};
    mo_string_t link;
    ret = mowsl_call_link(stype, "content", "A", "view", args, 2, link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT> <A HREF=\"%s\">", link);
    if (ret == 0)
        ret = mow_insert_protected_string_display(stype->aux, out_def, text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</A> </TD>\n");
    return ret;
}

int mowsl_list_link_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    return ret != 0 ? ret : link_cell(stype->aux, out_def, text);
}

int mowsl_list_normal_option(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    return option_value_cell(stype, out_def, column, record);
}

int mowsl_list_color(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                     MOK_DATA_RECORD_T *record) noexcept {
    return color_value_cell(stype->aux, out_def, column, record);
}

int mowsl_list_graphic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                       MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    return ret != 0 ? ret : graphic_cell(stype->aux, out_def, text);
}

namespace {

bool has_command(MOT_TOP_STYPE_T *stype, const char *name) noexcept {
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    for (MOW_WEB_CMD_T *c = ws != nullptr ? ws->cmd_list : nullptr; c != nullptr; c = c->next)
        if (strcmp(c->command_name, name) == 0)
            return true;
    return false;
}

} // namespace

int mowsl_list_edit_history(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                            MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int ret = out_def->line_fn(out_def, "<TD NOWRAP>");
    mo_string_t link;
    if (ret == 0 && record->access_edit && has_command(stype, "edit_start")) {
        ret = mowsl_edit_link(stype, element_id(record), link);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/edit.gif", "Edit Row", link);
    } else if (ret == 0) {
        ret = mow_web_insert_graphic(aux, out_def, "nav/edit_trans.gif");
    }
    if (ret == 0)
        ret = mowsl_history_link(stype, element_id(record), link);
    if (ret == 0 && link[0] != '\0') {
        ret = out_def->line_fn(out_def, "&nbsp;");
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/history2.gif", "View History Log", link);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

int mowsl_list_null(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                    MOK_DATA_RECORD_T *) noexcept {
    return out_def->line_fn(out_def, "<TD ALIGN=LEFT>&nbsp; </TD> ");
}

// ---------------------------------------------------------------- element page cells

int mowsl_view_normal_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    if (ret == 0)
        ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : text_cell(stype->aux, out_def, "LEFT", nullptr, text);
}

int mowsl_view_passwd_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                             MOK_DATA_RECORD_T *record) noexcept {
    int ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : mowsl_list_passwd_string(stype, out_def, column, record);
}

int mowsl_view_option(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                      MOK_DATA_RECORD_T *record) noexcept {
    int ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : option_value_cell(stype, out_def, column, record);
}

int mowsl_view_link_string(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                           MOK_DATA_RECORD_T *record) noexcept {
    int ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : mowsl_list_link_string(stype, out_def, column, record);
}

int mowsl_view_graphic(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                       MOK_DATA_RECORD_T *record) noexcept {
    int ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : mowsl_list_graphic(stype, out_def, column, record);
}

int mowsl_view_color(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                     MOK_DATA_RECORD_T *record) noexcept {
    int ret = view_heading(stype->aux, out_def, column);
    return ret != 0 ? ret : color_value_cell(stype->aux, out_def, column, record);
}

int mowsl_view_multi_line(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                          MOK_DATA_RECORD_T *record) noexcept {
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    std::string lines;
    try {
        lines = text;
    } catch (const std::bad_alloc &) {
        err(stype->aux)->report(err(stype->aux), "Out of memory\n");
        return 1;
    }
    // Each line of the value ends with a line feed; the last one would only add a blank line.
    if (!lines.empty() && lines.back() == '\n')
        lines.pop_back();
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD COLSPAN=2 ALIGN=LEFT><B> %s </B><BR>\n",
                               html(column->user_name).c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<I> ");
    if (ret == 0)
        ret = mow_insert_protected_string_basic(stype->aux, out_def, TRUE, lines.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, " </I></TD>\n");
    return ret;
}

int mowsl_view_null(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, MOTSL_STDLIST_KEYWORD_T *,
                    MOK_DATA_RECORD_T *) noexcept {
    return 0;
}

// ---------------------------------------------------------------- batch listing line

int mowsl_bview_default(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                        MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *text = "";
    int ret = mowsl_cell_text(stype, column, record->container, &text);
    if (ret != 0)
        return ret;
    if (is_multi_line_column(column)) {
        if (text[0] == '\0')
            return out_def->line_fn(out_def, "\n");
        // The lines of a multi-line value each end with a line feed; the last one ends the quote.
        std::string lines(text);
        if (!lines.empty() && lines.back() == '\n')
            lines.pop_back();
        char *copy = nullptr;
        ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &copy, lines.c_str());
        if (ret != 0)
            return ret;
        text = copy;
    }
    char *keyword = nullptr;
    ret = mow_create_keyword(aux, aux->mem->req_pool_ref, "", column->user_name, &keyword);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "%s=\"", keyword);
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, text);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\"\n");
    return ret;
}

// ---------------------------------------------------------------- view texts of access lists

namespace {

int access_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container, bool admin,
                bool with_parent, const char **text) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *text = "";
    const char *own = "";
    MOTC_COMMON_KEYWORD_T *common = column->common;
    int ret = common->get_string_fn(common, container, &own);
    if (ret != 0)
        return ret;
    const auto *list = mok_field<MOIL_ACCESSLIST_T *>(container, common->gen_keyword.struct_offset);
    std::string result = admin ? "Admin" : "";
    if (with_parent && list != nullptr && list->use_parent) {
        const auto *info = static_cast<const MOTSL_ACCESS_ARRAY_INFO_T *>(column->display_ref);
        const char *inherited = "";
        if (info != nullptr && info->get_parent_string != nullptr) {
            ret = info->get_parent_string(stype, column, container, &inherited);
            if (ret != 0)
                return ret;
        }
        if (!result.empty())
            result += ", ";
        result += "(" + std::string(inherited != nullptr ? inherited : "") + ")";
    }
    if (own != nullptr && own[0] != '\0') {
        if (!result.empty())
            result += ", ";
        result += own;
    }
    return store_req_string(aux, result, text);
}

} // namespace

int mowsl_view_text_super_access(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                                 const char **text) noexcept {
    return access_text(stype, column, container, true, true, text);
}

int mowsl_view_text_access(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                           const char **text) noexcept {
    return access_text(stype, column, container, false, true, text);
}

int mowsl_view_text_super_access_no_parent(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column,
                                           void *container, const char **text) noexcept {
    return access_text(stype, column, container, true, false, text);
}

int mowsl_view_text_access_no_parent(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                                     const char **text) noexcept {
    return access_text(stype, column, container, false, false, text);
}

int mowsl_view_text_super_only_string(MOT_TOP_STYPE_T *, MOTSL_STDLIST_KEYWORD_T *, void *,
                                      const char **text) noexcept {
    *text = "admin only";
    return 0;
}

// The item's own access definition says how its lists read; all three levels read alike.
int mowsl_view_text_top_access(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                               const char **text) noexcept {
    MOTSL_ACCESS_DEF_T *def = nullptr;
    const auto *info = static_cast<const MOTSL_ACCESS_ARRAY_INFO_T *>(column->display_ref);
    int ret = info != nullptr && info->get_access_set != nullptr ? info->get_access_set(stype, &def)
                                                                 : motsl_get_current_access_def(stype, &def);
    if (ret != 0)
        return ret;
    motsl_view_text_fn_t fn = def != nullptr ? def->lib_list.view_text_fn : nullptr;
    if (fn == nullptr || fn == mowsl_view_text_top_access)
        fn = mowsl_view_text_super_access;
    return fn(stype, column, container, text);
}

// ---------------------------------------------------------------- headings

namespace {

bool some_advanced_column(MOT_TOP_STYPE_T *stype) noexcept {
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    if (stype->keyword_storage == nullptr || stype->keyword_storage->struct_ref == nullptr)
        return false;
    ks = static_cast<MOTSL_APPLIC_KEYWORDSTRUCT_T *>(stype->keyword_storage->struct_ref);
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next) {
        MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
        if ((c->type_vector & MOTSL_TV_ADVANCED_COL) != 0 && c->access_type->view_access_col &&
            c->useropt_ref->display != nullptr && *c->useropt_ref->display != 0)
            return true;
    }
    return false;
}

int advanced_control(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    if (!some_advanced_column(stype))
        return 0;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    bool on = ts->adv_columns_en != nullptr && *ts->adv_columns_en != 0;
    mo_string_t link;
    int ret = mowsl_call_link(stype, "none", "N", "advanced_toggle", nullptr, 0, link);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<A HREF=\"%s\"><IMG %s BORDER=0 ALT=\"%s\"></A>", link,
            mow_web_get_image_location(stype->aux, on ? "/nav/page_prev.gif" : "/nav/page_next.gif"),
            on ? "Collapse Advanced Columns" : "Expand Advanced Columns");
    return ret;
}

// The heading text: a sort link for sortable columns, then the filter button.
int heading(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const MOTSL_USEROPT_REF_T *ref = column->useropt_ref;
    const char *args[] = {keyword_of(column)};
    mo_string_t link;
    int ret = 0;
    bool sortable = (column->type_vector & MOTSL_TV_SORTABLE) != 0;
    if (sortable) {
        ret = mowsl_call_link(stype, "none", "N", "sort_toggle", args, 1, link);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<A HREF=\"%s\">", link);
    }
    bool sorted = ref->sort != nullptr && (*ref->sort == 1 || *ref->sort == 2);
    if (ret == 0)
        ret = out_def->line_fn(out_def, sorted ? "<B>%s</B>" : "%s", html(column->user_name).c_str());
    if (ret == 0 && sortable)
        ret = out_def->line_fn(out_def, "</A> ");
    if (ret != 0 || (column->type_vector & (MOTSL_TV_FILTER | MOTSL_TV_MATCH)) == 0)
        return ret;
    const char *filter = ref->filter != nullptr && *ref->filter != nullptr ? *ref->filter : MOTSL_FILTER_ALL;
    const char *match = ref->match != nullptr && *ref->match != nullptr ? *ref->match : "";
    bool filtering = (column->type_vector & MOTSL_TV_FILTER) != 0 && strcmp(filter, MOTSL_FILTER_ALL) != 0;
    bool matching = (column->type_vector & MOTSL_TV_MATCH) != 0 && match[0] != '\0';
    std::string tip;
    try {
        tip = filtering && matching ? "Filtering On " + std::string(filter) + " and *" + match + "*"
              : filtering           ? "Filtering On: " + std::string(filter)
              : matching            ? "Filtering On: *" + std::string(match) + "*"
                                    : "Filter Off: Click to Enable";
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        return 1;
    }
    ret = mowsl_window_link(stype, "option_select", args, 1, MOWSL_FILTER_WINDOW_W, MOWSL_FILTER_WINDOW_H,
                            link);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(
            aux, out_def, filtering || matching ? "nav/filter_on.gif" : "nav/filter_off.gif", tip.c_str(),
            link);
    return ret;
}

} // namespace

int mowsl_default_cell_header(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def,
                              MOTSL_STDLIST_KEYWORD_T *column, mo_boolean_t last) noexcept {
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT VALIGN=MIDDLE NOWRAP CLASS=MainColTitle>");
    if (ret == 0)
        ret = heading(stype, out_def, column);
    if (ret == 0 && last)
        ret = advanced_control(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </TD> \n");
    return ret;
}

int mowsl_cell_header_right(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                            mo_boolean_t last) noexcept {
    int ret = out_def->line_fn(out_def, "<TD ALIGN=RIGHT VALIGN=MIDDLE NOWRAP CLASS=MainColTitle>");
    if (ret == 0)
        ret = heading(stype, out_def, column);
    if (ret == 0 && last)
        ret = advanced_control(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD> \n");
    return ret;
}

int mowsl_cell_header_edit(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                           mo_boolean_t) noexcept {
    return out_def->line_fn(out_def,
                            "<TD NOWRAP>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;</TD>\n");
}

int mowsl_cell_header_null(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                           mo_boolean_t last) noexcept {
    int ret = out_def->line_fn(out_def, "<TD NOWRAP CLASS=MainColTitle>&nbsp;");
    if (ret == 0 && last)
        ret = advanced_control(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

// ---------------------------------------------------------------- rows

int mowsl_print_row_default(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *record,
                            int line_no) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
    int ret = motsl_get_key_struct(stype, &ks);
    if (ret != 0)
        return ret;
    if (line_no % 2 == 0)
        ret = out_def->line_fn(out_def, "<TR >\n");
    else
        ret = out_def->line_fn(out_def, "<TR BGCOLOR=\"%s\" >\n", MOWSL_ODD_ROW_COLOR);
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    if (ret == 0 && ws != nullptr && ws->checkbox_required) {
        // Only a row the user may change can be ticked; the pickers act on no other.
        if (record->access_edit)
            ret = out_def->line_fn(out_def,
                                   "<TD><INPUT TYPE=CHECKBOX  NAME=\"PICKER_CHECK\" VALUE=\"%d\" ></TD>\n",
                                   element_id(record));
        else
            ret = out_def->line_fn(out_def, "<TD><IMG %s ALT=\"\"></TD>\n",
                                   mow_web_get_image_location(aux, "/bullets/blank.gif"));
    } else if (ret == 0) {
        ret = out_def->line_fn(out_def, "<TD>&nbsp; </TD>");
    }
    // The display order is the declaration order.
    for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; ret == 0 && node != nullptr; node = node->next) {
        MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
        if (mowsl_column_listed(c))
            ret = mowsl_cell_list_of(c)(stype, out_def, c, record);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n");
    return ret;
}

// ---------------------------------------------------------------- button bars

int mowsl_insert_cmd_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *command,
                            const char *graphic, const char *alt_text, const char *button_text) noexcept {
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    MOW_WEB_CMD_T *cmd = nullptr;
    for (MOW_WEB_CMD_T *c = ws != nullptr ? ws->cmd_list : nullptr; c != nullptr && cmd == nullptr;
         c = c->next)
        if (strcmp(c->command_name, command) == 0)
            cmd = c;
    if (cmd == nullptr)
        return 0;
    mo_boolean_t ok = FALSE;
    const char *message = nullptr;
    int ret = cmd->access_fn(stype, cmd, nullptr, &ok, &message);
    if (ret != 0 || !ok)
        return ret;
    mo_string_t link;
    ret = cmd->call_fn(stype, link);
    if (ret != 0 || link[0] == '\0')
        return ret;
    ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(stype->aux, out_def, graphic, alt_text, link);
    if (ret == 0 && button_text != nullptr)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">%s</A>", link, html(button_text).c_str());
    return ret;
}

namespace {

int text_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *graphic, const char *alt_text,
                const char *link, const char *text) noexcept {
    int ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, graphic, alt_text, link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">%s</A>", link, text);
    return ret;
}

// Up leads to the parent folder; lists outside the folder tree are at the top.
int up_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = mow_web_insert_graphic(stype->aux, out_def, "nav/dir_up_trans.gif");
    if (ret == 0)
        ret = out_def->line_fn(out_def, " Up");
    return ret;
}

// Back along the user's trail: the page before this one, whose arrival drops this page's entry.
int back_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOX_AUX_T *aux = stype->aux;
    mo_string_t link = "javascript: history.back();";
    MOK_DATA_RECORD_T *trail = aux->web != nullptr ? aux->web->trail_ref : nullptr;
    if (trail != nullptr && trail->next != nullptr) {
        mo_string_t back;
        if (mow_web_trail_call(aux, trail->next, "D", back) == 0)
            snprintf(link, sizeof(link), "%s", html(back).c_str());
    }
    int ret = mow_web_insert_graphic_button(aux, out_def, "nav/back.gif", "Go back", link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Back</A>", link);
    return ret;
}

int element_buttons(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *record) noexcept {
    if (record == nullptr || !record->access_edit)
        return 0;
    mo_string_t link;
    int ret = 0;
    if (has_command(stype, "edit_start")) {
        ret = mowsl_edit_link(stype, element_id(record), link);
        if (ret == 0)
            ret = text_button(stype->aux, out_def, "nav/edit.gif", "Edit", link, "Edit");
    }
    if (ret == 0)
        ret = mowsl_history_link(stype, element_id(record), link);
    if (ret == 0 && link[0] != '\0')
        ret = text_button(stype->aux, out_def, "nav/history1.gif", "History", link, "History");
    return ret;
}

enum class Lead { up, back };

int button_bar(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, void *record, Lead lead,
               bool add) noexcept {
    int ret = lead == Lead::up ? up_button(stype, out_def) : back_button(stype, out_def);
    if (ret == 0 && display_type == MOWSL_DTYPE_LIST) {
        if (add)
            ret = mowsl_insert_cmd_button(stype, out_def, "new", "nav/expand.gif", "Add New Entry", "Add");
        if (ret == 0)
            ret = mowsl_picker_buttons(stype, out_def);
    }
    if (ret == 0 && display_type == MOWSL_DTYPE_VIEW)
        ret = element_buttons(stype, out_def, static_cast<MOK_DATA_RECORD_T *>(record));
    if (ret == 0)
        ret = text_button(stype->aux, out_def, "nav/help2.gif", "Help", MOWSL_HELP_LINK, "Help");
    return ret;
}

} // namespace

int mowsl_button_full_with_trash(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                 void *record) noexcept {
    return button_bar(stype, out_def, display_type, record, Lead::up, true);
}

int mowsl_button_full_no_add(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                             void *record) noexcept {
    return button_bar(stype, out_def, display_type, record, Lead::up, false);
}

int mowsl_button_full_no_trash(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                               void *record) noexcept {
    return button_bar(stype, out_def, display_type, record, Lead::up, true);
}

int mowsl_button_go_back(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                         void *record) noexcept {
    return button_bar(stype, out_def, display_type, record, Lead::back, false);
}

// ---------------------------------------------------------------- title bar and page navigation

namespace {

int page_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, bool enabled, int page, const char *graphic,
                const char *disabled_graphic, const char *alt_text) noexcept {
    if (!enabled)
        return mow_web_insert_graphic(stype->aux, out_def, disabled_graphic);
    char number[MOTSL_ID_TEXT_LEN];
    snprintf(number, sizeof(number), "%d", page);
    const char *args[] = {"page", number};
    mo_string_t link;
    int ret = mowsl_call_link(stype, "none", "N", "page_select_page", args, 2, link);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(stype->aux, out_def, graphic, alt_text, link);
    return ret;
}

int page_navigation(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const MOWSL_PAGING_T *p) noexcept {
    bool first = p->page <= 1;
    bool last = p->page >= p->pages;
    mo_string_t window;
    int ret = page_button(stype, out_def, !first, 1, "nav/page_prev_fast.gif", "nav/page_prev_fast_trans.gif",
                          "Go to the Beginning");
    if (ret == 0)
        ret = page_button(stype, out_def, !first, p->page - 1, "nav/page_prev.gif", "nav/page_prev_trans.gif",
                          "Previous Page");
    if (ret == 0)
        ret = mowsl_window_link(stype, "page_window", nullptr, 0, MOWSL_CHOOSER_WINDOW_W,
                                MOWSL_CHOOSER_WINDOW_H, window);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp; <A HREF=\"%s\">Page %d of %d</A> &nbsp;", window, p->page,
                               p->pages);
    if (ret == 0)
        ret = page_button(stype, out_def, !last, p->page + 1, "nav/page_next.gif", "nav/page_next_trans.gif",
                          "Next Page");
    if (ret == 0)
        ret = page_button(stype, out_def, !last, p->pages, "nav/page_next_fast.gif",
                          "nav/page_next_fast_trans.gif", "Go to the End");
    return ret;
}

int more_available(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const MOWSL_PAGING_T *p) noexcept {
    if (p->pages <= 1)
        return 0;
    int ret = out_def->line_fn(out_def, "<BR><TABLE SUMMARY=\"\"><TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TD><B>More Available...</B>&nbsp;</TD><TD>\n");
    const char *texts[] = {"&lt;prev", "next&gt;"};
    const int pages[] = {p->page - 1, p->page + 1};
    for (int i = 0; ret == 0 && i < 2; i++) {
        if (i == 1)
            ret = out_def->line_fn(out_def, "&nbsp;&nbsp;");
        if (ret != 0)
            break;
        if (pages[i] < 1 || pages[i] > p->pages) {
            ret = out_def->line_fn(out_def, "<FONT COLOR=\"%s\">%s</FONT>", MOWSL_DISABLED_COLOR, texts[i]);
            continue;
        }
        char number[MOTSL_ID_TEXT_LEN];
        snprintf(number, sizeof(number), "%d", pages[i]);
        const char *args[] = {"page", number};
        mo_string_t link;
        ret = mowsl_call_link(stype, "none", "N", "page_select_page", args, 2, link);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<A HREF=\"%s\">%s</A>", link, texts[i]);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\n</TD></TR></TABLE>\n");
    return ret;
}

} // namespace

int mowsl_title_bar(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, void *record,
                    int columns, int total, const MOWSL_PAGING_T *paging) noexcept {
    bool list = display_type == MOWSL_DTYPE_LIST;
    int ret = out_def->line_fn(out_def, "<TR><TD COLSPAN=%d BGCOLOR=%s>\n", columns, MOWSL_TITLE_COLOR);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<TABLE VSPACE=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TR><TD ALIGN=LEFT NOWRAP>");
    // Titles name an element by its record; button bars need its flags too.
    auto *element = static_cast<MOK_DATA_RECORD_T *>(record);
    if (ret == 0 && stype->insert_title != nullptr)
        ret = stype->insert_title(stype, out_def, 0, display_type,
                                  element != nullptr ? element->container : nullptr);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0 && list)
        ret = out_def->line_fn(
            out_def,
            "<TD ALIGN=RIGHT NOWRAP><FONT COLOR=WHITE>&nbsp;&nbsp; Total records [ %d ]&nbsp;"
            "</FONT></TD>\n",
            total);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n<TR><TD ALIGN=LEFT NOWRAP CLASS=MainTitleButtons>");
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    if (ret == 0 && ws != nullptr && ws->web_button_fn != nullptr)
        ret = ws->web_button_fn(stype, out_def, display_type, record);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    if (ret == 0 && list && paging != nullptr) {
        ret = out_def->line_fn(out_def, "<TD ALIGN=RIGHT NOWRAP CLASS=MainTitleButtons>");
        if (ret == 0)
            ret = page_navigation(stype, out_def, paging);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD>\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR></TABLE>\n</TD></TR>\n");
    return ret;
}

// ---------------------------------------------------------------- the list page

int mowsl_list_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "content", "A", "list", nullptr, 0, call_string);
}

int mowsl_list_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                       MOT_TOP_ARG_LIST_T *) noexcept {
    // Leaving an edit form by a link leaves its element lock behind; coming back to the list gives it up.
    int ret = mowsl_release_element_locks(stype);
    MOWSL_LIST_STATE_T state;
    if (ret == 0)
        ret = mowsl_list_prepare(stype, &state);
    if (ret != 0)
        return ret;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOWSL_PAGING_T paging;
    mowsl_paging(state.total, ts->lines_per_page != nullptr ? *ts->lines_per_page : MOTSL_DEFAULT_PAGE_LINES,
                 ts->page_no != nullptr ? *ts->page_no : 1, &paging);
    ret = mowsl_picker_form_start(stype, out_def);
    if (ret == 0)
        ret = out_def->line_fn(
            out_def, "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
    if (ret == 0)
        ret = mowsl_title_bar(stype, out_def, MOWSL_DTYPE_LIST, nullptr, state.table_columns, state.total,
                              &paging);

    // Heading row.
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TR BGCOLOR=%s>\n", MOWSL_HEADING_COLOR);
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    if (ret == 0) {
        if (ws != nullptr && ws->checkbox_required)
            ret = mowsl_picker_select_all_control(stype, out_def);
        else
            ret = out_def->line_fn(out_def, "<TD>&nbsp; </TD>\n");
    }
    MOTSL_STDLIST_KEYWORD_T *last = nullptr;
    for (MOTSL_STDLIST_ORDER_T *o = state.order; o != nullptr; o = o->next)
        if (mowsl_column_listed(o->stdlist))
            last = o->stdlist;
    for (MOTSL_STDLIST_ORDER_T *o = state.order; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        if (mowsl_column_listed(c))
            ret = mowsl_cell_header_of(c)(stype, out_def, c, c == last ? TRUE : FALSE);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n");

    // The rows of the page.
    motsl_print_row_fn_t print_row = ts->print_row != nullptr ? ts->print_row : mowsl_print_row_default;
    for (int n = paging.first; ret == 0 && n <= paging.last; n++)
        ret = print_row(stype, out_def, state.rows[n - 1], n - paging.first);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0)
        ret = mowsl_picker_form_end(stype, out_def);
    if (ret == 0)
        ret = more_available(stype, out_def, &paging);
    return ret;
}

// ---------------------------------------------------------------- the element page

namespace {

// The list test the stype's commands were registered with.
int list_test(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list, mo_boolean_t *ok,
              const char **message) noexcept {
    *ok = FALSE;
    MOW_WEB_STORAGE_T *ws = web_of(stype);
    for (MOW_WEB_CMD_T *c = ws != nullptr ? ws->cmd_list : nullptr; c != nullptr; c = c->next)
        if (strcmp(c->command_name, "list") == 0)
            return c->access_fn(stype, web_cmd, arg_list, ok, message);
    return 0;
}

} // namespace

int mowsl_view_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "content", "A", "view", nullptr, 0, call_string);
}

int mowsl_view_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *web_cmd, MOT_TOP_ARG_LIST_T *arg_list,
                      mo_boolean_t *ok, const char **message) noexcept {
    int ret = list_test(stype, web_cmd, arg_list, ok, message);
    if (ret != 0 || !*ok || arg_list == nullptr)
        return ret;
    *ok = FALSE;
    const char *keyword = arg_list->val;
    const char *value = arg_list->next != nullptr ? arg_list->next->val : "";
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T *record = nullptr;
    ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = mowsl_find_id_record(stype, first, keyword, value, &record);
    if (ret == 0)
        *ok = record->access_view;
    return ret;
}

int mowsl_view_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                       MOT_TOP_ARG_LIST_T *arg_list) noexcept {
    const char *keyword = arg_list != nullptr ? arg_list->val : "";
    const char *value = arg_list != nullptr && arg_list->next != nullptr ? arg_list->next->val : "";
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T *record = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = mowsl_find_id_record(stype, first, keyword, value, &record);
    if (ret == 0 && !record->access_view)
        ret = not_found(stype, value);
    if (ret == 0)
        ret = motsl_stdlist_get_order(stype, &order);
    if (ret != 0)
        return ret;
    ret = out_def->line_fn(
        out_def, "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
    if (ret == 0)
        ret = mowsl_title_bar(stype, out_def, MOWSL_DTYPE_VIEW, record, 1, 0, nullptr);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 >\n");
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next) {
        MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
        const MOTSL_USEROPT_REF_T *ref = c->useropt_ref;
        bool displayed = ref->display == nullptr || *ref->display != 0;
        motsl_cell_fn_t cell = mowsl_cell_view_of(c);
        if (!c->access_type->view_access_col || !displayed || cell == mowsl_view_null)
            continue;
        ret = out_def->line_fn(out_def, "<TR>");
        if (ret == 0)
            ret = cell(stype, out_def, c, record);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TR>\n");
        if (ret == 0 && (c->type_vector & MOTSL_TV_VIEW_RULE) != 0)
            ret = out_def->line_fn(out_def, "<TR><TD COLSPAN=2><HR ALIGN=LEFT NOSHADE SIZE=2 ></TD></TR>\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    return ret;
}

// ---------------------------------------------------------------- the batch listing

int mowsl_blist_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    call_string[0] = '\0';
    err(stype->aux)->report(err(stype->aux), "mowsl_blist_call Not impletemented\n");
    return 1;
}

int mowsl_blist_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                        MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *first = nullptr;
    MOK_DATA_RECORD_T *rows = nullptr;
    MOTSL_STDLIST_ORDER_T *order = nullptr;
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    if (ret == 0)
        ret = motsl_stdlist_get_order(stype, &order);
    if (ret == 0)
        ret = mowsl_list_filter_view_access(stype, first, &rows);
    if (ret == 0 && aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/plain");
    if (ret == 0)
        ret =
            out_def->line_fn(out_def, "%s_VERSION=\"%s (build_%s)\"\n", "MORVALE", MOST_VERSION, MOST_BUILD);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "KEYWORDS=\"");
    for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next) {
        if (!o->stdlist->access_type->bview_access_col)
            continue;
        char *keyword = nullptr;
        ret = mow_create_keyword(aux, aux->mem->req_pool_ref, "", o->stdlist->user_name, &keyword);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s, ", keyword);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\"\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "%s\n", MOK_SEPARATOR);
    for (MOK_DATA_RECORD_T *r = rows; ret == 0 && r != nullptr; r = r->next) {
        for (MOTSL_STDLIST_ORDER_T *o = order; ret == 0 && o != nullptr; o = o->next)
            if (o->stdlist->access_type->bview_access_col)
                ret = mowsl_cell_bview_of(o->stdlist)(stype, out_def, o->stdlist, r);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s\n", MOK_SEPARATOR);
    }
    return ret;
}
