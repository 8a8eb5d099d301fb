// Dispatch of a request's arguments to display commands and to the web commands of storage types,
// the command registry, the page head with its trail, and the error page.
#include "web_fixture.h"
#include "entry/moc_cmd.h"
#include "storage/mok_key.h"
#include "storage/motr_trail.h"

namespace {

struct Seen {
    std::string frame, display, trail, dir_type;
    std::vector<std::string> args; // from the position the display command is given
    int starts = 0, ends = 0, services = 0, access_asked = 0;
};
Seen seen;

std::vector<std::string> args_from(MOT_TOP_ARG_LIST_T *list) {
    std::vector<std::string> out;
    for (; list != nullptr; list = list->next)
        out.emplace_back(list->val);
    return out;
}

int content_start(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                  MOT_TOP_ARG_LIST_T **args) noexcept {
    MOW_WEB_T *web = aux->web;
    seen.starts++;
    seen.frame = web->frame;
    seen.display = web->display;
    seen.trail = web->trail_op;
    seen.dir_type = web->dir_type;
    seen.args = args_from(*args);
    // A page asks for its head twice; it is written once.
    int ret = mow_web_header_blank(aux, out_def, "list", "onLoad=\"x();\"", web->trail_op, nullptr, args);
    if (ret == 0)
        ret = mow_web_header_blank(aux, out_def, "list", "", web->trail_op, nullptr, args);
    return ret;
}

int content_end(MOT_TOP_STYPE_T *, MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def, MOT_TOP_REQ_T *,
                MOT_TOP_ARG_LIST_T **) noexcept {
    seen.ends++;
    int ret = mow_web_footer_blank(aux, out_def);
    if (ret == 0)
        ret = mow_web_footer_blank(aux, out_def);
    return ret;
}

int default_link(MOX_AUX_T *, char *link) noexcept {
    snprintf(link, MO_STRING_LEN, "main?content&content&N&docs&0&7");
    return 0;
}

// ---- a storage type with web commands

int call_list(MOT_TOP_STYPE_T *, char *call) noexcept {
    snprintf(call, MO_STRING_LEN, "main?content&content&A&docs&0&0&0&notes&list");
    return 0;
}

int access_refuse_quietly(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                          const char **message) noexcept {
    seen.access_asked++;
    *ok = FALSE;
    *message = nullptr;
    return 0;
}

int access_refuse_saying(MOT_TOP_STYPE_T *, MOW_WEB_CMD_T *, MOT_TOP_ARG_LIST_T *, mo_boolean_t *ok,
                         const char **message) noexcept {
    seen.access_asked++;
    *ok = FALSE;
    *message = "Only the owner may do this\n";
    return 0;
}

int access_counted(MOT_TOP_STYPE_T *stype, MOW_WEB_CMD_T *cmd, MOT_TOP_ARG_LIST_T *args, mo_boolean_t *ok,
                   const char **message) noexcept {
    seen.access_asked++;
    return mow_cmd_access_all(stype, cmd, args, ok, message);
}

int service_ok(MOT_TOP_STYPE_T *, MOOU_OUT_DEF_T *out_def, MOW_WEB_CMD_T *cmd, MOT_TOP_REQ_T *,
               MOT_TOP_ARG_LIST_T *args) noexcept {
    seen.services++;
    seen.args = args_from(args);
    return out_def->line_fn(out_def, "[%s]", cmd->command_name);
}

int service_fails(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *, MOW_WEB_CMD_T *, MOT_TOP_REQ_T *,
                  MOT_TOP_ARG_LIST_T *) noexcept {
    stype->aux->error->report(stype->aux->error, "Disk full\n");
    return 1;
}

// Consumes the index, list, row and stype arguments, as list types do.
int init_stype_four(MOT_TOP_STYPE_T **stype, mo_boolean_t use_args, MOT_TOP_ARG_LIST_T **args) noexcept {
    for (int i = 0; use_args && i < 4; i++) {
        int ret = mot_advance_next_arg((*stype)->aux, args);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int init_web_notes(MOT_TOP_REQ_T *, MOT_TOP_STYPE_T **stype_ptr) noexcept {
    MOT_TOP_STYPE_T *stype = *stype_ptr;
    if (stype->web_storage_ref != nullptr)
        return 0;
    int ret = mow_web_init_storage(stype, nullptr, nullptr);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, nullptr, "list", 0, 1, call_list, access_counted, service_ok);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, nullptr, "secret", 1, 2, call_list, access_refuse_quietly,
                                   service_ok);
    if (ret == 0)
        ret =
            mow_web_cmd_register(stype, nullptr, "owner", 0, 0, call_list, access_refuse_saying, service_ok);
    if (ret == 0)
        ret = mow_web_cmd_register(stype, nullptr, "broken", 0, 0, call_list, mow_cmd_access_all,
                                   service_fails);
    // A second registration of a name never wins over the first.
    if (ret == 0)
        ret =
            mow_web_cmd_register(stype, nullptr, "list", 0, 9, call_list, mow_cmd_access_all, service_fails);
    return ret;
}

struct Dispatch : mow_test::WebFixture {
    std::string err;

    void SetUp() override {
        WebFixture::SetUp();
        seen = Seen{};
        ASSERT_EQ(mot_display_cmd_register(&session->display_cmd_list, aux, nullptr, "content", content_start,
                                           content_end),
                  0);
        MOT_TOP_STYPE_T *s = nullptr;
        ASSERT_EQ(mot_top_register_stype(
                      aux, &session->storage.stype_list, nullptr, &s, "notes", mot_insert_title_null, 3, 0,
                      "Notes", init_stype_four, moc_access_null, nullptr, nullptr, nullptr, nullptr,
                      mot_row_access_all, mot_row_access_all, "Elem", nullptr, "File", nullptr, nullptr,
                      nullptr, nullptr, nullptr, nullptr, nullptr, init_web_notes, nullptr, nullptr),
                  0);
        ASSERT_EQ(mot_top_register_stype(
                      aux, &session->storage.stype_list, nullptr, &s, "cli_only", mot_insert_title_null, 4, 4,
                      "No web", mot_init_stype_null, moc_access_null, nullptr, nullptr, nullptr, nullptr,
                      mot_row_access_all, mot_row_access_all, "Elem", nullptr, "File", nullptr, nullptr,
                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
                  0);
    }

    int dispatch(const char *query) {
        page.clear();
        out.web_header_done = FALSE;
        int ret = 0;
        err =
            mot_test::capture_stderr([&] { ret = mow_web_parse_display_web_arg(session, &out, req, query); });
        return ret;
    }

    int operation(const char *query, const char *stype_name = "notes") {
        MOT_TOP_ARG_LIST_T *list = nullptr;
        EXPECT_EQ(mow_top_process_args(aux, query, &list), 0);
        page.clear();
        int ret = 0;
        err = mot_test::capture_stderr([&] {
            ret = mow_web_run_operation(aux, &out, session->storage.stype_list, req, stype_name, &list);
        });
        return ret;
    }
};

TEST_F(Dispatch, LeadingArgumentsReachTheDisplayCommand) {
    ASSERT_EQ(dispatch("content&content&N&docs&0&3&0&notes&list"), 0) << err;
    EXPECT_EQ(seen.frame, "content");
    EXPECT_EQ(seen.display, "content");
    EXPECT_EQ(seen.trail, "N");
    EXPECT_EQ(seen.dir_type, "docs");
    EXPECT_EQ(seen.args, (std::vector<std::string>{"docs", "0", "3", "0", "notes", "list"}))
        << "the directory type is the display command's first argument";
    EXPECT_EQ(seen.ends, 1);
    EXPECT_EQ(mow_test::headers_sent, (std::vector<std::string>{"text/html"}));
    EXPECT_EQ(page, "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n<BASE HREF=\"\">\n"
                    "<LINK REL=\"SHORTCUT ICON\" HREF=\"favicon.ico\">"
                    "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"css/win.css\">\n</HEAD>\n"
                    "<BODY BGCOLOR=#FFFAF2  onLoad=\"x();\">\n</BODY></HTML>\n");
    EXPECT_EQ(req->arg_list, nullptr) << "the argument nodes are released";
    EXPECT_EQ(req->initial_arg_list, nullptr);

    // A leading login argument is dropped; an empty address opens the default link.
    ASSERT_EQ(dispatch("U=YW5uZTpwdw==&content&content&R&tables"), 0) << err;
    EXPECT_EQ(seen.trail, "R");
    EXPECT_EQ(seen.dir_type, "tables");
    EXPECT_EQ(dispatch(""), 1);
    EXPECT_NE(err.find("No default page is set up for an empty address\n"), std::string::npos) << err;
    aux->web->get_default_link = default_link;
    for (const char *empty : std::vector<const char *>{"", "U=YW5uZTpwdw==", nullptr}) {
        ASSERT_EQ(dispatch(empty), 0) << err;
        EXPECT_EQ(seen.args, (std::vector<std::string>{"docs", "0", "7"}));
    }
}

TEST_F(Dispatch, MissingOrUnsafeLeadingArgumentsFail) {
    struct Case {
        const char *query;
        const char *message;
    } cases[] = {
        {"&content&A&docs", "Can't find any frame argument\n"},
        {"con%22tent&content&A&docs", "Can't find any frame argument\n"},
        {"a%3Cb&content&A&docs", "Can't find any frame argument\n"},
        {"content", "Can't find any display argument\n"},
        {"content&&A&docs", "Can't find any display argument\n"},
        {"content&%3Cscript%3E&A&docs", "Display Command <script> not valid\n"},
        {"content&content", "Can't find any trail argument\n"},
        {"content&content&A%22&docs", "Can't find any trail argument\n"},
        {"content&content&A", "Can't find any dir_type argument\n"},
        {"content&content&A&do%2Fcs", "Can't find any dir_type argument\n"},
        {"content&content&A&", "Can't find any dir_type argument\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(dispatch(c.query), 1);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(seen.starts, 0);
        EXPECT_EQ(page, "");
        EXPECT_EQ(req->arg_list, nullptr);
    }
}

TEST_F(Dispatch, OperationsCheckCountsThenAccessThenServe) {
    ASSERT_EQ(operation("0&0&0&notes&list&x"), 0) << err;
    EXPECT_EQ(page, "[list]");
    EXPECT_EQ(seen.args, (std::vector<std::string>{"x"}));
    EXPECT_EQ(seen.access_asked, 1);

    EXPECT_EQ(operation("0&0&0&notes&list&x&y"), 1);
    EXPECT_NE(err.find("Operation list has too many arguments\n"), std::string::npos) << err;
    EXPECT_EQ(operation("0&0&0&notes&secret"), 1);
    EXPECT_NE(err.find("Operation secret has not enough arguments\n"), std::string::npos) << err;
    EXPECT_EQ(seen.access_asked, 1) << "counts are checked before access";

    EXPECT_EQ(operation("0&0&0&notes&secret&1"), 1);
    EXPECT_NE(err.find("Sorry you don't have sufficient access privileges for this operation secret\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(operation("0&0&0&notes&owner"), 1);
    EXPECT_NE(err.find("Only the owner may do this\n"), std::string::npos) << err;
    EXPECT_EQ(seen.services, 1) << "a refused command never runs";

    EXPECT_EQ(operation("0&0&0&notes&broken"), 1);
    EXPECT_NE(err.find("Disk full\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Failure occurred during the broken operation\n"), std::string::npos) << err;
    EXPECT_EQ(operation("0&0&0&notes&List"), 1);
    EXPECT_NE(err.find("Operation List not valid\n"), std::string::npos) << err;
    EXPECT_EQ(operation("0&0&0&notes&"), 1);
    EXPECT_NE(err.find("Can't find operation argument\n"), std::string::npos) << err;
    EXPECT_EQ(operation("0&0&0&notes&list", "cli_only"), 1);
    EXPECT_NE(err.find("Stype cli_only not valid for the web interface\n"), std::string::npos) << err;
    EXPECT_EQ(operation("0&0&0&notes&list", "nothing"), 1);
    EXPECT_NE(err.find("No stype_name (nothing) exists in the stype_list\n"), std::string::npos) << err;

    // The content dispatch checks its leading arguments; without folder items no index exists.
    for (auto [query, message] : std::vector<std::pair<const char *, const char *>>{
             {"do cs&0&0&0&notes&list", "Can't find any dir_type argument\n"},
             {"docs", "Can't find any index argument\n"},
             {"docs&1x&0", "Index ID 1x is not a number\n"},
             {"docs&99999999999&0", "Index ID 99999999999 is not a number\n"},
             {"docs&3&0&0&notes&list", "Index ID 3 out of range\n"}}) {
        MOT_TOP_ARG_LIST_T *list = nullptr;
        ASSERT_EQ(mow_top_process_args(aux, query, &list), 0);
        err = mot_test::capture_stderr([&] {
            EXPECT_EQ(mow_web_parse_operation_web_arg(aux, &out, session->storage.stype_list, req, &list), 1);
        });
        EXPECT_NE(err.find(message), std::string::npos) << query << ": " << err;
    }
}

TEST_F(Dispatch, CallsAndButtonsFollowAccess) {
    MOT_TOP_STYPE_T *notes = nullptr;
    ASSERT_EQ(mow_web_find_stype(session->storage.stype_list, aux, "notes", &notes), 0);
    ASSERT_EQ(notes->init_web(req, &notes), 0);
    mo_string_t call;
    ASSERT_EQ(mow_web_get_stype_call(notes, "list", call), 0);
    EXPECT_STREQ(call, "main?content&content&A&docs&0&0&0&notes&list");
    ASSERT_EQ(mow_web_get_stype_call(notes, "secret", call), 0);
    EXPECT_STREQ(call, "");

    page.clear();
    ASSERT_EQ(mow_web_insert_stype_call_button(notes, &out, "list", "nav/expand.gif", "Add New Entry", "Add"),
              0);
    EXPECT_EQ(page, "&nbsp; <A HREF=\"main?content&content&A&docs&0&0&0&notes&list\"><IMG  BORDER=0 "
                    "SRC=\"images/nav/expand.gif\" ALT=\"Add New Entry\"></A>\n"
                    "<A HREF=\"main?content&content&A&docs&0&0&0&notes&list\">Add</A>");
    page.clear();
    ASSERT_EQ(mow_web_insert_stype_call_button(notes, &out, "secret", "nav/x.gif", "X", "X"), 0);
    EXPECT_EQ(page, "") << "no button for a command the user may not run";
}

TEST_F(Dispatch, ThePageHeadKeepsTheTrail) {
    MOW_WEB_T *web = aux->web;
    web->frame = "content";
    web->display = "content";
    auto head = [&](const char *trail, const char *query) {
        MOT_TOP_ARG_LIST_T *list = nullptr;
        EXPECT_EQ(mow_top_process_args(aux, query, &list), 0);
        out.web_header_done = FALSE;
        return mow_web_header_start(aux, &out, "list", trail, nullptr, &list);
    };
    auto entries = [&] {
        std::vector<std::string> out_entries;
        for (MOK_DATA_RECORD_T *r = web->trail_ref; r != nullptr; r = r->next) {
            auto *info = static_cast<MOTR_TRAIL_INFO_T *>(r->container);
            out_entries.push_back(std::string(info->frame_display) + "|" + info->trail_content);
        }
        return out_entries;
    };
    ASSERT_EQ(head("A", "docs&0&3"), 0);
    ASSERT_EQ(head("A", "docs&0&3"), 0);
    EXPECT_EQ(entries(), (std::vector<std::string>{"content&content|&docs&0&3"}))
        << "the same page adds nothing";
    // Arguments are escaped again as they go back into a link.
    ASSERT_EQ(head("A", "docs&a%26b%22%3C"), 0);
    EXPECT_EQ(entries()[0], "content&content|&docs&a%26b%22%3c");
    ASSERT_EQ(head("D", "docs&0&3"), 0);
    EXPECT_EQ(entries().size(), 1u) << "going back drops the current entry";
    ASSERT_EQ(head("N", "docs&9"), 0);
    ASSERT_EQ(head("X", "docs&9"), 0);
    EXPECT_EQ(entries().size(), 1u);
    ASSERT_EQ(head("R", "docs&5"), 0);
    EXPECT_EQ(entries(), (std::vector<std::string>{"content&content|&docs&5"}));
    mo_string_t link;
    ASSERT_EQ(mow_web_trail_call(aux, web->trail_ref, "D", link), 0);
    EXPECT_STREQ(link, "main?content&content&D&docs&5");

    // An address too long to make a link again is not kept.
    std::string err =
        mot_test::capture_stderr([&] { ASSERT_EQ(head("A", std::string(900, '"').c_str()), 0); });
    EXPECT_NE(err.find("The address of this page is too long to keep in the trail\n"), std::string::npos)
        << err;
    EXPECT_EQ(entries().size(), 1u);
}

TEST_F(Dispatch, TheErrorPageHasOneHeadAndOneLinePerError) {
    aux->error->error_out_def = &out;
    aux->error->report = mow_web_error_report;
    std::string err = mot_test::capture_stderr([&] {
        aux->error->report(aux->error, "Display Command %s not valid\n", "<b>");
        aux->error->report(aux->error, "Second problem\n");
        aux->error->ignore = TRUE;
        aux->error->report(aux->error, "Only in the log\n");
    });
    EXPECT_EQ(page,
              "<HTML><HEAD><TITLE>Morvale - Quennet Systems</TITLE>\n<BASE HREF=\"\">\n"
              "<LINK REL=\"SHORTCUT ICON\" HREF=\"favicon.ico\">"
              "<LINK REL=\"stylesheet\" TYPE=\"text/css\" HREF=\"css/win.css\">\n</HEAD>\n"
              "<BODY BGCOLOR=#FFFAF2  >\n"
              "</TABLE><TABLE VSPACE=0 CELLPADDING=0 CELLSPACING=0 SUMMARY=\"\" BORDER=0 WIDTH=100%>\n"
              "<TR><TD BGCOLOR=#9CB2A5><IMG  BORDER=0 SRC=\"images/icons/warning.gif\" ALT=\"\">\n"
              "<FONT COLOR=\"White\"><B>Morvale Error</B></FONT></TD></TR>\n"
              "<TR><TD BGCOLOR=#9CB2A5 NOWRAP ALIGN=LEFT CLASS=MainTitleButtons>"
              "<A HREF=\"javascript: history.back();\"><IMG  BORDER=0 SRC=\"images/nav/back.gif\" "
              "ALT=\"Go back\"></A>\n<A HREF=\"javascript: history.back();\">Back</A></TD></TR></TABLE>\n"
              "<TABLE BORDER=0 SUMMARY=\"\"><TR><TD>&nbsp;&nbsp;&nbsp; "
              "<IMG  BORDER=0 SRC=\"images/icons/error_symbol.gif\" ALT=\"\">\n"
              "</TD><TD VALIGN=CENTER CLASS=GenHeader>Morvale Error</TD></TR></TABLE>\n"
              "<SPAN><B>Error:</B> Display Command &lt;b&gt; not valid<BR><BR></SPAN>\n"
              "<SPAN><B>Error:</B> Second problem<BR><BR></SPAN>\n");
    EXPECT_EQ(mow_test::headers_sent.size(), 1u);
    EXPECT_NE(err.find("Display Command <b> not valid"), std::string::npos) << err;
    EXPECT_NE(err.find("Second problem"), std::string::npos) << err;
    EXPECT_NE(err.find("Only in the log"), std::string::npos) << err;
}

} // namespace
