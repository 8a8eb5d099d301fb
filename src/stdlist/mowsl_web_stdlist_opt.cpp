// The commands that change a user's list options (sort, columns shown, advanced columns, page and
// lines per page, filters, expanded folders) and answer with the reload page; the pop-up windows that
// choose a filter, the lines per page, a graphic or a colour; subscriptions and bookmarks.
//
// Every option change takes the option file's write lock, reads the record under it, changes it,
// writes it and gives the lock back on every path. Keywords and numbers from the request are
// checked before anything is changed.
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_local.h"

#include "storage/mok_key.h"
#include "storage/moil_idlist.h"
#include "storage/mosu_subscribe.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

using namespace mowsl_local;

namespace {

const char *arg_at(MOT_TOP_ARG_LIST_T *args, int index) noexcept {
    for (MOT_TOP_ARG_LIST_T *a = args; a != nullptr; a = a->next, index--)
        if (index == 0)
            return a->val != nullptr ? a->val : "";
    return "";
}

// A value for the option file: one line, within what a value line holds.
int option_text(MOT_TOP_STYPE_T *stype, const char *what, const char *value, std::string *text) noexcept {
    try {
        text->clear();
        for (const char *p = value != nullptr ? value : ""; *p != '\0'; p++)
            if (*p != '\r' && *p != '\n')
                *text += *p;
    } catch (const std::bad_alloc &) {
        err(stype->aux)->report(err(stype->aux), "Out of memory\n");
        return 1;
    }
    if (text->size() > MOK_STRING_MAX) {
        err(stype->aux)
            ->report(err(stype->aux), "The %s is longer than %d characters\n", what, MOK_STRING_MAX);
        return 1;
    }
    return 0;
}

int set_string(MOX_AUX_T *aux, char **slot, const char *text) noexcept {
    return aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, slot, text);
}

// Runs one option change and answers with the reload page.
template <class F>
int change_options(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, mo_boolean_t close, int action1,
                   F change) {
    OptionChange oc;
    int ret = oc.begin(stype);
    if (ret == 0)
        ret = change(oc);
    int end = oc.end(ret == 0);
    if (ret == 0)
        ret = end;
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, close, action1, MOWSL_RELOAD_NONE, MOWSL_RELOAD_NONE);
    return ret;
}

int need_bit(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, unsigned bits,
             const char *what) noexcept {
    if ((column->type_vector & bits) != 0)
        return 0;
    err(stype->aux)
        ->report(err(stype->aux), "The column %s of %s has no %s\n", keyword_of(column), stype->name, what);
    return 1;
}

int need_number(MOT_TOP_STYPE_T *stype, const char *text, int *value) noexcept {
    if (parse_int(text, value))
        return 0;
    err(stype->aux)->report(err(stype->aux), "The argument %s is not a number\n", text);
    return 1;
}

int call_with(MOT_TOP_STYPE_T *stype, const char *display, const char *command, char *call_string) noexcept {
    return mowsl_call_link(stype, display, "N", command, nullptr, 0, call_string);
}

} // namespace

// ---------------------------------------------------------------- call functions

int mowsl_filter_select_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "filter_select", call_string);
}
int mowsl_page_select_page_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "page_select_page", call_string);
}
int mowsl_page_select_amount_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "page_select_amount", call_string);
}
int mowsl_advanced_toggle_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "advanced_toggle", call_string);
}
int mowsl_display_toggle_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "display_toggle", call_string);
}
int mowsl_display_move_left_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "display_move_left", call_string);
}
int mowsl_display_move_right_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "display_move_right", call_string);
}
int mowsl_sort_toggle_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "sort_toggle", call_string);
}
int mowsl_filter_clear_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "filter_clear", call_string);
}
int mowsl_subscribe_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "subscribe", call_string);
}
int mowsl_dir_list_a_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "dir_list_a", call_string);
}
int mowsl_dir_list_d_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "dir_list_d", call_string);
}
int mowsl_bkmark_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return call_with(stype, "none", "bkmark", call_string);
}
int mowsl_option_select_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_window_link(stype, "option_select", nullptr, 0, MOWSL_FILTER_WINDOW_W, MOWSL_FILTER_WINDOW_H,
                             call_string);
}
int mowsl_page_window_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_window_link(stype, "page_window", nullptr, 0, MOWSL_CHOOSER_WINDOW_W, MOWSL_CHOOSER_WINDOW_H,
                             call_string);
}
int mowsl_gchooser_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_window_link(stype, "gchooser", nullptr, 0, MOWSL_CHOOSER_WINDOW_W, MOWSL_CHOOSER_WINDOW_H,
                             call_string);
}
int mowsl_color_chooser_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_window_link(stype, "color_chooser", nullptr, 0, MOWSL_CHOOSER_WINDOW_W,
                             MOWSL_CHOOSER_WINDOW_H, call_string);
}

// ---------------------------------------------------------------- option changes

int mowsl_sort_toggle_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                              MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_viewable_column_arg(stype, arg_at(args, 0), &column);
    if (ret == 0)
        ret = need_bit(stype, column, MOTSL_TV_SORTABLE, "sort");
    if (ret != 0)
        return ret;
    return change_options(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, [&](OptionChange &) noexcept {
        // The column's own value is read before every sort is cleared, so that a second toggle reverses it.
        int next = 1;
        if (mowsl_sort_next(*column->useropt_ref->sort, &next) != 0) {
            err(stype->aux)->report(err(stype->aux), "Sort type not recognised\n");
            return 1;
        }
        MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
        int r = motsl_get_key_struct(stype, &ks);
        for (MOTSL_APPLIC_KEYWORD_T *node = ks != nullptr ? ks->keyword_list : nullptr; node != nullptr;
             node = node->next)
            *node->stdlist->useropt_ref->sort = 0;
        *column->useropt_ref->sort = next;
        return r;
    });
}

int mowsl_display_toggle_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                 MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_viewable_column_arg(stype, arg_at(args, 0), &column);
    if (ret != 0)
        return ret;
    return change_options(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, [&](OptionChange &) noexcept {
        int *display = column->useropt_ref->display;
        *display = *display != 0 ? 0 : 1;
        return 0;
    });
}

int mowsl_advanced_toggle_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                  MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *) noexcept {
    return change_options(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, [&](OptionChange &oc) noexcept {
        oc.options->adv_col_en = oc.options->adv_col_en != 0 ? 0 : 1;
        return 0;
    });
}

// The display order follows the declaration and rewrites the order options on every page, so an
// exchange is kept in the file but does not move the columns; the pages show no arrows for it.
int mowsl_display_move_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                               MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *direction = arg_at(args, 1);
    bool left = strcmp(web_cmd->command_name, "display_move_left") == 0;
    if (strcmp(direction, left ? "left" : "right") != 0) {
        err(aux)->report(err(aux), "Unknown type argument %s, must be either %s\n", direction,
                         left ? "left" : "right");
        return 1;
    }
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_viewable_column_arg(stype, arg_at(args, 0), &column);
    if (ret != 0)
        return ret;
    return change_options(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, [&](OptionChange &) noexcept {
        MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
        int r = motsl_get_key_struct(stype, &ks);
        MOTSL_STDLIST_KEYWORD_T *before = nullptr;
        MOTSL_STDLIST_KEYWORD_T *neighbour = nullptr;
        for (MOTSL_APPLIC_KEYWORD_T *node = ks != nullptr ? ks->keyword_list : nullptr; node != nullptr;
             node = node->next) {
            if (node->stdlist == column) {
                neighbour = left ? before : (node->next != nullptr ? node->next->stdlist : nullptr);
                break;
            }
            before = node->stdlist;
        }
        if (r == 0 && neighbour != nullptr)
            std::swap(*column->useropt_ref->order, *neighbour->useropt_ref->order);
        return r;
    });
}

int mowsl_page_select_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                              MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *type = arg_at(args, 0);
    bool amount = strcmp(web_cmd->command_name, "page_select_amount") == 0;
    if (strcmp(type, amount ? "amount" : "page") != 0) {
        err(aux)->report(err(aux), "Unknown type argument %s, must be either page or amount\n", type);
        return 1;
    }
    int number = 0;
    int ret = need_number(stype, arg_at(args, 1), &number);
    if (ret != 0)
        return ret;
    if (number < (amount ? 0 : 1)) {
        err(aux)->report(err(aux), "The %s %d is out of range\n", amount ? "number of lines" : "page",
                         number);
        return 1;
    }
    // The lines window is a pop-up: it reloads the list that opened it and closes.
    return change_options(stype, out_def, amount ? TRUE : FALSE,
                          amount ? MOWSL_RELOAD_OPENER : MOWSL_RELOAD_TRAIL, [&](OptionChange &oc) noexcept {
                              if (amount)
                                  oc.options->page_lines = number;
                              else
                                  oc.options->page_no = number;
                              return 0;
                          });
}

int mowsl_filter_select_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    std::string value;
    int ret = mowsl_viewable_column_arg(stype, arg_at(args, 0), &column);
    if (ret == 0)
        ret = need_bit(stype, column, MOTSL_TV_FILTER, "filter");
    if (ret == 0)
        ret = option_text(stype, "filter value", arg_at(args, 1), &value);
    if (ret != 0)
        return ret;
    return change_options(stype, out_def, TRUE, MOWSL_RELOAD_OPENER, [&](OptionChange &) noexcept {
        return set_string(stype->aux, column->useropt_ref->filter, value.c_str());
    });
}

int mowsl_filter_clear_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                               MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_viewable_column_arg(stype, arg_at(args, 0), &column);
    if (ret != 0)
        return ret;
    bool all = strcmp(arg_at(args, 1), "clear_all") == 0;
    return change_options(stype, out_def, TRUE, MOWSL_RELOAD_OPENER, [&](OptionChange &) noexcept {
        MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
        int r = motsl_get_key_struct(stype, &ks);
        for (MOTSL_APPLIC_KEYWORD_T *node = ks != nullptr ? ks->keyword_list : nullptr;
             r == 0 && node != nullptr; node = node->next) {
            MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
            if (!all && c != column)
                continue;
            r = set_string(stype->aux, c->useropt_ref->filter, MOTSL_FILTER_ALL);
            if (r == 0)
                r = set_string(stype->aux, c->useropt_ref->match, "");
        }
        return r;
    });
}

int mowsl_dir_list_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                           MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *type = arg_at(args, 0);
    bool add = strcmp(type, "add") == 0;
    if (!add && strcmp(type, "del") != 0) {
        err(aux)->report(err(aux), "Unknown type argument %s, must be either del or add\n", type);
        return 1;
    }
    int id = 0;
    if (motsl_parse_id(arg_at(args, 1), &id) != 0 || id <= 0) {
        err(aux)->report(err(aux), "The folder argument %s is not an id\n", arg_at(args, 1));
        return 1;
    }
    return change_options(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, [&](OptionChange &oc) noexcept {
        mo_boolean_t present = FALSE;
        moil_check_in_idlist(oc.options->dlist, id, &present);
        if (add && !present)
            return moil_add_to_idlist(aux->interm, aux->mem->req_pool_ref, id, &oc.options->dlist);
        if (!add && present)
            return moil_delete_from_idlist(aux->interm, aux->mem->req_pool_ref, id, &oc.options->dlist);
        return 0;
    });
}

// ---------------------------------------------------------------- subscriptions and bookmarks

namespace {

mowsl_bkmark_create_fn_t bkmark_create = nullptr; // the folder tree's, given when it registers

int item_parent(void *parent_ref, int item_id, int *parent_id_ptr) noexcept {
    auto *stype = static_cast<MOT_TOP_STYPE_T *>(parent_ref);
    MOTSL_ITEM_HOOKS_T *item = item_hooks(stype->aux);
    return item->get_parent_id(item, current_index(stype), item_id, parent_id_ptr);
}

} // namespace

int mowsl_subscribe_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                            MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int id = 0;
    if (motsl_parse_id(arg_at(args, 0), &id) != 0 || id <= 0) {
        err(aux)->report(err(aux), "The item argument %s is not an id\n", arg_at(args, 0));
        return 1;
    }
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    if (item == nullptr || item->get_parent_id == nullptr) {
        err(aux)->report(err(aux), "There is no folder tree to subscribe to\n");
        return 1;
    }
    if (aux->sub_ref == nullptr) {
        err(aux)->report(err(aux),
                         "Subscriptions are used only with the mail option \"Mail If Subscribed\"\n");
        return 1;
    }
    int ret = mosu_subscribe_toggle_by(aux->sub_ref, id, item_parent, stype);
    bool dir = aux->web != nullptr && strcmp(aux->web->frame, "dir") == 0;
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL,
                           dir ? MOWSL_RELOAD_CONTENT : MOWSL_RELOAD_DIR, MOWSL_RELOAD_NONE);
    return ret;
}

int mowsl_bkmark_register(MOT_TOP_STYPE_T *stype, void *pool_ref, mow_web_access_fn_t access_fn,
                          mowsl_bkmark_create_fn_t create_fn) noexcept {
    bkmark_create = create_fn;
    return mow_web_cmd_register(stype, pool_ref, "bkmark", 0, 0, mowsl_bkmark_call, access_fn,
                                mowsl_bkmark_service);
}

int mowsl_bkmark_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                         MOT_TOP_ARG_LIST_T *) noexcept {
    if (bkmark_create == nullptr) {
        err(stype->aux)->report(err(stype->aux), "Bookmarks are not available\n");
        return 1;
    }
    int ret = bkmark_create(stype);
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, MOWSL_RELOAD_DIR, MOWSL_RELOAD_NONE);
    return ret;
}

// ---------------------------------------------------------------- pop-up windows

namespace {

int window_title(MOOU_OUT_DEF_T *out_def, const char *title) noexcept {
    return out_def->line_fn(out_def,
                            "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n"
                            "<TR><TD BGCOLOR=%s><B><FONT color=white>%s</FONT></B>\n</TD></TR></TABLE>\n",
                            MOWSL_TITLE_COLOR, title);
}

// The script that goes to the link of the chosen option of a selection, unless its value is "none".
int go_script(MOOU_OUT_DEF_T *out_def, const std::string &function, const std::string &selection) noexcept {
    return out_def->line_fn(out_def,
                            "function %s() {\n"
                            "    var sel = %s;\n"
                            "    var v = sel.options[sel.selectedIndex].value;\n"
                            "    if (v != \"none\") location = v;\n"
                            "}\n",
                            function.c_str(), selection.c_str());
}

int script_start(MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "<script language=\"javascript\" type=\"text/javascript\">\n<!--\n");
}

int script_end(MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "// -->\n</script>\n");
}

int selector(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
             MOWSL_LIST_STATE_T *state) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const char *filter =
        *column->useropt_ref->filter != nullptr ? *column->useropt_ref->filter : MOTSL_FILTER_ALL;
    bool active = strcmp(filter, MOTSL_FILTER_ALL) != 0;
    // The choices come from the rows the other columns leave: this column's own filter is set aside.
    MOK_DATA_RECORD_T *visible = nullptr;
    int ret = mowsl_list_filter_view_access(stype, state->all, &visible);
    motsl_filter_fn_t own = column->current_filter_fn;
    column->current_filter_fn = motsl_filter_all;
    MOK_DATA_RECORD_T *rows = nullptr;
    if (ret == 0)
        ret = mowsl_list_filter_data(stype, state->order, visible, &rows);
    column->current_filter_fn = own;
    MOTSL_FILTER_LIST_T *choices = nullptr;
    if (ret == 0)
        ret = motsl_get_extra_filter_list(stype, column, rows, &choices);
    if (ret != 0)
        return ret;
    std::string ident = js_ident(keyword_of(column));
    ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT NOWRAP %s><B>Filter on</B> ",
                           active ? MOWSL_ACTIVE_CONTROL : "");
    if (ret == 0 && !active)
        ret = out_def->line_fn(out_def, "<SELECT NAME=\"FilSel%s\" onchange=\"filter%s()\">\n", ident.c_str(),
                               ident.c_str());
    if (ret == 0 && active)
        ret = out_def->line_fn(out_def,
                               "<SELECT NAME=\"FilSel%s\" onchange=\"filter%s()\" STYLE=\"color: blue\">\n",
                               ident.c_str(), ident.c_str());
    for (MOTSL_FILTER_LIST_T *c = choices; ret == 0 && c != nullptr; c = c->next) {
        const char *args[] = {keyword_of(column), c->string};
        std::string link;
        ret = link_build(stype, "none", "N", "filter_select", args, 2, &link);
        if (ret != 0)
            break;
        // A link that would not fit any browser's address is left out rather than cut.
        if (link.size() >= MO_STRING_LEN) {
            err(aux)->report_note(err(aux), "The filter choice %s of %s is too long to offer\n", c->string,
                                  keyword_of(column));
            continue;
        }
        ret = out_def->line_fn(out_def, "<OPTION %svalue=\"%s\">%s</OPTION>\n",
                               strcmp(c->string, filter) == 0 ? "SELECTED " : "", html(link.c_str()).c_str(),
                               html(c->string).c_str());
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT></TD>\n");
    return ret;
}

int match_box(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column) noexcept {
    const char *match = *column->useropt_ref->match != nullptr ? *column->useropt_ref->match : "";
    bool active = match[0] != '\0';
    std::string keyword = html(keyword_of(column));
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT NOWRAP %s><B>Search on  </B> ",
                               active ? MOWSL_ACTIVE_CONTROL : "");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<INPUT TYPE=HIDDEN  NAME=\"MATCH_KEYWORD\" VALUE=\"%s\">\n",
                               keyword.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<INPUT TYPE=TEXT  NAME=\"MATCH%s\"  VALUE=\"%s\" SIZE=%d MAXLENGTH=%d>\n",
                               keyword.c_str(), html(match).c_str(), MOWSL_MATCH_SIZE, MOWSL_MATCH_MAX);
    std::string go = "javascript: submit_match_go('" + js(keyword_of(column)) + "');";
    if (ret == 0)
        ret = mow_web_insert_graphic_button(stype->aux, out_def, "nav/go.gif", "Find a match in this column",
                                            go.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

} // namespace

int mowsl_option_select_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    MOWSL_LIST_STATE_T state;
    int ret = mowsl_column_arg(stype, arg_at(args, 0), &column);
    if (ret == 0)
        ret = need_bit(stype, column, MOTSL_TV_FILTER | MOTSL_TV_MATCH, "filter");
    if (ret == 0)
        ret = mowsl_list_prepare(stype, &state);
    // The choices show the column's values: only a column the user may see has them.
    if (ret == 0 && !column->access_type->view_access_col) {
        err(aux)->report(err(aux), "The column %s of %s has no filter\n", keyword_of(column), stype->name);
        ret = 1;
    }
    if (ret != 0)
        return ret;
    try {
        ret = window_title(out_def, "Filter");
        if (ret == 0)
            ret = script_start(out_def);
        for (MOTSL_STDLIST_ORDER_T *o = state.order; ret == 0 && o != nullptr; o = o->next) {
            MOTSL_STDLIST_KEYWORD_T *c = o->stdlist;
            if (!mowsl_column_listed(c) && c != column)
                continue;
            if ((c->type_vector & MOTSL_TV_FILTER) == 0)
                continue;
            std::string ident = js_ident(keyword_of(c));
            ret = go_script(out_def, "filter" + ident, "document.picker.FilSel" + ident);
        }
        if (ret == 0)
            ret = script_end(out_def);
        if (ret == 0)
            ret = mowsl_picker_form_start(stype, out_def);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TABLE SUMMARY=\"\" BORDER=0 CELLPADDING=4>\n");
        if (ret == 0 && (column->type_vector & MOTSL_TV_FILTER) != 0) {
            ret = out_def->line_fn(out_def, "<TR>");
            if (ret == 0)
                ret = selector(stype, out_def, column, &state);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</TR>\n");
        }
        if (ret == 0 && (column->type_vector & MOTSL_TV_MATCH) != 0) {
            ret = out_def->line_fn(out_def, "<TR>");
            if (ret == 0)
                ret = match_box(stype, out_def, column);
            if (ret == 0)
                ret = out_def->line_fn(out_def, "</TR>\n");
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TABLE>\n<P>");
        const char *clear_one[] = {keyword_of(column), "clear"};
        const char *clear_all[] = {keyword_of(column), "clear_all"};
        mo_string_t link;
        if (ret == 0)
            ret = mowsl_call_link(stype, "none", "N", "filter_clear", clear_one, 2, link);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/clear.gif", "Clear this column filter",
                                                link);
        if (ret == 0)
            ret = mowsl_call_link(stype, "none", "N", "filter_clear", clear_all, 2, link);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/clear_all.gif", "Clear all column filters",
                                                link);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/close.gif", "Close this Window",
                                                "javascript: window.close();");
        if (ret == 0)
            ret = mowsl_picker_form_end(stype, out_def);
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        ret = 1;
    }
    return ret;
}

int mowsl_page_window_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                              MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *) noexcept {
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    int current =
        ts != nullptr && ts->lines_per_page != nullptr ? *ts->lines_per_page : MOTSL_DEFAULT_PAGE_LINES;
    int ret = window_title(out_def, "Page Select");
    if (ret == 0)
        ret = script_start(out_def);
    if (ret == 0)
        ret = go_script(out_def, "PageAmount", "document.Page.AmountSel");
    if (ret == 0)
        ret = script_end(out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "Choose the number of lines per page<BR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<FORM NAME=\"Page\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<SELECT NAME=\"AmountSel\" onchange=\"PageAmount()\">\n");
    for (const MOW_PAGE_AMOUNT_ARRAY_T *a = mowsl_page_amount_array; ret == 0 && a->string != nullptr; a++) {
        char number[MOTSL_ID_TEXT_LEN];
        snprintf(number, sizeof(number), "%d", a->number);
        const char *args[] = {"amount", number};
        mo_string_t link;
        ret = mowsl_call_link(stype, "none", "N", "page_select_amount", args, 2, link);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<OPTION %svalue=\"%s\">%s</OPTION>\n",
                                   a->number == current ? "SELECTED " : "", html(link).c_str(), a->string);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</SELECT>\n</FORM>\n");
    return ret;
}

// ---------------------------------------------------------------- choosers of the edit forms

namespace {

// The script that fills the opener's edit-form field and its sample image, then closes the window.
int update_form_script(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *keyword,
                       const char *params, const char *value, const char *image) noexcept {
    std::string field = js(keyword);
    std::string image_name = js((std::string(keyword) + MOWSL_IMAGE_SUFFIX).c_str());
    std::string location = js(stype->aux->setup->httpd_image_loc);
    int ret = script_start(out_def);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "function UpdateForm(%s) {\n"
                               "    var doc = window.opener ? window.opener.document : null;\n"
                               "    var form = doc ? doc.forms[\"%s\"] : null;\n"
                               "    if (form && form.elements[\"%s\"]) form.elements[\"%s\"].value = %s;\n"
                               "    var image = doc ? doc.images[\"%s\"] : null;\n"
                               "    if (image) image.src = \"%s/\" + %s;\n"
                               "    window.close();\n"
                               "}\n",
                               params, MOWSL_EDIT_FORM, field.c_str(), field.c_str(), value,
                               image_name.c_str(), location.c_str(), image);
    if (ret == 0)
        ret = script_end(out_def);
    return ret;
}

int collect_name(const char *path, void *ref) noexcept {
    try {
        const char *slash = strrchr(path, '/');
        static_cast<std::vector<std::string> *>(ref)->push_back(slash != nullptr ? slash + 1 : path);
    } catch (const std::bad_alloc &) {
        return 1;
    }
    return 0;
}

int skip_dir(const char *, void *) noexcept {
    return 0;
}

// The graphics of one directory as links that choose them; a missing directory lists none.
int graphic_column(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *heading, const char *dir,
                   const std::string &prefix) noexcept {
    MOX_AUX_T *aux = stype->aux;
    std::vector<std::string> names;
    mo_boolean_t is_dir = FALSE;
    if (aux->file->exists(aux->file, dir) && aux->file->is_dir(aux->file, dir, &is_dir) == 0 && is_dir) {
        int ret = aux->file->expand_dir(aux->file, dir, FALSE, &names, collect_name, skip_dir);
        if (ret != 0)
            return ret;
    }
    std::sort(names.begin(), names.end());
    int ret = out_def->line_fn(out_def, "<TD VALIGN=TOP ALIGN=LEFT><B>%s</B><BR>\n", heading);
    for (const std::string &name : names) {
        if (ret != 0)
            break;
        if (name == "empty" || name[0] == '.')
            continue;
        std::string path = prefix + name;
        ret = out_def->line_fn(
            out_def,
            "<A HREF=\"javascript: UpdateForm('%s');\"><IMG SRC=\"%s/%s\" BORDER=0 ALT=\"%s\"></A> %s<BR>\n",
            html(js(path.c_str()).c_str()).c_str(), html(aux->setup->httpd_image_loc).c_str(),
            html(path.c_str()).c_str(), html(name.c_str()).c_str(), html(name.c_str()).c_str());
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

} // namespace

int mowsl_gchooser_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                           MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_column_arg(stype, arg_at(args, 0), &column);
    if (ret != 0)
        return ret;
    const char *kind = strcmp(arg_at(args, 1), "1") == 0 ? "folders" : "icons";
    mo_filename_t system_dir, user_dir;
    ret = mof_file_build_path(err(aux), system_dir, "%s/system_file_types/%s", aux->setup->image_dir, kind);
    if (ret == 0)
        ret = mof_file_build_path(err(aux), user_dir, "%s/user_file_types/%s", aux->setup->user_image_dir,
                                  kind);
    if (ret != 0)
        return ret;
    try {
        ret = window_title(out_def, "Graphic Chooser");
        if (ret == 0)
            ret = update_form_script(stype, out_def, keyword_of(column), "graphic", "graphic", "graphic");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TABLE SUMMARY=\"\" BORDER=0 CELLPADDING=4 WIDTH=100%%><TR>\n");
        if (ret == 0)
            ret = graphic_column(stype, out_def, "System", system_dir,
                                 std::string("system_file_types/") + kind + "/");
        if (ret == 0)
            ret = graphic_column(stype, out_def, "User", user_dir,
                                 std::string("user_file_types/") + kind + "/");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TR></TABLE>\n");
    } catch (const std::bad_alloc &) {
        err(aux)->report(err(aux), "Out of memory\n");
        ret = 1;
    }
    return ret;
}

int mowsl_color_chooser_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOTSL_STDLIST_KEYWORD_T *column = nullptr;
    int ret = mowsl_column_arg(stype, arg_at(args, 0), &column);
    if (ret != 0)
        return ret;
    ret = window_title(out_def, "Color Chooser");
    if (ret == 0)
        ret = update_form_script(stype, out_def, keyword_of(column), "index, graphic", "index", "graphic");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<TABLE SUMMARY=\"\" BORDER=1 CELLPADDING=6><TR>\n");
    for (const MOTSL_COLORS_T *c = motsl_colors; ret == 0 && c->index != -1; c++) {
        if (c->normal_color[0] != '\0')
            ret = out_def->line_fn(out_def, "<TD BGCOLOR=\"%s\">", c->normal_color);
        else
            ret = out_def->line_fn(out_def, "<TD>");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<A HREF=\"javascript: UpdateForm('%d','%s');\">%s</A></TD>\n",
                                   c->index, c->color_graphic, c->name);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR></TABLE>\n");
    return ret;
}
