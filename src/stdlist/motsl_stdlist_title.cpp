// Page titles of the lists, paths of folder items, and the request link of a list.
//
// Titles show item names and element texts that users typed: they go out HTML-escaped. Links carry
// request arguments: everything but plain letters, digits and "_.-" is percent-encoded, and the
// ids are the parsed "%d" forms.
#include "stdlist/motsl_stdlist.h"
#include "stdlist/motsl_stdlist_local.h"

#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"

#include <algorithm>
#include <set>
#include <cstring>
#include <string>
#include <vector>

using namespace motsl_local;

namespace {

std::string html_escape(const char *text) {
    std::string out;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        switch (*p) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

std::string url_arg(const char *text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char *p = text != nullptr ? text : ""; *p != '\0'; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
            c == '.' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

MOTSL_ITEM_HOOKS_T *names_of(MOX_AUX_T *aux) noexcept {
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    if (item == nullptr || item->get_name == nullptr || item->get_parent_id == nullptr) {
        err(aux)->report(err(aux), "There is no folder tree to name items\n");
        return nullptr;
    }
    return item;
}

// The items from the top down to item_id; a parent loop is refused.
int path_items(MOX_AUX_T *aux, int index_id, int item_id, std::vector<int> *items) noexcept {
    MOTSL_ITEM_HOOKS_T *item = names_of(aux);
    if (item == nullptr)
        return 1;
    std::set<int> seen;
    for (int id = item_id; id != 0;) {
        if (!seen.insert(id).second) {
            err(aux)->report(err(aux), "The parents of item %d form a loop in folder tree %d\n", item_id,
                             index_id);
            return 1;
        }
        items->push_back(id);
        int parent = 0;
        int ret = item->get_parent_id(item, index_id, id, &parent);
        if (ret != 0)
            return ret;
        id = parent;
    }
    std::reverse(items->begin(), items->end());
    return 0;
}

// The name a title shows: the element's title column on element pages, else the current item.
int title_name(MOT_TOP_STYPE_T *stype, int dtype, void *specific, bool full_path,
               std::string *name) noexcept {
    MOX_AUX_T *aux = stype->aux;
    if ((dtype == 1 || dtype == 2) && specific != nullptr && stype->type != MOT_STYPE_USER_OPTIONS) {
        MOTSL_APPLIC_KEYWORDSTRUCT_T *ks = nullptr;
        int ret = motsl_get_key_struct(stype, &ks);
        if (ret != 0)
            return ret;
        for (MOTSL_APPLIC_KEYWORD_T *node = ks->keyword_list; node != nullptr; node = node->next) {
            MOTSL_STDLIST_KEYWORD_T *c = node->stdlist;
            if ((c->type_vector & MOTSL_TV_TITLE) == 0)
                continue;
            const char *text = "";
            motsl_view_text_fn_t view =
                c->view_text_fn != nullptr ? c->view_text_fn : motsl_default_view_text;
            ret = view(stype, c, specific, &text);
            *name = text != nullptr ? text : "";
            return ret;
        }
    }
    int list_id = current_list(stype);
    if (list_id == 0) {
        *name = stype->help != nullptr ? stype->help : "";
        return 0;
    }
    const char *text = "";
    int ret = full_path ? motsl_get_full_path(aux, current_index(stype), list_id, &text) : 0;
    if (!full_path) {
        MOTSL_ITEM_HOOKS_T *item = names_of(aux);
        if (item == nullptr)
            return 1;
        ret = item->get_name(item, current_index(stype), list_id, &text);
    }
    *name = text != nullptr ? text : "";
    return ret;
}

int insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int dtype, void *specific,
                 const char *prefix, bool full_path) noexcept {
    MOX_AUX_T *aux = stype->aux;
    int list_id = current_list(stype);
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    if (list_id != 0 && item != nullptr && item->get_graphic != nullptr) {
        const char *graphic = nullptr;
        int ret = item->get_graphic(item, current_index(stype), list_id, &graphic);
        if (ret != 0)
            return ret;
        if (graphic != nullptr && graphic[0] != '\0') {
            ret = out_def->line_fn(out_def, "<IMG  BORDER=0 SRC=\"%s/%s\" ALT=\"\">\n",
                                   html_escape(aux->setup->httpd_image_loc).c_str(),
                                   html_escape(graphic).c_str());
            if (ret != 0)
                return ret;
        }
    }
    std::string name;
    int ret = title_name(stype, dtype, specific, full_path, &name);
    if (ret != 0)
        return ret;
    // A list without a folder is named by its help text, which may say the same already ("History of
    // the passwd entries"): the prefix is not repeated.
    if (prefix[0] != '\0' && name.rfind(prefix, 0) == 0)
        prefix = "";
    return out_def->line_fn(out_def, " <B><FONT COLOR=WHITE>%s%s%s</FONT></B>", dtype == 2 ? "Edit of " : "",
                            prefix, html_escape(name.c_str()).c_str());
}

} // namespace

int motsl_out_protected(MOOU_OUT_DEF_T *out_def, const char *text) noexcept {
    return out_def->line_fn(out_def, "%s", html_escape(text).c_str());
}

int motsl_applic_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype,
                              void *specific) noexcept {
    return insert_title(stype, out_def, dtype, specific, "", false);
}

int motsl_applic_deleted_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype,
                                      void *specific) noexcept {
    return insert_title(stype, out_def, dtype, specific, "Deleted Entries of ", false);
}

int motsl_history_insert_title(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype,
                               void *specific) noexcept {
    return insert_title(stype, out_def, dtype, specific, "History of ", false);
}

int motsl_insert_title_full_path(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, int, int dtype,
                                 void *specific) noexcept {
    return insert_title(stype, out_def, dtype, specific, "", true);
}

int motsl_get_full_path(MOX_AUX_T *aux, int index_id, int item_id, const char **result) noexcept {
    *result = "";
    std::vector<int> items;
    int ret = path_items(aux, index_id, item_id, &items);
    if (ret != 0)
        return ret;
    MOTSL_ITEM_HOOKS_T *item = item_hooks(aux);
    std::string path = "/";
    for (size_t i = 0; i < items.size(); i++) {
        const char *name = "";
        ret = item->get_name(item, index_id, items[i], &name);
        if (ret != 0)
            return ret;
        path += name != nullptr ? name : "";
        if (i + 1 < items.size())
            path += "/";
    }
    return store_req_string(aux, path, result);
}

int motsl_get_full_path_ids(MOX_AUX_T *aux, int index_id, int item_id, const char **result) noexcept {
    *result = "";
    std::vector<int> items;
    int ret = path_items(aux, index_id, item_id, &items);
    if (ret != 0)
        return ret;
    std::string path;
    for (size_t i = 1; i < items.size(); i++)
        path += " " + std::to_string(items[i]);
    path += " " + std::to_string(item_id);
    return store_req_string(aux, path, result);
}

int motsl_http_call_start(MOT_TOP_STYPE_T *stype, const char *display, const char *trail,
                          char *string) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOTSL_TYPE_STORAGE_T *ts = ts_of(stype);
    MOTSL_HOOKS_T *h = hooks(aux);
    MOTSL_WEB_HOOKS_T *web = h != nullptr ? h->web : nullptr;
    const char *frame = web != nullptr && web->current_frame != nullptr ? web->current_frame(web) : "";
    const char *dir_type =
        web != nullptr && web->current_dir_type != nullptr ? web->current_dir_type(web) : "";
    int n = snprintf(string, MO_STRING_LEN, "%s?%s&%s&%s&%s&%s&%s&%s&%s", aux->setup->httpd_script_main_loc,
                     url_arg(frame).c_str(), url_arg(display).c_str(), url_arg(trail).c_str(),
                     url_arg(dir_type).c_str(), ts != nullptr ? ts->index : "", ts != nullptr ? ts->list : "",
                     ts != nullptr ? ts->row : "", url_arg(stype->name).c_str());
    if (n < 0 || n >= MO_STRING_LEN) {
        string[0] = '\0';
        err(aux)->report(err(aux), "The link to %s is longer than %d characters\n", stype->name,
                         MO_STRING_LEN - 1);
        return 1;
    }
    return 0;
}
