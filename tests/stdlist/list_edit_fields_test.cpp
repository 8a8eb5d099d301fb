// The fields of the edit forms: the four-cell grid, each writer with hostile values (everything from
// data escaped where it lands, no stored password in the page), the parsers on what comes back (absent
// fields, placeholders, line breaks, sizes, numbers, names of other lists, access lists and their
// parent box), and the name checks with their messages.
#include "list_fixture.h"
#include "stdlist/mowsl_web_stdlist_edit.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>

using namespace tl;

namespace {

int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept MO_PRINTF(2, 3);

struct Out {
    MOOU_OUT_DEF_T def{};
    std::string text;
    Out() {
        def.out_ref = this;
        def.line_fn = collect_line;
    }
    std::string take() {
        std::string t = text;
        text.clear();
        return t;
    }
};

int collect_line(MOOU_OUT_DEF_T *o, const char *fmt, ...) noexcept {
    va_list ap;
    va_start(ap, fmt);
    char buf[16384];
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    static_cast<Out *>(o->out_ref)->text += buf;
    return 0;
}

// A second content type whose columns name elements of "tnote": an access list, an id, an id list,
// and a graphic, a colour, a date and a password.
struct TACL_T {
    int32_t id;
    int32_t new_;
    int32_t delete_status;
    MOIL_ACCESSLIST_T *acl;
    int32_t ref;
    MOIL_IDLIST_T *refs;
    char *graphic;
    int32_t color;
    uint32_t date;
    char *secret;
};

int tacl_filename(MOT_TOP_STYPE_T *stype) noexcept {
    return motsl_set_data_filename(stype, "%s/tacl/0", stype->aux->setup->lib_dir);
}

const MOTSL_COLUMN_DEF_T tacl_columns[] = {
    {.keyword = "A",
     .struct_offset = offsetof(TACL_T, acl),
     .common_alloc_fn = motsl_common_alloc_accesslist,
     .user_name = "Readers"},
    {.keyword = "I",
     .struct_offset = offsetof(TACL_T, ref),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motsl_common_alloc_id,
     .user_name = "Note"},
    {.keyword = "L",
     .struct_offset = offsetof(TACL_T, refs),
     .init_ref = mok_fn_ref(motsl_idlist_init_empty),
     .common_alloc_fn = motsl_common_alloc_idlist,
     .user_name = "Notes"},
    {.keyword = "G",
     .struct_offset = offsetof(TACL_T, graphic),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Icon",
     .cell_edit_start_fn = mowsl_edit_start_graphic_icon},
    {.keyword = "C",
     .struct_offset = offsetof(TACL_T, color),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_integer,
     .user_name = "Colour",
     .cell_edit_start_fn = mowsl_edit_start_color},
    {.keyword = "D",
     .struct_offset = offsetof(TACL_T, date),
     .init_ref = mok_int_ref(0),
     .common_alloc_fn = motc_common_alloc_date,
     .user_name = "Date"},
    {.keyword = "W",
     .struct_offset = offsetof(TACL_T, secret),
     .init_ref = "",
     .common_alloc_fn = motc_common_alloc_string,
     .user_name = "Secret",
     .cell_edit_start_fn = mowsl_edit_start_string_passwd},
};

const MOTSL_FAMILY_DEF_T tacl_family = {
    .name = "tacl",
    .main_id = 11,
    .useropt_id = 13,
    .help = "Active Tacl Entries",
    .useropt_help = "Tacl user options",
    .lock_element_string = "Tacl ID Number",
    .lock_file_string = "Tacl Data",
    .access_fn = motsl_access_super_super,
    .size_of_element = sizeof(TACL_T),
    .columns = tacl_columns,
    .column_count = static_cast<int>(sizeof(tacl_columns) / sizeof(tacl_columns[0])),
    .init_filename = tacl_filename,
};

MOW_POST_RESULTS_T *form_of(std::vector<std::pair<std::string, std::string>> &fields,
                            std::vector<MOW_POST_RESULTS_T> &results) {
    results.clear();
    for (auto &f : fields)
        results.push_back({f.first.data(), f.second.data()});
    results.push_back({nullptr, nullptr});
    return results.data();
}

struct EditFields : ::testing::Test {
    mot_test::TempDir home;
    std::unique_ptr<Daemon> daemon;
    std::unique_ptr<Proc> p;
    MOT_TOP_STYPE_T *notes = nullptr;
    MOT_TOP_STYPE_T *tacl = nullptr;
    Out out;

    void SetUp() override {
        daemon = std::make_unique<Daemon>(home.path);
        p = std::make_unique<Proc>(home.path);
        ASSERT_EQ(motsl_register_family(p->session, &tacl_family), 0);
        ASSERT_TRUE(p->connect(daemon->port));
        p->access.current = 7;
        p->access.privilege[7] = MOTSL_PRIV_ADMIN;
        notes = p->stype("tnote");
        tacl = p->stype("tacl");
        ASSERT_EQ(p->init(notes), 0);
        for (const char *t : {"Alpha", "Beta", "\"><img src=x onerror=alert(1)>"})
            ASSERT_EQ(p->add_note(notes, t), 0);
        p->end_request();
    }

    // A request's set-up of a list: position, web initialisation and its rows' flags.
    MOK_DATA_RECORD_T *begin(MOT_TOP_STYPE_T *s) {
        MOT_TOP_STYPE_T *st = s;
        EXPECT_EQ(motsl_set_position(s, 0, 0, 0), 0);
        EXPECT_EQ(st->init_web(p->req, &st), 0);
        MOK_DATA_RECORD_T *first = nullptr;
        if (s != tacl) {
            EXPECT_EQ(mowsl_list_read(s, &first), 0);
            return first;
        }
        EXPECT_EQ(motsl_init_access_array_info_and_store(s, p->req, "A", nullptr, nullptr, notes, "T", "DEL",
                                                         notes, "T", "DEL"),
                  0);
        EXPECT_EQ(motsl_init_array_info_and_store(s, p->req, "I", notes, "T", "DEL"), 0);
        EXPECT_EQ(motsl_init_array_info_and_store(s, p->req, "L", notes, "T", "DEL"), 0);
        EXPECT_EQ(mowsl_list_read(s, &first), 0);
        MOK_DATA_RECORD_T *record = nullptr;
        EXPECT_EQ(s->new_data(s, &record), 0);
        return record;
    }

    MOTSL_STDLIST_KEYWORD_T *column(MOT_TOP_STYPE_T *s, const char *keyword) {
        MOTSL_STDLIST_KEYWORD_T *c = nullptr;
        EXPECT_EQ(motsl_find_column(s, keyword, &c), 0);
        return c;
    }

    std::string write(MOT_TOP_STYPE_T *s, motsl_cell_fn_t writer, const char *keyword, MOK_DATA_RECORD_T *r) {
        out.def.edit_td_count = 0;
        EXPECT_EQ(writer(s, &out.def, column(s, keyword), r), 0) << keyword;
        return out.take();
    }
};

TEST_F(EditFields, TheGridKeepsFourCellsARowWithItsRules) {
    MOTSL_STDLIST_KEYWORD_T half{}, own{}, closing{}, quarter{};
    own.type_vector = MOTSL_TV_ROW_OWN;
    closing.type_vector = MOTSL_TV_ROW_CLOSE;
    MOOU_OUT_DEF_T &o = out.def;
    o.edit_td_count = 0;
    // A half field, then one that wants its own row under a rule: the row is padded first.
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &half, FALSE, 2), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &half, 2), 0);
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &own, FALSE, 2), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &own, 2), 0);
    // A quarter fits beside it; the next half does not and starts a row.
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &quarter, FALSE, 1), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &quarter, 1), 0);
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &half, FALSE, 2), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &half, 2), 0);
    // A field that closes its row with a rule after it; the next field starts afresh.
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &closing, FALSE, 1), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &closing, 1), 0);
    ASSERT_EQ(mowsl_edit_start_cells(notes, &o, &quarter, FALSE, 1), 0);
    ASSERT_EQ(mowsl_edit_end_line(notes, &o, &quarter, 1), 0);
    ASSERT_EQ(mowsl_edit_terminate(notes, &o), 0);
    ASSERT_EQ(mowsl_edit_terminate(notes, &o), 0); // nothing more to close
    const std::string rule = "<TD COLSPAN=4><HR ALIGN=LEFT SIZE=2 NOSHADE ></TD>";
    EXPECT_EQ(out.take(), "<TR>\n<TD>&nbsp; </TD>\n<TD>&nbsp; </TD>\n</TR>\n<TR>\n" + rule + "</TR>\n<TR>" +
                              "<TD>&nbsp; </TD>\n</TR>\n<TR>\n" + "<TD>&nbsp;</TD>\n</TR>\n<TR>" + rule +
                              "</TR>\n<TR>\n<TD>&nbsp; </TD>\n<TD>&nbsp; </TD>\n<TD>&nbsp; </TD>\n</TR>\n");
}

TEST_F(EditFields, WritersEscapeEveryValueAndNeverShowAStoredPassword) {
    MOK_DATA_RECORD_T *first = begin(notes);
    MOK_DATA_RECORD_T *hostile = first->next->next;
    auto *n = static_cast<TNOTE_T *>(hostile->container);
    n->body = nullptr;
    mok_add_multi_line(p->aux, nullptr, "</TEXTAREA><script>alert('b')</script>", &n->body);
    const std::string title = "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;";

    std::string full = write(notes, mowsl_edit_start_string_full, "T", hostile);
    EXPECT_NE(full.find("<TD COLSPAN=3 ALIGN = LEFT>\n<INPUT TYPE=TEXT  NAME=\"T\" VALUE=\"" + title +
                        "\" SIZE=45 MAXLENGTH=150 >"),
              std::string::npos)
        << full;
    // The heading with its help button.
    EXPECT_NE(full.find("<TD ALIGN=LEFT><B>Title</B>&nbsp; <IMG  BORDER=0 SRC=\"/mo_images/icons/info.gif\" "
                        "ALT=\"What the note is about\">"),
              std::string::npos)
        << full;
    EXPECT_NE(write(notes, mowsl_edit_start_string_quarter, "T", hostile)
                  .find("<BR>\n<INPUT TYPE=TEXT  NAME=\"T\" VALUE=\"" + title + "\" SIZE=5 MAXLENGTH=30 >"),
              std::string::npos);
    EXPECT_NE(write(notes, mowsl_edit_start_string_half_reset, "T", hostile).find("SIZE=15 MAXLENGTH=150"),
              std::string::npos);
    std::string hidden = write(notes, mowsl_edit_start_string_null, "B", hostile);
    EXPECT_EQ(hidden, "<INPUT TYPE=HIDDEN NAME=\"B\" "
                      "VALUE=\"&lt;/TEXTAREA&gt;&lt;script&gt;alert('b')&lt;/script&gt;&#10;\">\n");
    std::string area = write(notes, mowsl_edit_start_multi_line, "B", hostile);
    EXPECT_NE(area.find("<TEXTAREA NAME=\"B\" ROWS=5 "
                        "COLS=50>\n&lt;/TEXTAREA&gt;&lt;script&gt;alert('b')&lt;/script&gt;\n</TEXTAREA>"),
              std::string::npos)
        << area;
    EXPECT_NE(write(notes, mowsl_edit_start_multi_line_small, "B", hostile)
                  .find("</TD><TD  ALIGN=LEFT COLSPAN=3><TEXTAREA NAME=\"B\" ROWS=3 COLS=40>"),
              std::string::npos);

    // The values already in the column, as choices (the empty value is no choice).
    std::string choice = write(notes, mowsl_edit_start_string_with_choice, "T", hostile);
    EXPECT_NE(choice.find("<TD ALIGN = LEFT> Choose\n<SELECT NAME=\"selT\" "
                          "onChange=\"displayT(this)\">\n<OPTION>\n<OPTION>" +
                          title + "\n<OPTION>Alpha\n<OPTION>Beta\n</SELECT>\nor enter\n"),
              std::string::npos)
        << choice;
    EXPECT_NE(choice.find("function displayT(sel)"), std::string::npos) << choice;

    // Options: the current one chosen; one the user may not choose is not offered.
    static const MOTSL_DISPLAY_OPTIONS_T guarded[] = {
        {.number = 1, .string = "Open", .color_index = 1, .choose_access_fn = nullptr},
        {.number = 2, .string = "Cl<o>sed", .color_index = 0, .choose_access_fn = nullptr},
        {.number = 9,
         .string = "Escalated",
         .color_index = 2,
         .choose_access_fn =
             [](MOX_AUX_T *, MOTSL_STDLIST_KEYWORD_T *, mo_boolean_t *ok) noexcept {
                 *ok = FALSE;
                 return 0;
             }},
        {.number = -1, .string = nullptr, .color_index = 0, .choose_access_fn = nullptr},
    };
    MOTSL_STDLIST_KEYWORD_T *status = column(notes, "S");
    const void *table = status->display_ref;
    status->display_ref = guarded;
    n->status = 2;
    EXPECT_EQ(
        write(notes, mowsl_edit_start_option, "S", hostile),
        "<TR>\n<TD ALIGN=LEFT><B>Status</B></TD>\n<TD ALIGN = LEFT>\n<SELECT NAME=\"S\">\n<OPTION>Open\n"
        " <OPTION SELECTED>Cl&lt;o&gt;sed\n</SELECT>\n</TD>\n");
    n->status = 9;
    EXPECT_NE(write(notes, mowsl_edit_start_option_whole_line, "S", hostile)
                  .find("<TD ALIGN = LEFT COLSPAN=3>\n<SELECT "
                        "NAME=\"S\">\n<OPTION>Open\n<OPTION>Cl&lt;o&gt;sed\n <OPTION SELECTED>Escalated\n"),
              std::string::npos);
    status->display_ref = table;
    EXPECT_EQ(write(notes, mowsl_edit_start_option_null, "S", hostile), "");
    EXPECT_EQ(write(notes, mowsl_bedit_default, "S", hostile), "<!-- BEDIT S -->\n");
    p->end_request();

    MOK_DATA_RECORD_T *r = begin(tacl);
    auto *t = static_cast<TACL_T *>(r->container);
    t->secret = strdup("s3cret-hash");
    t->graphic = strdup("system_file_types/icons/a\"b<c>.gif");
    t->color = 3;
    t->date = 86400 * 365;
    std::string secret = write(tacl, mowsl_edit_start_string_passwd, "W", r);
    EXPECT_EQ(secret.find("s3cret"), std::string::npos) << secret;
    EXPECT_NE(secret.find("<INPUT TYPE=PASSWORD  NAME=\"W\" VALUE=\"********\" SIZE=45 MAXLENGTH=150 >"),
              std::string::npos)
        << secret;
    std::string graphic = write(tacl, mowsl_edit_start_graphic_icon, "G", r);
    EXPECT_NE(graphic.find("<IMG NAME=G_IMAGE BORDER=0 "
                           "SRC=\"/mo_images/system_file_types/icons/a&quot;b&lt;c&gt;.gif\" ALT=\"\"><INPUT "
                           "TYPE=HIDDEN NAME=\"G\" VALUE=\"system_file_types/icons/a&quot;b&lt;c&gt;.gif\">"),
              std::string::npos)
        << graphic;
    EXPECT_NE(graphic.find("tacl&gchooser&G&2\" onclick=\"NewWindow(this.href,'gchooser','400','300','yes'); "
                           "return false;\">"),
              std::string::npos)
        << graphic;
    EXPECT_NE(graphic.find("ALT=\"Choose the graphic icon\""), std::string::npos) << graphic;
    std::string colour = write(tacl, mowsl_edit_start_color, "C", r);
    EXPECT_NE(colour.find("SRC=\"/mo_images/backgrounds/color_orange.gif\""), std::string::npos) << colour;
    EXPECT_NE(colour.find("<INPUT TYPE=HIDDEN NAME=\"C\" VALUE=\"3\">"), std::string::npos) << colour;
    EXPECT_NE(colour.find("color_chooser&C\" onclick="), std::string::npos) << colour;
    std::string date = write(tacl, mowsl_cell_edit_start_of(tacl, column(tacl, "D")), "D", r);
    EXPECT_NE(date.find("<TD ALIGN=LEFT><B>Date</B></TD>\n<TD ALIGN = LEFT>"), std::string::npos) << date;
    EXPECT_EQ(date.find("<INPUT"), std::string::npos) << date;

    // Names of the bound list: every committed, active element; the value's own chosen.
    t->ref = 3;
    std::string id = write(tacl, mowsl_cell_edit_start_of(tacl, column(tacl, "I")), "I", r);
    EXPECT_NE(
        id.find("<SELECT NAME=\"I\">\n<OPTION>Not-Defined\n<OPTION>Alpha\n<OPTION SELECTED>Beta\n<OPTION>" +
                title + "\n</SELECT>"),
        std::string::npos)
        << id;
    std::string acl = write(tacl, mowsl_cell_edit_start_of(tacl, column(tacl, "A")), "A", r);
    EXPECT_NE(acl.find("<SELECT NAME=\"usrA\" onChange=\"mo_list_add(this, 'A')\">\n<OPTION VALUE=\"\">Add "
                       "Users to List\n<OPTION VALUE=\"User_Alpha\">Alpha\n"),
              std::string::npos)
        << acl;
    EXPECT_NE(acl.find("<OPTION VALUE=\"Group_^Beta\">Beta\n"), std::string::npos) << acl;
    EXPECT_NE(acl.find("<OPTION VALUE=\"User_" + title + "\">"), std::string::npos) << acl;
    EXPECT_NE(acl.find("</SELECT>\n<B>--></B>\n<INPUT TYPE=TEXT  NAME=\"A\" VALUE=\"\" SIZE=45 "
                       "MAXLENGTH=4000 >\n<INPUT TYPE=CHECKBOX NAME=\"APARENT\" VALUE=\"ON\" CHECKED > "
                       "Parent List <INPUT TYPE=HIDDEN NAME=\"APARENTBOX\" VALUE=\"ON\">"),
              std::string::npos)
        << acl;
    EXPECT_EQ(write(tacl, mowsl_edit_start_accesslist_no_parent, "A", r).find("PARENT"), std::string::npos);
    EXPECT_NE(write(tacl, mowsl_edit_start_accesslist_always_parent, "A", r)
                  .find("<INPUT TYPE=HIDDEN NAME=\"APARENT\" VALUE=\"ON\">"),
              std::string::npos);
    p->end_request();
}

TEST_F(EditFields, ParsersTakeOnlyWhatChangedAndRefuseWhatDoesNotFit) {
    MOK_DATA_RECORD_T *r = begin(tacl);
    auto *t = static_cast<TACL_T *>(r->container);
    t->secret = strdup("stored");
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<MOW_POST_RESULTS_T> results;
    auto parse = [&](const char *keyword, std::vector<std::pair<std::string, std::string>> posted,
                     std::string *err = nullptr) {
        fields = posted;
        MOTSL_STDLIST_KEYWORD_T *c = column(tacl, keyword);
        int ret = 0;
        std::string e = mot_test::capture_stderr(
            [&] { ret = mowsl_cell_edit_end_of(tacl, c)(tacl, c, form_of(fields, results), r->container); });
        if (err != nullptr)
            *err = e;
        return ret;
    };
    std::string err;
    // Absent fields and the password placeholder change nothing.
    ASSERT_EQ(parse("W", {{"G", "x"}}), 0);
    ASSERT_EQ(parse("W", {{"W", "********"}}), 0);
    EXPECT_STREQ(t->secret, "stored");
    ASSERT_EQ(parse("W", {{"W", "new one"}}), 0);
    EXPECT_STREQ(t->secret, "new one");

    // Names of the bound list, an unknown one refused.
    ASSERT_EQ(parse("I", {{"I", "Beta"}}, &err), 0) << err;
    EXPECT_EQ(t->ref, 3);
    EXPECT_NE(parse("I", {{"I", "Zeta"}}, &err), 0);
    EXPECT_NE(err.find("Can't find Zeta in the Title column of tnote entries"), std::string::npos) << err;
    EXPECT_EQ(t->ref, 3);
    ASSERT_EQ(parse("I", {{"I", "Not-Defined"}}), 0);
    EXPECT_EQ(t->ref, 0);
    ASSERT_EQ(parse("L", {{"L", "Alpha, Beta,Alpha"}}), 0);
    ASSERT_NE(t->refs, nullptr);
    EXPECT_EQ(t->refs->id, 2);
    ASSERT_NE(t->refs->next, nullptr);
    EXPECT_EQ(t->refs->next->id, 3);
    EXPECT_EQ(t->refs->next->next, nullptr);
    EXPECT_NE(parse("L", {{"L", "Alpha\nBeta"}}, &err), 0);
    EXPECT_NE(err.find("The Notes may not contain line breaks"), std::string::npos) << err;

    // Access lists: users and groups; the parent part only where the form showed it.
    ASSERT_EQ(parse("A", {{"A", "Alpha, ^Beta"}, {"APARENTBOX", "ON"}}), 0);
    ASSERT_NE(t->acl, nullptr);
    ASSERT_NE(t->acl->user, nullptr);
    EXPECT_EQ(t->acl->user->id, 2);
    ASSERT_NE(t->acl->group, nullptr);
    EXPECT_EQ(t->acl->group->id, 3);
    EXPECT_FALSE(t->acl->use_parent);
    ASSERT_EQ(parse("A", {{"A", "Alpha, ^Beta"}}), 0);
    EXPECT_FALSE(t->acl->use_parent);
    ASSERT_EQ(parse("A", {{"A", "Alpha, ^Beta"}, {"APARENT", "ON"}, {"APARENTBOX", "ON"}}), 0);
    EXPECT_TRUE(t->acl->use_parent);
    ASSERT_EQ(parse("A", {{"APARENT", ""}}), 0); // the advanced window's copy of an unticked box
    EXPECT_FALSE(t->acl->use_parent);
    EXPECT_NE(parse("A", {{"A", std::string(4001, 'a')}}, &err), 0);
    EXPECT_NE(err.find("The Readers is longer than 4000 characters"), std::string::npos) << err;

    // Colours are the table's; dates are only shown.
    EXPECT_NE(parse("C", {{"C", "17"}}, &err), 0);
    EXPECT_NE(err.find("The Colour (17) is not one of the colours"), std::string::npos) << err;
    ASSERT_EQ(parse("C", {{"C", "5"}}), 0);
    EXPECT_EQ(t->color, 5);
    ASSERT_EQ(parse("D", {{"D", "yesterday"}}), 0);
    EXPECT_EQ(t->date, 0u);
    // A graphic path goes in as typed, within its field.
    ASSERT_EQ(parse("G", {{"G", "user_file_types/icons/x.gif"}}), 0);
    EXPECT_STREQ(t->graphic, "user_file_types/icons/x.gif");
    EXPECT_NE(parse("G", {{"G", std::string(1022, 'g')}}, &err), 0);
    EXPECT_NE(err.find("The Icon is longer than 1021 characters"), std::string::npos) << err;
    p->end_request();
}

TEST_F(EditFields, ChecksRefuseForbiddenCharactersCommasOthersAndDuplicates) {
    MOK_DATA_RECORD_T *first = begin(notes);
    MOTSL_STDLIST_KEYWORD_T *title = column(notes, "T");
    auto *n = static_cast<TNOTE_T *>(first->container);
    auto check = [&](motsl_cell_edit_check_fn_t fn, const char *value, std::string *err) {
        n->title = strdup(value);
        int ret = 0;
        *err = mot_test::capture_stderr([&] { ret = fn(notes, title, first->container, first->container); });
        return ret;
    };
    std::string err;
    EXPECT_EQ(check(mowsl_check_filename_chars, "plain-name_1.txt", &err), 0);
    EXPECT_NE(check(mowsl_check_filename_chars, "a b", &err), 0);
    EXPECT_NE(
        err.find("The Title (a b) is not allowed to contain the characters %?<>#\"|^~'\\&+`*:/ space \n"),
        std::string::npos)
        << err;
    EXPECT_EQ(check(mowsl_check_folder_chars, "a b", &err), 0);
    EXPECT_NE(check(mowsl_check_folder_chars, "a/b", &err), 0);
    EXPECT_NE(err.find("The Title (a/b) is not allowed to contain the characters %?<>#\"|^~'\\&+`*:/\n"),
              std::string::npos)
        << err;
    EXPECT_NE(check(mowsl_check_username_chars, "jo=e", &err), 0);
    EXPECT_NE(
        err.find("The Title (jo=e) is not allowed to contain the characters \\/[]:|<>\"+=;,?*^ space \n"),
        std::string::npos)
        << err;
    EXPECT_EQ(check(mowsl_check_username_chars, "joe.bloggs", &err), 0);
    EXPECT_NE(check(mowsl_check_no_comma, "a,b", &err), 0);
    EXPECT_NE(err.find("The Title (a,b) is not allowed to contain the comma character.\n"),
              std::string::npos);
    EXPECT_EQ(check(mowsl_check_string_alpha_num_space, "Ab 1_-", &err), 0);
    EXPECT_NE(check(mowsl_check_string_alpha_num_space, "Ab.1", &err), 0);
    EXPECT_NE(
        err.find("The Title (Ab.1) contains characters other than alpha-numerics, underscores and spaces.\n"),
        std::string::npos);
    EXPECT_EQ(check(mowsl_edit_check_null, "anything, at all", &err), 0);

    // Another active element of the same name: refused; another case, or the element itself, not.
    auto unique = [&](const char *value) {
        TNOTE_T copy = *static_cast<TNOTE_T *>(first->next->container);
        copy.title = strdup(value);
        int ret = 0;
        err = mot_test::capture_stderr([&] { ret = mowsl_check_unique(notes, title, &copy, "T"); });
        return ret;
    };
    n->title = strdup("Alpha");
    EXPECT_NE(unique("Alpha"), 0);
    EXPECT_NE(
        err.find("There is already another active Title called Alpha, go back and try another Title.\n"),
        std::string::npos)
        << err;
    EXPECT_EQ(unique("alpha"), 0);
    EXPECT_EQ(unique("Beta"), 0);
    n->delete_status = 1;
    EXPECT_EQ(unique("Alpha"), 0);
    p->end_request();
}

} // namespace
