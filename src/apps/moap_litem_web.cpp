// The web side of the folder tree: the command sets of the item lists, the cells of the item columns,
// the directory tree with its expand and collapse buttons, new folders and objects in two steps, the
// move window, delete and undelete, the item listing and bookmarks.
//
// Every id that comes with a request is parsed as a decimal before it names an item, and is checked
// against the current list: a new item goes only into the folder being listed and only with an item
// type its placement rule offers there; a move takes only children of that folder. Names go out
// HTML-escaped, links URL-escaped, and texts inside scripts script-escaped.
#include "apps/moap_litem.h"
#include "apps/moap_litem_local.h"

#include "apps/moap_itype.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/mowsl_web_stdlist.h"
#include "stdlist/mowsl_web_stdlist_edit.h"
#include "storage/moil_idlist.h"
#include "storage/mok_key.h"
#include "storage/mosu_subscribe.h"
#include "storage/motc_common.h"
#include "storage/mot_top.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

using namespace moap_litem_local;

namespace {

moap_litem_doc_choices_fn_t doc_choices_fn = nullptr; // the document folders' combinations, when built

const char *arg_at(MOT_TOP_ARG_LIST_T *args, int n) noexcept {
    for (int i = 0; args != nullptr; args = args->next, i++)
        if (i == n)
            return text_of(args->val);
    return "";
}

int arg_count(MOT_TOP_ARG_LIST_T *args) noexcept {
    int n = 0;
    for (; args != nullptr; args = args->next)
        n++;
    return n;
}

const char *frame_of(MOX_AUX_T *aux) noexcept {
    return aux->web != nullptr ? text_of(aux->web->frame) : "";
}

const char *dir_type_of(MOX_AUX_T *aux) noexcept {
    return aux->web != nullptr ? text_of(aux->web->dir_type) : "";
}

MOTSL_ACCESS_DEF_T *def_of(MOT_TOP_STYPE_T *stype) noexcept {
    return static_cast<MOTSL_ACCESS_DEF_T *>(stype->access_ref);
}

bool has_command(MOT_TOP_STYPE_T *stype, const char *name) noexcept {
    auto *ws = static_cast<MOW_WEB_STORAGE_T *>(stype->web_storage_ref);
    for (MOW_WEB_CMD_T *c = ws != nullptr ? ws->cmd_list : nullptr; c != nullptr; c = c->next)
        if (strcmp(c->command_name, name) == 0)
            return true;
    return false;
}

int out_of_memory(MOX_AUX_T *aux) noexcept {
    err(aux)->report(err(aux), "Out of memory\n");
    return 1;
}

int window_title(MOOU_OUT_DEF_T *out_def, const char *title) noexcept {
    return out_def->line_fn(
        out_def,
        "<TABLE VSPACE=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n"
        "<TR><TD BGCOLOR=#9CB2A5><B><FONT color=white>%s</FONT></B>\n</TD></TR></TABLE>\n",
        html(title).c_str());
}

// The item a row shows, following links, and its own record.
int row_target(MOT_TOP_STYPE_T *stype, const MOAP_LITEM_T *l, int *index_id, int *id) noexcept {
    return moap_litem_follow_link(stype->aux->item, index_of(stype), l->id, index_id, id);
}

// The icon and name of a row linked to its item's page.
int icon_and_name(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row, const char *frame,
                  const char *trail, bool target) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const MOAP_LITEM_T *l = litem_of(row->container);
    int idx = 0, id = 0;
    const char *graphic = "";
    mo_string_t link;
    int ret = row_target(stype, l, &idx, &id);
    if (ret == 0)
        ret = moap_litem_get_graphic(aux->item, idx, id, &graphic);
    if (ret == 0)
        ret = moap_litem_get_default_call_of_id(aux, frame, trail, idx, id, nullptr, link);
    if (ret != 0)
        return ret;
    try {
        std::string href = link;
        if (target)
            href += "\" TARGET=\"" + html(frame);
        ret = mow_web_insert_graphic_button(aux, out_def, graphic, "", href.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, " <A HREF=\"%s\">%s</A>", href.c_str(), html(l->name).c_str());
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    return ret;
}

int subscription_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOSU_SUBSCRIBE_T *sub,
                        int id) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int value = 0;
    const char *image = "", *text = "";
    int ret = mosu_subscribe_get_value_by(sub, id, moap_litem_subscribe_parent, aux, &value);
    if (ret == 0)
        ret = mosu_subscribe_get_image(sub, value, &image, &text);
    char id_text[MOTSL_ID_TEXT_LEN];
    snprintf(id_text, sizeof(id_text), "%d", id);
    const char *args[] = {id_text};
    mo_string_t link;
    if (ret == 0)
        ret = mowsl_call_link(stype, "none", "N", "subscribe", args, 1, link);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, image, text, link);
    return ret;
}

} // namespace

// ---------------------------------------------------------------- cells

namespace moap_litem_local {

int name_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                   MOK_DATA_RECORD_T *record) noexcept {
    int ret = out_def->line_fn(out_def, "<TD ALIGN=LEFT NOWRAP>");
    if (ret == 0)
        ret = icon_and_name(stype, out_def, record, frame_of(stype->aux), "A", false);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

int edit_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *,
                   MOK_DATA_RECORD_T *record) noexcept {
    MOX_AUX_T *aux = stype->aux;
    const MOAP_LITEM_T *l = litem_of(record->container);
    int ret = out_def->line_fn(out_def, "<TD NOWRAP>");
    mo_string_t link;
    if (ret == 0 && mowsl_row_editable(stype, record) && has_command(stype, "edit_start")) {
        ret = mowsl_edit_link(stype, l->id, link);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/edit.gif", "Edit Row", link);
    } else if (ret == 0) {
        ret = mow_web_insert_graphic(aux, out_def, "nav/edit_trans.gif");
    }
    if (ret == 0)
        ret = mowsl_history_link(stype, l->id, link);
    if (ret == 0 && link[0] != '\0') {
        ret = out_def->line_fn(out_def, "&nbsp;");
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/history2.gif", "View History Log", link);
    }
    if (ret == 0 && aux->sub_ref != nullptr && strcmp(dir_type_of(aux), "docs") == 0 &&
        index_of(stype) == MOAP_LITEM_INDEX) {
        ret = out_def->line_fn(out_def, "&nbsp;");
        if (ret == 0)
            ret = subscription_button(stype, out_def, aux->sub_ref, l->id);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TD>\n");
    return ret;
}

int access_list_cell(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                     MOK_DATA_RECORD_T *record) noexcept {
    if (is_link(litem_of(record->container)))
        return out_def->line_fn(out_def, "<TD ALIGN=LEFT> See Link </TD>\n");
    return mowsl_list_normal_string(stype, out_def, column, record);
}

namespace {

// The name may be changed for items of user item types and for links.
bool name_editable(MOT_TOP_STYPE_T *stype, const MOAP_LITEM_T *l) noexcept {
    if (is_link(l))
        return true;
    int type = 0;
    MOAP_ITYPE_T *t = nullptr;
    if (moap_itype_find(stype->aux->item, l->itype_id, &t) != 0)
        return false;
    type = t->type;
    return type == MOAP_ITYPE_TYPE_USER;
}

// The access lists are the librarian's to change, and a link has none of its own.
int access_editable(MOT_TOP_STYPE_T *stype, const MOAP_LITEM_T *l, mo_boolean_t *ok) noexcept {
    *ok = FALSE;
    if (is_link(l))
        return 0;
    int user = current_user(stype->aux);
    // The user's own item in the making: the folder's librarian decides.
    if (l->new_ != 0 && l->new_ == user && l->parent_id != 0)
        return item_level(stype->aux, index_of(stype), l->parent_id, MOTSL_ACCESS_LIB, ok);
    return item_level(stype->aux, index_of(stype), l->id, MOTSL_ACCESS_LIB, ok);
}

} // namespace

int name_edit_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                    MOK_DATA_RECORD_T *record) noexcept {
    if (name_editable(stype, litem_of(record->container)))
        return mowsl_edit_start_string_full(stype, out_def, column, record);
    return mowsl_edit_start_show_only(stype, out_def, column, record);
}

int name_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,
                  void *container) noexcept {
    if (!name_editable(stype, litem_of(container)))
        return 0;
    return mowsl_edit_end_string(stype, column, results, container);
}

int access_edit_start(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOTSL_STDLIST_KEYWORD_T *column,
                      MOK_DATA_RECORD_T *record) noexcept {
    mo_boolean_t ok = FALSE;
    int ret = access_editable(stype, litem_of(record->container), &ok);
    if (ret != 0)
        return ret;
    return ok ? mowsl_edit_start_accesslist(stype, out_def, column, record)
              : mowsl_edit_start_show_only(stype, out_def, column, record);
}

int access_edit_end(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, MOW_POST_RESULTS_T *results,
                    void *container) noexcept {
    mo_boolean_t ok = FALSE;
    int ret = access_editable(stype, litem_of(container), &ok);
    if (ret != 0 || !ok)
        return ret;
    return mowsl_edit_end_accesslist(stype, column, results, container);
}

// The inherited part of an access list: the parent's effective list of the same level, as names.
int access_parent_text(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_KEYWORD_T *column, void *container,
                       const char **text) noexcept {
    MOX_AUX_T *aux = stype->aux;
    *text = "";
    const MOAP_LITEM_T *l = litem_of(container);
    if (l->parent_id == 0)
        return 0;
    MOTSL_ACCESS_DEF_T *def = nullptr;
    int ret = moap_litem_get_access_def(aux->item, index_of(stype), l->parent_id, &def);
    if (ret != 0)
        return ret;
    const char *keyword = column->common->gen_keyword.keyword;
    const MOTSL_ACCESSLIST_SET_T &set = strcmp(keyword, "LA") == 0   ? def->lib_list
                                        : strcmp(keyword, "EA") == 0 ? def->edit_list
                                                                     : def->view_list;
    MOIL_ACCESSLIST_T *inherited = nullptr;
    if (set.get_idlist_fn != nullptr)
        ret = set.get_idlist_fn(aux, index_of(stype), l->parent_id, &inherited);
    if (ret != 0 || inherited == nullptr)
        return ret;
    // Named through the column's own text conversion, on a copy of the record holding that list.
    MOAP_LITEM_T *probe = nullptr;
    ret = mome_new(aux->mem, aux->mem->req_pool_ref, &probe);
    if (ret != 0)
        return ret;
    *probe = *l;
    mok_field<MOIL_ACCESSLIST_T *>(probe, column->common->gen_keyword.struct_offset) = inherited;
    return column->common->get_string_fn(column->common, probe, text);
}

} // namespace moap_litem_local

// ---------------------------------------------------------------- the directory tree

namespace {

struct TreeWalk {
    MOT_TOP_STYPE_T *stype;
    MOOU_OUT_DEF_T *out_def;
    std::vector<MOK_DATA_RECORD_T *> visible;
    moap_litem_row_test_fn_t row_test;
    moap_litem_line_fn_t line;
    void *ref;
    MOSU_SUBSCRIBE_T *sub;
    bool buttons;                  // expand and collapse buttons (else every folder is open)
    const MOIL_IDLIST_T *expanded; // the user's open folders
    std::set<int> printed;         // a row is printed once, whatever the tree file says
};

int passes(TreeWalk &w, MOK_DATA_RECORD_T *r, bool *ok) noexcept {
    *ok = false;
    if (!r->access_view)
        return 0;
    mo_boolean_t pass = TRUE;
    int ret = w.row_test != nullptr ? w.row_test(w.stype, r, w.ref, &pass) : 0;
    *ok = ret == 0 && pass;
    return ret;
}

int children_of(TreeWalk &w, int id, std::vector<MOK_DATA_RECORD_T *> *out) noexcept {
    for (MOK_DATA_RECORD_T *r : w.visible) {
        if (litem_of(r->container)->parent_id != id || litem_of(r->container)->id == id)
            continue;
        bool ok = false;
        int ret = passes(w, r, &ok);
        if (ret != 0)
            return ret;
        if (ok)
            out->push_back(r);
    }
    return 0;
}

int dir_button(TreeWalk &w, const char *command, const char *image, const char *alt, int id) noexcept {
    char id_text[MOTSL_ID_TEXT_LEN];
    snprintf(id_text, sizeof(id_text), "%d", id);
    const char *args[] = {strcmp(command, "dir_list_a") == 0 ? "add" : "del", id_text};
    mo_string_t link;
    int ret = mowsl_call_link(w.stype, "none", "N", command, args, 2, link);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(w.stype->aux, w.out_def, image, alt, link);
    return ret;
}

int print_level(TreeWalk &w, const std::vector<MOK_DATA_RECORD_T *> &level, int depth) noexcept {
    MOX_AUX_T *aux = w.stype->aux;
    if (depth > static_cast<int>(w.visible.size()) + 1) {
        err(aux)->report(err(aux), "The folder tree is deeper than it has items: its parents form a loop\n");
        return 1;
    }
    int ret = 0;
    for (MOK_DATA_RECORD_T *r : level) {
        bool ok = false;
        ret = passes(w, r, &ok);
        if (ret != 0)
            return ret;
        const MOAP_LITEM_T *l = litem_of(r->container);
        if (!ok || !w.printed.insert(l->id).second)
            continue;
        std::vector<MOK_DATA_RECORD_T *> children;
        ret = children_of(w, l->id, &children);
        if (ret != 0)
            return ret;
        mo_boolean_t open = TRUE;
        if (w.buttons) {
            open = FALSE;
            moil_check_in_idlist(w.expanded, l->id, &open);
        }
        for (int i = 0; ret == 0 && i < depth; i++)
            ret = w.out_def->line_fn(w.out_def, "&nbsp;&nbsp;&nbsp;");
        if (ret == 0 && w.buttons && !children.empty())
            ret = open ? dir_button(w, "dir_list_d", "bullets/colapse.gif", "Collapse", l->id)
                       : dir_button(w, "dir_list_a", "bullets/expand.gif", "Expand", l->id);
        else if (ret == 0)
            ret = mow_web_insert_graphic(aux, w.out_def, "bullets/blank.gif");
        if (ret == 0 && w.sub != nullptr && strcmp(dir_type_of(aux), "docs") == 0 &&
            index_of(w.stype) == MOAP_LITEM_INDEX)
            ret = subscription_button(w.stype, w.out_def, w.sub, l->id);
        if (ret == 0)
            ret = w.out_def->line_fn(w.out_def, " ");
        if (ret == 0)
            ret = w.line(w.stype, w.out_def, r, w.ref);
        if (ret == 0)
            ret = w.out_def->line_fn(w.out_def, "<BR>\n");
        if (ret == 0 && open && !children.empty())
            ret = print_level(w, children, depth + 1);
        if (ret != 0)
            return ret;
    }
    return ret;
}

bool by_name(MOK_DATA_RECORD_T *a, MOK_DATA_RECORD_T *b) noexcept {
    int c = strcasecmp(text_of(litem_of(a->container)->name), text_of(litem_of(b->container)->name));
    if (c != 0)
        return c < 0;
    return litem_of(a->container)->id < litem_of(b->container)->id;
}

int walk(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *visible,
         const std::vector<MOK_DATA_RECORD_T *> &level, moap_litem_row_test_fn_t row_test,
         moap_litem_line_fn_t line, void *ref, MOSU_SUBSCRIBE_T *sub, int depth, bool buttons) noexcept {
    try {
        TreeWalk w{.stype = stype,
                   .out_def = out_def,
                   .visible = {},
                   .row_test = row_test,
                   .line = line,
                   .ref = ref,
                   .sub = sub,
                   .buttons = buttons,
                   .expanded = nullptr,
                   .printed = {}};
        for (MOK_DATA_RECORD_T *r = visible; r != nullptr; r = r->next)
            if (r->access_view)
                w.visible.push_back(r);
        std::sort(w.visible.begin(), w.visible.end(), by_name);
        MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
        if (ts != nullptr && ts->dir_expand_list != nullptr)
            w.expanded = *ts->dir_expand_list;
        return print_level(w, level, depth);
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype->aux);
    }
}

} // namespace

int moap_litem_print_dir(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *visible,
                         MOK_DATA_RECORD_T *level, moap_litem_row_test_fn_t row_test,
                         moap_litem_line_fn_t line, void *ref, MOSU_SUBSCRIBE_T *sub, int depth) noexcept {
    try {
        std::vector<MOK_DATA_RECORD_T *> rows;
        for (MOK_DATA_RECORD_T *r = level; r != nullptr; r = r->next)
            rows.push_back(r);
        std::sort(rows.begin(), rows.end(), by_name);
        return walk(stype, out_def, visible, rows, row_test, line, ref, sub, depth,
                    has_command(stype, "dir_list_a"));
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype->aux);
    }
}

int moap_litem_list_start_content(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                                  void *) noexcept {
    return icon_and_name(stype, out_def, row, "content", "R", strcmp(frame_of(stype->aux), "content") != 0);
}

int moap_litem_list_start_same_frame(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                                     void *) noexcept {
    return icon_and_name(stype, out_def, row, frame_of(stype->aux), "A", false);
}

namespace {

// The tree's own list shows every committed folder; the column shows those the user may see.
int view_row_test(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *row, void *, mo_boolean_t *ok) noexcept {
    return moap_litem_check_view(stype->aux, index_of(stype), litem_of(row->container)->id, ok);
}

} // namespace

int moap_litem_insert_dir(MOT_TOP_STYPE_T *stype, const char *title, int item_id, MOOU_OUT_DEF_T *out_def,
                          MOK_DATA_RECORD_T *rows) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOK_DATA_RECORD_T *first = rows;
    int ret = 0;
    if (first == nullptr)
        ret = mowsl_list_read(stype, &first);
    if (ret != 0)
        return ret;
    ret = out_def->line_fn(out_def,
                           "<TABLE CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n<TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "  <TD CLASS=DirTitle> %s </TD>\n", html(title).c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TR>\n<TR><TD BGCOLOR=#FFFAF2><NOBR>\n");
    try {
        std::vector<MOK_DATA_RECORD_T *> level;
        for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
            if (r->access_view && litem_of(r->container)->parent_id == item_id &&
                litem_of(r->container)->id != item_id)
                level.push_back(r);
        std::sort(level.begin(), level.end(), by_name);
        if (ret == 0)
            ret = walk(stype, out_def, first, level, view_row_test, moap_litem_list_start_content, nullptr,
                       aux->sub_ref, 0, has_command(stype, "dir_list_a"));
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</NOBR></TD></TR>\n</TABLE>\n");
    return ret;
}

// ---------------------------------------------------------------- the move window

namespace {

// Folders the user may see (links and documents are never destinations).
int move_row_test(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *row, void *, mo_boolean_t *ok) noexcept {
    const MOAP_LITEM_T *l = litem_of(row->container);
    *ok = FALSE;
    if (l->delete_status != 0 || l->new_ != 0 || !is_folder(stype->aux->item, index_of(stype), l))
        return 0;
    return moap_litem_check_view(stype->aux, index_of(stype), l->id, ok);
}

} // namespace

int moap_litem_name_mod_parent(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOK_DATA_RECORD_T *row,
                               void *ref) noexcept {
    MOX_AUX_T *aux = stype->aux;
    auto *page = static_cast<MOT_TOP_STYPE_T *>(ref);
    MOAP_LITEM_STORAGE_T *s = storage_of(page);
    const MOAP_LITEM_T *l = litem_of(row->container);
    const char *reason = "";
    mo_boolean_t ok = FALSE;
    const char *graphic = "";
    int ret = s->check_move_fn(aux, s->index_id, s->from_parent_id, l->id, s->idlist, &reason, &ok);
    if (ret == 0)
        ret = moap_litem_get_graphic(aux->item, s->index_id, l->id, &graphic);
    if (ret != 0)
        return ret;
    bool current = l->id == s->from_parent_id;
    try {
        std::string name = (current ? "<B>" : "") + html(l->name) + (current ? "</B>" : "");
        if (ok) {
            char dest[MOTSL_ID_TEXT_LEN];
            snprintf(dest, sizeof(dest), "%d", l->id);
            const char *args[] = {dest, text_of(s->idlist_string)};
            mo_string_t link;
            ret = mowsl_call_link(page, "none", "N", "imove2", args, 2, link);
            if (ret == 0)
                ret = mow_web_insert_graphic_button(aux, out_def, "nav/imove.gif", "Move Selected Under Here",
                                                    link);
            if (ret == 0)
                ret = out_def->line_fn(out_def, " <A HREF=\"%s\" TITLE=\"Move Selected Under Here\">%s</A>",
                                       link, name.c_str());
            return ret;
        }
        ret = out_def->line_fn(out_def, "<IMG BORDER=0 %s ALT=\"%s\" TITLE=\"%s\"> %s <I>(%s)</I>",
                               mow_web_get_image_location(aux, graphic), html(reason).c_str(),
                               html(reason).c_str(), name.c_str(), html(reason).c_str());
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    return ret;
}

namespace {

// The ids of a move request: each a child of the listed folder that the user sees there.
int moved_ids(MOT_TOP_STYPE_T *stype, const char *from_text, const char *ids_text, int *from_parent,
              MOIL_IDLIST_T **ids) noexcept {
    MOX_AUX_T *aux = stype->aux;
    if (motsl_parse_id(from_text, from_parent) != 0 || *from_parent != current_list(stype)) {
        err(aux)->report(err(aux), "Items are moved only from the folder being listed\n");
        return 1;
    }
    int ret = moap_litem_parse_idlist(aux, ids_text, ids);
    MOK_DATA_RECORD_T *first = nullptr;
    if (ret == 0)
        ret = mowsl_list_read(stype, &first);
    for (const MOIL_IDLIST_T *n = *ids; ret == 0 && n != nullptr; n = n->next) {
        bool found = false;
        for (MOK_DATA_RECORD_T *r = first; r != nullptr && !found; r = r->next)
            found = litem_of(r->container)->id == n->id && r->access_view;
        if (!found) {
            err(aux)->report(err(aux), "Can't move the ID %d. Possibly locked by someone else.\n", n->id);
            ret = 1;
        }
    }
    return ret;
}

int imove_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "blank", "N", "imove", nullptr, 0, call_string);
}

int imove2_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "none", "N", "imove2", nullptr, 0, call_string);
}

int imove_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                  MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOAP_LITEM_STORAGE_T *s = storage_of(stype);
    int from_parent = 0;
    MOIL_IDLIST_T *ids = nullptr;
    int ret = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = moved_ids(stype, arg_at(args, 0), arg_at(args, 1), &from_parent, &ids);
    if (ret != 0)
        return ret;
    // The items stay the user's between the two steps; a lock that is not had gives all back.
    for (const MOIL_IDLIST_T *n = ids; ret == 0 && n != nullptr; n = n->next) {
        ret = moap_litem_update_lock(aux, MOLK_ELEMENT_TAKE, n->id);
        if (ret != 0) {
            err(aux)->report(err(aux), "Can't move the ID %d. Possibly locked by someone else.\n", n->id);
            mowsl_release_element_locks(stype);
        }
    }
    if (ret != 0)
        return ret;
    char *joined = nullptr;
    ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &joined, arg_at(args, 1));
    if (ret != 0)
        return ret;
    s->from_parent_id = from_parent;
    s->idlist = ids;
    s->idlist_string = joined;
    s->check_move_fn = moap_litem_check_move_item;
    // The tree from the top of the from-folder's branch down.
    int top = from_parent;
    MOIL_IDLIST_T *ancestors = nullptr;
    ret = moap_litem_get_ancestors(aux->item, index_of(stype), from_parent, &ancestors);
    for (const MOIL_IDLIST_T *n = ancestors; n != nullptr; n = n->next)
        top = n->id;
    MOT_TOP_STYPE_T *tree = nullptr;
    MOK_DATA_RECORD_T *first = nullptr;
    if (ret == 0)
        ret = tree_stype(aux, index_of(stype), &tree);
    if (ret == 0)
        ret = mowsl_list_read(tree, &first);
    if (ret == 0)
        ret = window_title(out_def, "Move");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "To move selected items<BR>choose a new location<P>\n<NOBR>\n");
    try {
        std::vector<MOK_DATA_RECORD_T *> level;
        for (MOK_DATA_RECORD_T *r = first; r != nullptr; r = r->next)
            if (litem_of(r->container)->id == top)
                level.push_back(r);
        // The top item shows even where the tree's own list leaves it out.
        for (MOK_DATA_RECORD_T *r : level)
            r->access_view = TRUE;
        if (ret == 0)
            ret = walk(tree, out_def, first, level, move_row_test, moap_litem_name_mod_parent, stype, nullptr,
                       0, false);
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    const char *cancel_args[] = {"cancel"};
    mo_string_t cancel;
    if (ret == 0)
        ret = mowsl_call_link(stype, "none", "N", "imove2", cancel_args, 1, cancel);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</NOBR><P>\n");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/cancel.gif", "Cancel", cancel);
    if (ret == 0)
        ret = out_def->line_fn(out_def, " <A HREF=\"%s\">Cancel</A>\n", cancel);
    return ret;
}

int imove2_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                   MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    if (arg_count(args) == 1) {
        if (strcmp(arg_at(args, 0), "cancel") != 0) {
            err(aux)->report(err(aux), "Unknown argument %s of imove2\n", arg_at(args, 0));
            mowsl_release_element_locks(stype);
            return 1;
        }
        int ret = mowsl_release_element_locks(stype);
        return ret != 0 ? ret
                        : mowsl_reload(stype, out_def, TRUE, MOWSL_RELOAD_NONE, MOWSL_RELOAD_NONE,
                                       MOWSL_RELOAD_NONE);
    }
    int destination = 0;
    MOIL_IDLIST_T *ids = nullptr;
    int ret = 0;
    if (motsl_parse_id(arg_at(args, 0), &destination) != 0 || destination <= 0) {
        err(aux)->report(err(aux), "The destination %s is not an id\n", arg_at(args, 0));
        ret = 1;
    }
    if (ret == 0)
        ret = moap_litem_parse_idlist(aux, arg_at(args, 1), &ids);
    if (ret == 0)
        ret = moap_litem_move_items(aux, index_of(stype), current_list(stype), destination, ids);
    // The items' locks are given back whatever happened.
    int release = mowsl_release_element_locks(stype);
    if (ret == 0)
        ret = release;
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, TRUE, MOWSL_RELOAD_OPENER, MOWSL_RELOAD_OPENER_DIR,
                           MOWSL_RELOAD_NONE);
    return ret;
}

int imove_build_init(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    char from[MOTSL_ID_TEXT_LEN];
    snprintf(from, sizeof(from), "%d", current_list(stype));
    const char *args[] = {from};
    mo_string_t link;
    int ret = mowsl_call_link(stype, "blank", "N", "imove", args, 1, link);
    if (ret != 0)
        return ret;
    try {
        return out_def->line_fn(
            out_def,
            "<script language=\"javascript\" type=\"text/javascript\">\n"
            "<!--\n"
            "function submit_imove() {\n"
            "    var form = document.picker;\n"
            "    var ids = \"\";\n"
            "    for (var i = 0; i < form.elements.length; i++) {\n"
            "        if (form.elements[i].name == \"PICKER_CHECK\" && form.elements[i].checked) {\n"
            "            ids = ids == \"\" ? form.elements[i].value : ids + \"_\" + form.elements[i].value;\n"
            "        }\n"
            "    }\n"
            "    if (ids == \"\") {\n"
            "        alert(\"Choose the items to move first\");\n"
            "        return;\n"
            "    }\n"
            "    NewWindow(\"%s\" + \"&\" + ids, 'imove', '%d', '%d', 'yes');\n"
            "}\n"
            "// -->\n"
            "</script>\n",
            js(link).c_str(), MOAP_LITEM_MOVE_WINDOW_W, MOAP_LITEM_MOVE_WINDOW_H);
    } catch (const std::bad_alloc &) {
        return out_of_memory(stype->aux);
    }
}

int imove_button(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    const char *link = "javascript: submit_imove();";
    int ret = out_def->line_fn(out_def, "&nbsp; ");
    if (ret == 0)
        ret =
            mow_web_insert_graphic_button(stype->aux, out_def, "nav/imove.gif", "Move selected items", link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Move</A>", link);
    return ret;
}

// The move is the picker's button and its window's commands: the posted list form has nothing for it.
int imove_picker_service(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *, MOT_TOP_REQ_T *, mo_boolean_t *acted) noexcept {
    *acted = FALSE;
    return 0;
}

// ---------------------------------------------------------------- delete and undelete

int delete_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *req,
                   mo_boolean_t *acted) noexcept {
    *acted = FALSE;
    MOW_POST_RESULTS_T *form = req != nullptr ? req->results_ref : nullptr;
    const char *mode_text = nullptr;
    for (MOW_POST_RESULTS_T *r = form; r != nullptr && r->name != nullptr && mode_text == nullptr; r++)
        if (strcmp(r->name, "DELETE_ALL") == 0)
            mode_text = r->val;
    int mode = mode_text == nullptr                 ? 0
               : strcmp(mode_text, "delete") == 0   ? MOWSL_MODE_DELETE
               : strcmp(mode_text, "undelete") == 0 ? MOWSL_MODE_UNDELETE
                                                    : 0;
    if (mode == 0)
        return 0;
    *acted = TRUE;
    if (!mowsl_picker_allowed(stype, mode == MOWSL_MODE_DELETE ? "delete" : "undelete")) {
        err(stype->aux)
            ->report(err(stype->aux), "The entries of %s can't be %s here\n", stype->name,
                     mode == MOWSL_MODE_DELETE ? "deleted" : "undeleted");
        return 1;
    }
    mo_boolean_t done = FALSE;
    int ret = mowsl_delete_service_basic(stype, out_def, form, &done, mode);
    if (ret == 0)
        ret = mowsl_reload(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, MOWSL_RELOAD_DIR, MOWSL_RELOAD_NONE);
    return ret;
}

// ---------------------------------------------------------------- new folders and objects

int new_window_call(MOT_TOP_STYPE_T *stype, const char *command, char *call_string) noexcept {
    return mowsl_window_link(stype, command, nullptr, 0, MOAP_LITEM_NEW_WINDOW_W, MOAP_LITEM_NEW_WINDOW_H,
                             call_string);
}
int new_folder_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return new_window_call(stype, "new_folder", call_string);
}
int new_doc_folder_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return new_window_call(stype, "new_doc_folder", call_string);
}
int new_object_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return new_window_call(stype, "new_object", call_string);
}
// A creation step stays out of the trail: the saved form goes back to the folder's list, never to a
// step that would make another new item.
int new_folder2_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "content", "N", "new_folder2", nullptr, 0, call_string);
}
int new_object2_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "content", "N", "new_object2", nullptr, 0, call_string);
}

// The type of the listed folder (following links).
int current_type(MOT_TOP_STYPE_T *stype, int *itype_id) noexcept {
    int idx = 0, id = 0;
    int ret = moap_litem_follow_link(stype->aux->item, index_of(stype), current_list(stype), &idx, &id);
    return ret != 0 ? ret : moap_litem_get_itype_id(stype->aux->item, idx, id, nullptr, itype_id);
}

// The link the choosers send the opener to: the second step with the listed folder as parent (kept
// out of the trail, as above).
int second_step_link(MOT_TOP_STYPE_T *stype, const char *command, char *link) noexcept {
    char parent[MOTSL_ID_TEXT_LEN];
    snprintf(parent, sizeof(parent), "%d", current_list(stype));
    const char *args[] = {parent};
    return mowsl_call_link(stype, "content", "N", command, args, 1, link);
}

int new_choice_page(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *what, int object_type,
                    const char *second_step) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int parent_type = 0;
    MOIL_IDLIST_T *offered = nullptr;
    mo_string_t link;
    int ret = current_type(stype, &parent_type);
    if (ret == 0)
        ret = moap_itype_get_dir_type_list(aux->item, parent_type, object_type, &offered);
    if (ret == 0)
        ret = second_step_link(stype, second_step, link);
    std::string title;
    try {
        title = std::string("New ") + what;
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    if (ret == 0)
        ret = window_title(out_def, title.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "Choose the type of the new %s<P>\n", what);
    if (ret == 0 && offered == nullptr)
        ret = out_def->line_fn(out_def, "Nothing can be made here.<BR>\n");
    if (ret == 0)
        ret = moap_itype_plain_chooser(aux->item, out_def, link, offered);
    return ret;
}

int new_folder_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                       MOT_TOP_ARG_LIST_T *) noexcept {
    return new_choice_page(stype, out_def, "Folder", MOAP_ITYPE_FOLDER, "new_folder2");
}

int new_object_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                       MOT_TOP_ARG_LIST_T *) noexcept {
    return new_choice_page(stype, out_def, "Object", MOAP_ITYPE_OBJECT, "new_object2");
}

int new_doc_folder_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *web_cmd,
                           MOT_TOP_REQ_T *req, MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int parent_type = 0;
    int ret = current_type(stype, &parent_type);
    const MOAP_ITYPE_DOC_CHOICE_T *choices = nullptr;
    int count = 0;
    if (ret == 0 && doc_choices_fn != nullptr)
        ret = doc_choices_fn(aux, parent_type, &choices, &count);
    if (ret != 0)
        return ret;
    // Without document folder combinations the plain item types are offered.
    if (doc_choices_fn == nullptr)
        return new_folder_service(stype, out_def, web_cmd, req, args);
    mo_string_t link;
    ret = second_step_link(stype, "new_folder2", link);
    if (ret == 0)
        ret = window_title(out_def, "New Folder");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "Choose the type of the new Doc Folder and Numbering Scheme<P>\n");
    if (ret == 0)
        ret = moap_itype_doc_chooser(aux->item, out_def, link, choices, count,
                                     count > 0 ? choices[0].type_id : 0);
    return ret;
}

int new_second_step(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOT_TOP_ARG_LIST_T *args,
                    int object_type) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOAP_LITEM_STORAGE_T *s = storage_of(stype);
    int parent = 0, itype = 0;
    // A new item goes only into the folder being listed.
    if (motsl_parse_id(arg_at(args, 0), &parent) != 0 || parent == 0 || parent != current_list(stype)) {
        err(aux)->report(err(aux), "A new item is made only in the folder being listed\n");
        return 1;
    }
    int ret = 0;
    if (arg_count(args) >= 2) {
        if (motsl_parse_id(arg_at(args, 1), &itype) != 0) {
            err(aux)->report(err(aux), "The item type %s is not an id\n", arg_at(args, 1));
            return 1;
        }
    } else {
        ret = current_type(stype, &itype);
        if (ret != 0)
            return ret;
    }
    if (itype == 0) {
        err(aux)->report(err(aux),
                         "Can't proceed as the type is 0. You may have a problem with your browser not "
                         "understanding javascript");
        return 1;
    }
    // Only a type the folder's placement rule offers, and not a deleted one.
    int parent_type = 0;
    MOIL_IDLIST_T *offered = nullptr;
    mo_boolean_t allowed = FALSE;
    ret = current_type(stype, &parent_type);
    if (ret == 0)
        ret = moap_itype_get_dir_type_list(aux->item, parent_type, object_type, &offered);
    if (ret == 0)
        moil_check_in_idlist(offered, itype, &allowed);
    if (ret == 0 && !allowed) {
        const char *name = "";
        moap_itype_get_name(aux->item, parent_type, &name);
        err(aux)->report(err(aux), "Item type %d can't be made in a folder of type %s\n", itype, name);
        return 1;
    }
    char *parent_text = nullptr;
    if (ret == 0)
        ret = aux->mem->store_string(aux->mem, aux->mem->req_pool_ref, &parent_text, arg_at(args, 0));
    if (ret != 0)
        return ret;
    s->parent_id_string = parent_text;
    s->parent_type_id = parent_type;
    s->parent_id = parent;
    s->parent_index = index_of(stype);
    s->itype_id = itype;
    s->ftype_id = 0;
    s->name = nullptr;
    s->link_id_list = nullptr;
    s->calling_stype = stype;
    int id = 0;
    ret = mowsl_create_new_shell(stype, TRUE, &id);
    s->parent_id = 0;
    s->itype_id = 0;
    if (ret != 0)
        return ret;
    char value[MOTSL_ID_TEXT_LEN];
    snprintf(value, sizeof(value), "%d", id);
    return mowsl_edit_start_service_basic(stype, out_def, "ID", value);
}

int new_folder2_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                        MOT_TOP_ARG_LIST_T *args) noexcept {
    return new_second_step(stype, out_def, args, MOAP_ITYPE_FOLDER);
}

int new_object2_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                        MOT_TOP_ARG_LIST_T *args) noexcept {
    return new_second_step(stype, out_def, args, MOAP_ITYPE_OBJECT);
}

// ---------------------------------------------------------------- editing items

// The row named by ("ID", id) must be one of this list that the user may edit.
int item_edit_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *args, mo_boolean_t *ok,
                     const char **message) noexcept {
    *ok = FALSE;
    if (message != nullptr)
        *message = nullptr;
    if (args == nullptr) {
        // Asked for a button: the list's own edit test.
        MOTSL_ACCESS_DEF_T *def = def_of(stype);
        return def != nullptr && def->edit.cmd_fn != nullptr
                   ? def->edit.cmd_fn(stype, nullptr, nullptr, ok, message)
                   : 0;
    }
    int id = 0;
    if (strcmp(arg_at(args, 0), "ID") != 0 || motsl_parse_id(arg_at(args, 1), &id) != 0 || id <= 0) {
        err(stype->aux)
            ->report(err(stype->aux), "Elements of %s are edited by their ID, not by %s\n", stype->name,
                     arg_at(args, 0));
        return 1;
    }
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = mowsl_list_read(stype, &first);
    for (MOK_DATA_RECORD_T *r = first; ret == 0 && r != nullptr; r = r->next)
        if (litem_of(r->container)->id == id)
            *ok = mowsl_row_editable(stype, r);
    return ret;
}

int edit_end_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *req,
                     MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int id = 0;
    motsl_parse_id(arg_at(args, 1), &id);
    bool was_new = false;
    MOK_DATA_RECORD_T *first = nullptr;
    int ret = mowsl_list_read(stype, &first);
    for (MOK_DATA_RECORD_T *r = first; ret == 0 && r != nullptr; r = r->next)
        if (litem_of(r->container)->id == id)
            was_new = litem_of(r->container)->new_ != 0;
    mo_boolean_t cancelled = FALSE;
    if (ret == 0)
        ret = mowsl_edit_end_service_basic(stype, out_def, args, req != nullptr ? req->results_ref : nullptr,
                                           &cancelled);
    if (ret != 0)
        return ret;
    mo_string_t link;
    mo_boolean_t found = FALSE;
    ret = mowsl_trail_link(aux, "A", link, &found);
    if (ret == 0 && aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/html");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<HTML><HEAD><TITLE>Reload</TITLE>\n</HEAD>\n<BODY>\n");
    if (ret == 0)
        ret = mow_web_insert_warning(aux, out_def, aux->error->warning_msg);
    // A pop-up closes (a new item reloads its opener); the content frame goes back along the trail, and
    // a new item shows in the directory column.
    bool show_new = was_new && !cancelled;
    try {
        if (ret == 0)
            ret = out_def->line_fn(
                out_def,
                "<script language=\"JavaScript\" type=\"text/javascript\">\n<!--  Hide me please!\n"
                "if (window.opener && !window.opener.closed) {\n"
                "%s"
                "    window.close();\n"
                "} else {\n"
                "%s"
                "%s"
                "}\n//--></script>\n</BODY>\n</HTML>\n",
                show_new ? "    window.opener.location.reload(); \n" : "",
                found ? ("    location =\"" + js(link) + "\"\n").c_str() : "    history.back();\n",
                show_new ? "    if (top.dir) top.dir.location.reload(); \n" : "");
    } catch (const std::bad_alloc &) {
        return out_of_memory(aux);
    }
    return ret;
}

// ---------------------------------------------------------------- item listing

int idlist_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "none", "N", "idlist", nullptr, 0, call_string);
}

int blist_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return mowsl_call_link(stype, "none", "N", "blist", nullptr, 0, call_string);
}

int idlist_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                   MOT_TOP_ARG_LIST_T *args) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOIT_ITEM_T *item = aux->item;
    const char *root = arg_at(args, 0);
    bool docs = strcmp(root, "Docs") == 0;
    if (!docs && strcmp(root, "Root") != 0) {
        err(aux)->report(err(aux), "Don't understand the root_dir argument. Only Docs allowed\n");
        return 1;
    }
    int index_id = index_of(stype);
    MOIL_IDLIST_T *doc_types = nullptr;
    int ret = docs ? moap_itype_get_idlist_of_sys_type(item, MOAP_ITYPE_ORIGIN_DOC_FOLDER, &doc_types) : 0;
    MOTSL_DATASTRUCT_T *data = tree_data(item, index_id);
    if (ret == 0 && data == nullptr) {
        err(aux)->report(err(aux), "The folder tree %d has not been read\n", index_id);
        ret = 1;
    }
    if (ret == 0 && aux->web != nullptr)
        ret = aux->web->send_content_type(aux->web, out_def, 0, "text/plain");
    for (MOK_DATA_RECORD_T *r = data != nullptr ? data->data_record : nullptr; ret == 0 && r != nullptr;
         r = r->next) {
        const MOAP_LITEM_T *l = litem_of(r->container);
        if (l->delete_status != 0 || l->new_ != 0)
            continue;
        mo_boolean_t wanted = TRUE;
        if (docs)
            moil_check_in_idlist(doc_types, l->itype_id, &wanted);
        if (!wanted)
            continue;
        // Below a deleted folder an item is gone with it.
        MOIL_IDLIST_T *ancestors = nullptr;
        ret = moap_litem_get_ancestors(item, index_id, l->id, &ancestors);
        bool hidden = false;
        for (const MOIL_IDLIST_T *n = ancestors; ret == 0 && n != nullptr && !hidden; n = n->next) {
            mo_boolean_t deleted = FALSE;
            const char *name = "";
            ret = moap_litem_get_name(item, index_id, n->id, &deleted, &name);
            hidden = deleted != FALSE;
        }
        if (ret != 0 || hidden)
            continue;
        mo_boolean_t ok = FALSE;
        ret = moap_litem_check_view(aux, index_id, l->id, &ok);
        if (ret != 0 || !ok)
            continue;
        const char *path = "";
        ret = motsl_get_full_path(aux, index_id, l->id, &path);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s = %d\n", path, l->id);
    }
    return ret;
}

// ---------------------------------------------------------------- bookmarks

int bkmark_create(MOT_TOP_STYPE_T *stype) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int parent = 0, id = 0;
    int ret = moap_litem_find_sys_id(aux->item, MOAP_LITEM_INDEX_BKMARK, MOAP_LITEM_SYS_KIND,
                                     MOAP_BKMARK_SYS_COMPANY, &parent);
    if (ret == 0)
        ret = moap_litem_create_new_bkmark(aux, index_of(stype), current_list(stype), parent, &id);
    return ret;
}

// ---------------------------------------------------------------- registration

int base_view_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *cmd, MOT_TOP_ARG_LIST_T *args, mo_boolean_t *ok,
                     const char **message) noexcept {
    MOTSL_ACCESS_DEF_T *def = def_of(stype);
    *ok = FALSE;
    if (def == nullptr || def->view.cmd_fn == nullptr)
        return 0;
    return def->view.cmd_fn(stype, cmd, args, ok, message);
}

struct Cmd {
    const char *name;
    int min_args;
    int max_args;
    mow_web_call_fn_t call;
    mow_web_access_fn_t access;
    mow_web_service_fn_t service;
};

int register_cmds(MOT_TOP_STYPE_T *stype, void *pool, const Cmd *cmds, size_t count) noexcept {
    int ret = 0;
    for (size_t i = 0; ret == 0 && i < count; i++)
        ret = mow_web_cmd_register(stype, pool, cmds[i].name, cmds[i].min_args, cmds[i].max_args,
                                   cmds[i].call, cmds[i].access, cmds[i].service);
    return ret;
}

int missing(MOT_TOP_STYPE_T *stype, const char *what) noexcept {
    err(stype->aux)
        ->report(err(stype->aux), "The %s access of stype %s has no command test\n", what, stype->name);
    return 1;
}

} // namespace

namespace moap_litem_local {

int reload_after_change(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, bool close) noexcept {
    return close
               ? mowsl_reload(stype, out_def, TRUE, MOWSL_RELOAD_OPENER, MOWSL_RELOAD_OPENER_DIR,
                              MOWSL_RELOAD_NONE)
               : mowsl_reload(stype, out_def, FALSE, MOWSL_RELOAD_TRAIL, MOWSL_RELOAD_DIR, MOWSL_RELOAD_NONE);
}

int register_web(MOT_TOP_STYPE_T *stype, CmdSet set, mow_web_button_fn_t button_fn) noexcept {
    void *pool = stype->aux->mem->session_pool_ref;
    MOTSL_ACCESS_DEF_T *def = def_of(stype);
    if (def == nullptr) {
        err(stype->aux)
            ->report(err(stype->aux), "Stype %s has no access definition for its web commands\n",
                     stype->name);
        return 1;
    }
    int ret = mow_web_init_storage(stype, pool, button_fn);
    if (ret != 0)
        return ret;
    switch (set) {
        case CmdSet::base: {
            // The item listing takes one argument: it comes before the list pages' own "blist".
            const Cmd first[] = {
                {"idlist", 1, 1, idlist_call, base_view_access, idlist_service},
                {"blist", 1, 1, blist_call, base_view_access, idlist_service},
            };
            ret = register_cmds(stype, pool, first, 2);
            if (ret == 0)
                ret = mowsl_default_stdlist_web_register(stype, pool, base_view_access);
            if (ret == 0)
                ret = mowsl_dir_list_register(stype, pool, base_view_access);
            const Cmd edit[] = {
                {"edit_start", 2, 2, mowsl_edit_start_call, item_edit_access, mowsl_edit_start_service},
                {"edit_end", 2, 2, mowsl_edit_end_call, item_edit_access, edit_end_service},
            };
            if (ret == 0)
                ret = register_cmds(stype, pool, edit, 2);
            return ret;
        }
        case CmdSet::folder: {
            if (def->view.cmd_fn == nullptr)
                return missing(stype, "view");
            if (def->lib_list.cmd_fn == nullptr || def->add.cmd_fn == nullptr ||
                def->move.cmd_fn == nullptr || def->picker_fn == nullptr)
                return missing(stype, "lib, add, move or picker");
            ret = mowsl_default_stdlist_web_register(stype, pool, def->view.cmd_fn);
            if (ret == 0)
                ret = mowsl_view_register(stype, pool);
            const Cmd cmds[] = {
                {"edit_start", 2, 2, mowsl_edit_start_call, item_edit_access, mowsl_edit_start_service},
                {"edit_adv", 2, 2, mowsl_edit_adv_call, item_edit_access, mowsl_edit_adv_service},
                {"edit_end", 2, 2, mowsl_edit_end_call, item_edit_access, edit_end_service},
                {"new_folder", 0, 0, new_folder_call, def->lib_list.cmd_fn, new_folder_service},
                {"new_doc_folder", 0, 0, new_doc_folder_call, def->lib_list.cmd_fn, new_doc_folder_service},
                {"new_folder2", 1, 2, new_folder2_call, def->lib_list.cmd_fn, new_folder2_service},
                {"new_object", 0, 0, new_object_call, def->add.cmd_fn, new_object_service},
                {"new_object2", 2, 2, new_object2_call, def->add.cmd_fn, new_object2_service},
                {"imove", 2, 2, imove_call, def->move.cmd_fn, imove_service},
                {"imove2", 1, 2, imove2_call, def->move.cmd_fn, imove2_service},
            };
            if (ret == 0)
                ret = register_cmds(stype, pool, cmds, sizeof(cmds) / sizeof(cmds[0]));
            if (ret == 0)
                ret = mow_web_picker_cmd_register(stype, pool, "delete", TRUE, mowsl_delete_build_init,
                                                  def->picker_fn, mowsl_delete_button, delete_service);
            if (ret == 0)
                ret = mow_web_picker_cmd_register(stype, pool, "imove", TRUE, imove_build_init,
                                                  def->picker_fn, imove_button, imove_picker_service);
            if (ret == 0)
                ret = mowsl_bkmark_register(stype, pool, def->view.cmd_fn, bkmark_create);
            return ret;
        }
        case CmdSet::deleted: {
            if (def->delete_.cmd_fn == nullptr || def->picker_fn == nullptr)
                return missing(stype, "delete");
            ret = mowsl_default_stdlist_web_register(stype, pool, def->delete_.cmd_fn);
            if (ret == 0)
                ret = mow_web_picker_cmd_register(stype, pool, "undelete", TRUE, mowsl_delete_build_init,
                                                  def->picker_fn, mowsl_undelete_button, delete_service);
            const Cmd cmds[] = {
                {"edit_start", 2, 2, mowsl_edit_start_call, item_edit_access, mowsl_edit_start_service},
                {"edit_end", 2, 2, mowsl_edit_end_call, item_edit_access, edit_end_service},
            };
            if (ret == 0)
                ret = register_cmds(stype, pool, cmds, 2);
            if (ret == 0)
                ret = mowsl_view_register(stype, pool);
            return ret;
        }
        case CmdSet::history:
        case CmdSet::none:
            return 0;
    }
    return 0;
}

} // namespace moap_litem_local

// ---------------------------------------------------------------- button bars

namespace {

int folder_bar(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type, void *record, bool folder,
               bool object, bool doc_folder) noexcept {
    int ret = mowsl_button_full_no_add(stype, out_def, display_type, record);
    if (ret != 0 || display_type != MOWSL_DTYPE_LIST)
        return ret;
    if (folder)
        ret = mowsl_insert_cmd_button(stype, out_def, "new_folder", "nav/new_folder.gif", "New Folder",
                                      "New Folder");
    if (ret == 0 && doc_folder)
        ret = mowsl_insert_cmd_button(stype, out_def, "new_doc_folder", "nav/new_folder.gif", "New Folder",
                                      "New Folder");
    if (ret == 0 && object)
        ret = mowsl_insert_cmd_button(stype, out_def, "new_object", "nav/new_object.gif", "New Object",
                                      "New Object");
    if (ret == 0)
        ret = mowsl_insert_cmd_button(stype, out_def, "bkmark", "nav/bkmark.gif", "Bookmark this folder",
                                      "Bookmark");
    return ret;
}

} // namespace

int moap_litem_button_folder_and_object(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                        void *record) noexcept {
    return folder_bar(stype, out_def, display_type, record, true, true, false);
}

int moap_litem_button_doc_folder_only(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                      void *record) noexcept {
    return folder_bar(stype, out_def, display_type, record, false, false, true);
}

int moap_litem_button_folder_only(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int display_type,
                                  void *record) noexcept {
    return folder_bar(stype, out_def, display_type, record, true, false, false);
}

void moap_litem_set_doc_choices(moap_litem_doc_choices_fn_t fn) noexcept {
    doc_choices_fn = fn;
}
