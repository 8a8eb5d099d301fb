// The batch-tool download page and the support tab's buttons. The page offers what the installation's
// batch directory holds of the tool's builds, each with its size; a build that is not there is not
// offered.
#include "apps/moap_support.h"

#include "apps/moap_about.h"
#include "apps/moap_tab.h"
#include "entry/mox_aux.h"
#include "platform/moe_error_cmn.h"
#include "platform/mof_file_cmn.h"
#include "platform/most_setup_cmn.h"
#include "stdlist/motsl_stdlist.h"
#include "stdlist/mowsl_web_stdlist.h"

#include <cstring>
#include <string>

const MOAP_SUPPORT_BATCH_T moap_support_batch_table[] = {
    {"Windows 95/98/Me/NT/2000/XP", "nt/kbatch.exe"},
    {"Linux 6.0 or later", "linux/kbatch"},
    {"Solaris 2.4 or later", "s5/kbatch"},
    {nullptr, nullptr},
};

namespace {

const char *text_of(const char *text) noexcept {
    return text != nullptr ? text : "";
}

std::string html(const char *text) {
    std::string out;
    for (const char *p = text_of(text); *p != '\0'; p++) {
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

const char *base_name(const char *path) noexcept {
    const char *slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

const MOAP_INFO_CMD_T support_cmds[] = {
    {"download", moap_support_download_call, moap_support_download_access, moap_support_download_service},
};

// A button to an address of the setup (placeholders filled in), in a new window.
int address_button(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, const char *url, const char *text) noexcept {
    if (url == nullptr || url[0] == '\0')
        return 0;
    MOST_SETUP_T *setup = aux->setup;
    std::string address = setup->parse_url != nullptr ? text_of(setup->parse_url(setup, url)) : url;
    if (!mowsl_link_value_ok(address.c_str()))
        return 0;
    std::string link = html(address.c_str()) + "\" TARGET=\"_blank";
    int ret = out_def->line_fn(out_def, "<TR><TD NOWRAP CLASS=DirButton>");
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/go.gif", text_of(text), link.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def, "&nbsp;<A HREF=\"%s\">%s</A></TD></TR>\n", link.c_str(),
                               html(text_of(text)).c_str());
    return ret;
}

} // namespace

int moap_support_construct(MOT_TOP_SESSION_T *session) noexcept {
    MOT_TOP_STYPE_T *stype = nullptr;
    return moap_info_register(session, "support", 1, "Support", "Support ID Number", "Support Data",
                              "examples", support_cmds,
                              static_cast<int>(sizeof(support_cmds) / sizeof(support_cmds[0])), &stype);
}

int moap_support_download_access(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *,
                                 mo_boolean_t *ok, const char **message) noexcept {
    if (message != nullptr)
        *message = nullptr;
    *ok = FALSE;
    int user_id = -1;
    int ret = motsl_current_user_id(stype->aux, &user_id);
    if (ret == 0)
        ret = moap_tab_access_support(stype->aux, user_id, ok);
    return ret;
}

int moap_support_download_call(MOT_TOP_STYPE_T *stype, char *call_string) noexcept {
    return moap_info_link(stype, "content", "A", "download", call_string);
}

int moap_support_download_service(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *,
                                  MOT_TOP_REQ_T *, MOT_TOP_ARG_LIST_T *) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOST_SETUP_T *setup = aux->setup;
    const char *tool = MOAP_SUPPORT_TOOL;
    std::string product;
    try {
        product = html(setup->prod_name);
    } catch (const std::bad_alloc &) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
    int ret = out_def->line_fn(
        out_def, "<TABLE VSPACE=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%%>\n<TR>\n");
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<TD BGCOLOR=%s NOWRAP> <B><FONT color=white>Batch Download</FONT></B></TD>\n",
                               MOWSL_TITLE_COLOR);
    if (ret == 0)
        ret =
            out_def->line_fn(out_def, "</TR>\n<TR>\n<TD BGCOLOR=%s ALIGN=LEFT CLASS=MainTitleButtons NOWRAP>",
                             MOWSL_TITLE_COLOR);
    if (ret == 0)
        ret = mow_web_insert_graphic_button(aux, out_def, "nav/help2.gif", "Batch Help", MOAP_SUPPORT_MANUAL);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<A HREF=\"%s\">Batch Help</A>&nbsp; </TD>\n</TR>\n</TABLE>\n",
                               MOAP_SUPPORT_MANUAL);
    if (ret == 0)
        ret = out_def->line_fn(out_def, "<H3>%s Download</H3>\n", tool);
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "The <B>%s</B> program provides a command line batch interface to %s \n", tool,
                               product.c_str());
    if (ret == 0)
        ret = out_def->line_fn(out_def,
                               "<B>%s</B> is ideal for batch checkins and for importing existing document "
                               "structures to your %s library.<BR>\n",
                               tool, product.c_str());
    if (ret == 0)
        ret = out_def->line_fn(
            out_def,
            "<B>%s</B> can also be used to synchronize password and user lists with your other servers.<P>\n",
            tool);
    // Only the builds the installation holds are offered.
    int found = 0;
    for (const MOAP_SUPPORT_BATCH_T *b = moap_support_batch_table; ret == 0 && b->platform != nullptr; b++) {
        mo_filename_t path;
        int n = snprintf(path, sizeof(path), "%s/%s", setup->batch_dir, b->file);
        mo_boolean_t is_dir = FALSE;
        if (n < 0 || n >= static_cast<int>(sizeof(path)) || !aux->file->exists(aux->file, path))
            continue;
        ret = aux->file->is_dir(aux->file, path, &is_dir);
        if (ret != 0 || is_dir)
            continue;
        long size = 0;
        ret = aux->file->get_size(aux->file, path, &size);
        if (ret != 0)
            break;
        if (found++ == 0) {
            ret = out_def->line_fn(out_def,
                                   "To download <B>%s</B> to your own machine, please choose from the "
                                   "following operating systems.<P>",
                                   tool);
            if (ret == 0)
                ret = out_def->line_fn(out_def,
                                       "\n<TABLE BORDER=0 CELLPADDING=4 CELLSPACING=0 SUMMARY=\"\">\n");
            if (ret == 0)
                ret = out_def->line_fn(out_def,
                                       "<TR BGCOLOR=\"%s\"><TD><B>Product</B></TD><TD><B>Choice</B></TD>"
                                       "<TD><B>Description</B></TD></TR>\n",
                                       MOWSL_DISABLED_COLOR);
        }
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD VALIGN=TOP>%s</TD>", b->platform);
        if (ret == 0)
            ret =
                out_def->line_fn(out_def, "<TD VALIGN=TOP><A HREF=\"batch/%s\">%s</A>&nbsp;&nbsp;(%s) </TD>",
                                 b->file, base_name(b->file), mof_format_file_size(size));
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TD VALIGN=TOP CLASS=SMALL>%s Release</TD>\n</TR>\n",
                                   MOST_VERSION);
    }
    if (ret == 0 && found > 0)
        ret = out_def->line_fn(out_def, "</TABLE>\n");
    if (ret == 0 && found == 0)
        ret = out_def->line_fn(out_def,
                               "<P>No build of <B>%s</B> has been installed on this server yet: ask your "
                               "administrator to place it in the batch directory.</P>\n",
                               tool);
    return ret;
}

int moap_support_buttons(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def) noexcept {
    MOX_AUX_T *aux = stype->aux;
    MOST_SETUP_T *setup = aux->setup;
    mo_string_t link;
    int ret = moap_support_download_call(stype, link);
    if (ret != 0)
        return ret;
    try {
        std::string href = html(link);
        ret = out_def->line_fn(out_def, "<TABLE BORDER=0 CELLPADDING=2 CELLSPACING=0 SUMMARY=\"\">\n");
        if (ret == 0)
            ret = out_def->line_fn(out_def, "<TR><TD NOWRAP CLASS=DirButton>");
        if (ret == 0)
            ret =
                mow_web_insert_graphic_button(aux, out_def, "nav/go.gif", "Batch/CLI Download", href.c_str());
        if (ret == 0)
            ret = out_def->line_fn(out_def, "&nbsp;<A HREF=\"%s\">Batch/CLI Download</A></TD></TR>\n",
                                   href.c_str());
        if (ret == 0)
            ret = address_button(aux, out_def, setup->submit_issue_url, setup->submit_issue_text);
        if (ret == 0)
            ret = address_button(aux, out_def, setup->submit_feature_url, setup->submit_feature_text);
        if (ret == 0)
            ret = out_def->line_fn(out_def, "</TABLE>\n");
    } catch (const std::bad_alloc &) {
        aux->error->report(aux->error, "Out of memory\n");
        return 1;
    }
    return ret;
}
