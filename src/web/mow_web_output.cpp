// Page output of the web front end: the page head with its trail bookkeeping, feet, style sheets,
// images and image buttons, browser alerts and window scripts, protected (HTML-escaped) text, form
// fields and buttons, and the error page. Every text that comes from data, a request or the setup goes
// out escaped for where it lands; plain texts come out unchanged.
#include "web/mow_web.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "storage/mok_key.h"
#include "storage/mot_top.h"
#include "storage/motr_trail.h"
#include "entry/mox_aux.h"

#include <cstdio>
#include <cstring>
#include <string>

static std::string mow_html(const char *text, bool convert_return) {
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
            case '\n':
                if (convert_return)
                    out += "<BR>";
                else
                    out += '\n';
                break;
            default:
                out += *p;
        }
    }
    return out;
}

static int mow_out_of_memory(MOX_AUX_T *aux) noexcept {
    aux->error->report(aux->error, "Out of memory\n");
    return 1;
}

int mow_insert_protected_string_basic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, mo_boolean_t convert_return,
                                      const char *string) noexcept {
    try {
        std::string text = mow_html(string, convert_return != FALSE);
        return text.empty() ? 0 : out_def->line_fn(out_def, "%s", text.c_str());
    } catch (const std::bad_alloc &) {
        return mow_out_of_memory(aux);
    }
}

int mow_insert_protected_string_display(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def,
                                        const char *string) noexcept {
    if (string == nullptr || string[0] == '\0')
        return out_def->line_fn(out_def, "&nbsp;");
    return mow_insert_protected_string_basic(aux, out_def, TRUE, string);
}

int mow_insert_protected_string_form(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *string) noexcept {
    return mow_insert_protected_string_basic(aux, out_def, FALSE, string);
}

static const char *mow_text(const char *text) noexcept {
    return text != nullptr ? text : "";
}

// ---- page head and foot

// The arguments from the current position on, each preceded by "&" and escaped again, since they were
// decoded when the request was read and the text becomes a link.
static std::string mow_collect_args(MOT_TOP_ARG_LIST_T **arg_list_ptr) {
    std::string text;
    for (MOT_TOP_ARG_LIST_T *a = arg_list_ptr != nullptr ? *arg_list_ptr : nullptr; a != nullptr;
         a = a->next) {
        text += '&';
        text += mow_web_util_escape_url(a->val);
    }
    return text;
}

static int mow_trail_update(MOX_AUX_T *aux, const char *trail, MOT_TOP_ARG_LIST_T **arg_list_ptr) {
    MOW_WEB_T *web = aux->web;
    std::string collected = mow_collect_args(arg_list_ptr);
    const MOTR_TRAIL_INFO_T *current = web->trail_ref != nullptr
                                           ? static_cast<const MOTR_TRAIL_INFO_T *>(web->trail_ref->container)
                                           : nullptr;
    bool same =
        current != nullptr && current->trail_content != nullptr && collected == current->trail_content;
    bool add = false;
    if (strcmp(trail, "A") == 0) {
        add = !same;
    } else if (strcmp(trail, "D") == 0) {
        if (current != nullptr && !same)
            return motr_trail_del_entry(&web->trail_ref);
    } else if (strcmp(trail, "R") == 0) {
        web->trail_ref = nullptr;
        add = true;
    }
    if (!add)
        return 0;
    // An entry is kept only when the link made from it later fits; a cut link would lead elsewhere.
    size_t link_len = strlen(aux->setup->httpd_script_main_loc) + strlen(web->frame) + strlen(web->display) +
                      collected.size() + 8;
    if (link_len >= MO_STRING_LEN || collected.size() > MOK_STRING_MAX) {
        aux->error->report_warning(aux->error, "The address of this page is too long to keep in the trail\n");
        return 0;
    }
    return motr_trail_add_entry(aux, web->frame, web->display, collected.c_str(), &web->trail_ref);
}

int mow_web_header_start(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *, const char *trail,
                         MOCO_COOKIE_T *, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    MOW_WEB_T *web = aux->web;
    MOST_SETUP_T *setup = aux->setup;
    int ret = 0;
    try {
        if (web != nullptr && trail != nullptr && strcmp(trail, "N") != 0)
            ret = mow_trail_update(aux, trail, arg_list_ptr);
    } catch (const std::bad_alloc &) {
        ret = mow_out_of_memory(aux);
    }
    // Outgoing cookies go out as headers only: a copy in the page would show the login cookie, which
    // holds the password, to anything that reads the page.
    // An error page may be asked for before the web service exists (a failed start-up).
    if (ret == 0 && web != nullptr)
        ret = web->send_content_type(web, out_def, 0, "text/html");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<HTML><HEAD><TITLE>");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(setup->prod_name));
    if (ret == 0)
        ret = out_def->line_fn(out_def, " - ");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(setup->company_name));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</TITLE>\n<BASE HREF=\"");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(setup->server_full_path));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\">\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<LINK REL=\"SHORTCUT ICON\" HREF=\"favicon.ico\">");
    if (ret == 0)
        ret = mow_web_insert_style(aux, out_def);
    return ret;
}

int mow_web_header_basic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title, const char *trail,
                         MOCO_COOKIE_T *cookie, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = mow_web_header_start(aux, out_def, window_title, trail, cookie, arg_list_ptr);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "</HEAD>\n");
    return ret;
}

int mow_web_header_blank(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title,
                         const char *body_tag_text, const char *trail, MOCO_COOKIE_T *cookie,
                         MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = 0;
    if (!out_def->web_header_done) {
        ret = mow_web_header_basic(aux, out_def, window_title, trail, cookie, arg_list_ptr);
        if (ret == 0)
            ret =
                out_def->line_fn(out_def, "<BODY BGCOLOR=%s  %s>\n", MOW_PAGE_COLOR, mow_text(body_tag_text));
    }
    out_def->web_header_done = TRUE;
    return ret;
}

static const char mow_frame_script[] =
    "<script language=\"javascript\" type=\"text/javascript\">\n"
    "<!--\n"
    "var NETSCAPE = (navigator.appName == \"Netscape\");\n"
    "function restore() {\n"
    "    var names = new Array(\"nav\", \"dir\", \"content\");\n"
    "    for (var i = 0; i < names.length; i++) {\n"
    "        if (window.frames[names[i]]) window.frames[names[i]].location.reload();\n"
    "    }\n"
    "}\n"
    "// -->\n"
    "</script>\n";

int mow_web_header_frame(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *window_title, const char *trail,
                         MOCO_COOKIE_T *cookie, MOT_TOP_ARG_LIST_T **arg_list_ptr) noexcept {
    int ret = 0;
    if (!out_def->web_header_done) {
        ret = mow_web_header_start(aux, out_def, window_title, trail, cookie, arg_list_ptr);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s", mow_frame_script);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</HEAD>\n");
    }
    out_def->web_header_done = TRUE;
    return ret;
}

int mow_web_footer_blank(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    if (!out_def->web_header_done)
        return 0;
    out_def->web_header_done = FALSE;
    return out_def->line_fn(out_def, "</BODY></HTML>\n");
}

int mow_web_footer_frame(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    if (!out_def->web_header_done)
        return 0;
    out_def->web_header_done = FALSE;
    return out_def->line_fn(out_def, "</HTML>\n");
}

int mow_web_insert_style(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(out_def, "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"css/win.css\">\n");
}

int mow_web_insert_style_for_mail(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept {
    int ret = out_def->line_fn(out_def, "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(aux->setup->server_full_path));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "/css/win.css\">\n");
    return ret;
}

// ---- images and buttons

// The SRC value "<image location>/<image>", escaped for the attribute.
static int mow_image_source(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image) noexcept {
    int ret = mow_insert_protected_string_form(aux, out_def, aux->setup->httpd_image_loc);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "/");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(image));
    return ret;
}

int mow_web_insert_graphic(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image) noexcept {
    int ret = out_def->line_fn(out_def, "<IMG  BORDER=0 SRC=\"");
    if (ret == 0)
        ret = mow_image_source(aux, out_def, image);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\" ALT=\"\">\n");
    return ret;
}

int mow_web_insert_graphic_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *image,
                                  const char *alternate_text, const char *link) noexcept {
    bool linked = link != nullptr && link[0] != '\0';
    int ret = 0;
    if (linked)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">", link);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<IMG  BORDER=0 SRC=\"");
    if (ret == 0)
        ret = mow_image_source(aux, out_def, image);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\" ALT=\"");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(alternate_text));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\">");
    if (ret == 0 && linked)
        ret = out_def->line_fn(out_def, "</A>\n");
    return ret;
}

const char *mow_web_get_image_location(MOX_AUX_T *aux, const char *image) noexcept {
    static std::string result;
    try {
        // Image names come with and without their leading "/": exactly one joins them to the location.
        std::string loc = aux->setup->httpd_image_loc;
        std::string name = image != nullptr ? image : "";
        if (!loc.empty() && loc.back() != '/' && (name.empty() || name[0] != '/'))
            loc += '/';
        result = "SRC=\"" + mow_html(loc.c_str(), false) + mow_html(name.c_str(), false) + "\"";
    } catch (const std::bad_alloc &) {
        result.clear();
    }
    return result.c_str();
}

// ---- scripts

// The text goes into a single-quoted script string: besides the line ends and quotes of the alert
// text, the backslash and "<" are escaped so that no warning can end the string or the script block.
int mow_web_insert_warning(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *string) noexcept {
    if (string == nullptr || string[0] == '\0')
        return 0;
    try {
        std::string text;
        for (const char *p = string; *p != '\0'; p++) {
            switch (*p) {
                case '\n':
                    text += "\\n";
                    break;
                case '\'':
                    text += "\\'";
                    break;
                case '\r':
                    break;
                case '\\':
                    text += "\\\\";
                    break;
                case '<':
                    text += "\\x3c";
                    break;
                default:
                    text += *p;
            }
        }
        int ret = out_def->line_fn(
            out_def,
            "\n<script language=\"javascript\" type=\"text/javascript\"> \n \n    alert('Warning:\\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "%s", text.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "'); \n</script> \n");
        return ret;
    } catch (const std::bad_alloc &) {
        return mow_out_of_memory(aux);
    }
}

static const char mow_new_window_function[] =
    "function NewWindow(mypage, myname, w, h, scroll) {\n"
    "    var winl = (screen.width - w) / 2;\n"
    "    var wint = (screen.height - h) / 2;\n"
    "    var winprops = 'height=' + h + ',width=' + w + ',top=' + wint + ',left=' + winl +\n"
    "        ',scrollbars=' + scroll + ',resizable';\n"
    "    var win = window.open(mypage, myname, winprops);\n"
    "    if (win && win.focus) win.focus();\n"
    "    return win;\n"
    "}\n";

// NewWindowOn opens the window only for the browsers its type names (2 Internet Explorer, 3 the
// others, 4 all) and returns false when it did, so that "return NewWindowOn(...)" keeps the page.
static const char mow_new_window_on_functions[] =
    "function NewWindowOn(type, mypage, myname, w, h, scroll) {\n"
    "    var ie = (navigator.appName.indexOf(\"Microsoft\") != -1);\n"
    "    if (type == 4 || (type == 2 && ie) || (type == 3 && !ie)) {\n"
    "        var winl = (screen.width - w) / 2;\n"
    "        var wint = (screen.height - h) / 2;\n"
    "        var winprops = 'height=' + h + ',width=' + w + ',top=' + wint + ',left=' + winl +\n"
    "            ',scrollbars=' + scroll + ',resizable';\n"
    "        var win = window.open(mypage, myname, winprops);\n"
    "        if (win && win.focus) win.focus();\n"
    "        return false;\n"
    "    }\n"
    "    return true;\n"
    "}\n"
    "function CheckOutIE(mylink) {\n"
    "    if (navigator.appName.indexOf(\"Microsoft\") != -1) {\n"
    "        alert(\"For Internet Explorer, use the right hand mouse button. Save Target As...\");\n"
    "        return false;\n"
    "    }\n"
    "    return true;\n"
    "}\n";

int mow_web_new_window_script(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(
        out_def, "<script language=\"javascript\" type=\"text/javascript\">\n<!--\n%s%s// -->\n</script>\n",
        mow_new_window_function, mow_new_window_on_functions);
}

int mow_web_new_window_script_for_ie(MOX_AUX_T *, MOOU_OUT_DEF_T *out_def) noexcept {
    return out_def->line_fn(
        out_def, "<script language=\"javascript\" type=\"text/javascript\">\n<!--\n%s// -->\n</script>\n",
        mow_new_window_on_functions);
}

// ---- forms

const char *mow_form_button_call(const char *button_text) noexcept {
    static std::string result;
    try {
        std::string text = mow_html(button_text, false);
        result = "<INPUT TYPE=SUBMIT NAME=\"" + text + "\" VALUE=\"" + text + "\">\n";
    } catch (const std::bad_alloc &) {
        result.clear();
    }
    return result.c_str();
}

const char *mow_form_image_button_call(MOX_AUX_T *aux, const char *name, const char *image,
                                       const char *alt_text) noexcept {
    static std::string result;
    try {
        std::string location = mow_web_get_image_location(aux, image);
        result = "<INPUT TYPE=IMAGE " + location + " BORDER = 0 ALT =\"" + mow_html(alt_text, false) +
                 "\" NAME=\"" + mow_html(name, false) + "\" >\n";
    } catch (const std::bad_alloc &) {
        result.clear();
    }
    return result.c_str();
}

static int mow_form_field(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *type, const char *field_name,
                          const char *field_default, int size, int max_size, const char *extra) noexcept {
    int ret = out_def->line_fn(out_def, "<INPUT TYPE=%s  NAME=\"", type);
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(field_name));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\" VALUE=\"");
    if (ret == 0)
        ret = mow_insert_protected_string_form(aux, out_def, mow_text(field_default));
    if (ret == 0)
        ret = out_def->line_fn(out_def, "\" SIZE=%d MAXLENGTH=%d %s>\n", size, max_size, mow_text(extra));
    return ret;
}

int mow_form_text_field_call_insert(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *field_name,
                                    const char *field_default, int size, int max_size,
                                    const char *extra) noexcept {
    return mow_form_field(aux, out_def, "TEXT", field_name, field_default, size, max_size, extra);
}

int mow_form_passwd_field_call_insert(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *field_name,
                                      const char *field_default, int size, int max_size,
                                      const char *extra) noexcept {
    return mow_form_field(aux, out_def, "PASSWORD", field_name, field_default, size, max_size, extra);
}

// ---- error page

int mow_web_error_page(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *message) noexcept {
    MOE_ERROR_T *error = aux->error;
    const char *prod = mow_text(aux->setup->prod_name);
    int ret = 0;
    if (!error->header_done) {
        error->header_done = TRUE;
        ret = mow_web_header_blank(aux, out_def, "Error", "", "N", nullptr, nullptr);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TABLE>");
        if (ret == 0)
            ret = out_def->line_fn(
                out_def, "<TABLE VSPACE=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD BGCOLOR=%s>", MOW_TITLE_COLOR);
        if (ret == 0)
            ret = mow_web_insert_graphic(aux, out_def, "icons/warning.gif");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<FONT COLOR=\"White\"><B>");
        if (ret == 0)
            ret = mow_insert_protected_string_form(aux, out_def, prod);
        if (ret == 0)
            ret = out_def->line_fn(out_def, " Error</B></FONT></TD></TR>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD BGCOLOR=%s NOWRAP ALIGN=LEFT CLASS=MainTitleButtons>",
                                   MOW_TITLE_COLOR);
        if (ret == 0)
            ret = mow_web_insert_graphic_button(aux, out_def, "nav/back.gif", "Go back",
                                                "javascript: history.back();");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Back</A>", "javascript: history.back();");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD></TR></TABLE>\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TABLE BORDER=0 SUMMARY=\"\"><TR><TD>&nbsp;&nbsp;&nbsp; ");
        if (ret == 0)
            ret = mow_web_insert_graphic(aux, out_def, "icons/error_symbol.gif");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TD><TD VALIGN=CENTER CLASS=GenHeader>");
        if (ret == 0)
            ret = mow_insert_protected_string_form(aux, out_def, prod);
        if (ret == 0)
            ret = out_def->line_fn(out_def, " Error</TD></TR></TABLE>\n");
    }
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<SPAN><B>Error:</B> ");
    if (ret == 0)
        ret = mow_insert_protected_string_display(aux, out_def, message);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<BR></SPAN>\n");
    return ret;
}
