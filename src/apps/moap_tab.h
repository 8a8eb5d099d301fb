// The tab record: the installation-wide settings that administrators change in the browser (the help
// address of the page footers, the outgoing and incoming mail servers and accounts, the mail format)
// and the default access lists of the "Docs", "Tables" and "Mail Groups" tabs and of the "Company
// Info" and "Support" areas. One record in "<lib>/tab/0", shown as two pages: "General Setup"
// ("tab_gen") and "Default Access List" ("tab_access"), each field on the page of its group.
//
// The record is made on its first read, under the file's write lock. Every request copies its mail
// and help settings into the setup record and stamps the item-access cache with the file's
// modification number, so that a change is seen on the next request in every process.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

#include <cstdint>

struct MOIL_ACCESSLIST_T;

#define MOAP_TAB_GEN_ID 1
#define MOAP_TAB_ACCESS_ID 2
#define MOAP_TAB_USEROPT_ID 3
#define MOAP_TAB_HELP_DEFAULT "support@example.com" // the maker's help desk until a site sets its own
#define MOAP_TAB_ICON "system_file_types/icons/tab.gif"

// Mail formats.
#define MOAP_TAB_MAIL_HTML 1
#define MOAP_TAB_MAIL_TEXT_AND_HTML 2

struct MOAP_TAB_T {
    int32_t id;                             // "ID"
    int32_t new_;                           // "NEW"
    int32_t delete_status;                  // "DEL"
    char *help_address;                     // "HP": shown at the page footers
    char *smtp_server;                      // "MS": host of outgoing mail
    char *smtp_username;                    // "MSU": SMTP authorisation, optional
    char *smtp_passwd;                      // "MSP": never shown
    char *pop_username;                     // "PU": the mail groups' POP account
    char *pop_passwd;                       // "PP": never shown
    char *pop_server;                       // "PS": host of the POP account
    int32_t mail_format_option;             // "MF": MOAP_TAB_MAIL_*
    MOIL_ACCESSLIST_T *docs_view_access;    // "DVA"
    MOIL_ACCESSLIST_T *docs_edit_access;    // "DEA"
    MOIL_ACCESSLIST_T *docs_lib_access;     // "DLA"
    MOIL_ACCESSLIST_T *table_view_access;   // "TVA"
    MOIL_ACCESSLIST_T *table_edit_access;   // "TEA"
    MOIL_ACCESSLIST_T *table_lib_access;    // "TLA"
    MOIL_ACCESSLIST_T *mgroups_view_access; // "MVA"
    MOIL_ACCESSLIST_T *mgroups_edit_access; // "MEA"
    MOIL_ACCESSLIST_T *mgroups_lib_access;  // "MLA"
    MOIL_ACCESSLIST_T *company_access;      // "CVA"
    MOIL_ACCESSLIST_T *support_access;      // "SVA"
};
typedef struct MOAP_TAB_T moap_tab_t;

// Registers "tab_gen", "tab_access" and "tab_useropt" and points aux->tab_stype at "tab_gen".
int moap_tab_construct(MOT_TOP_SESSION_T *session) noexcept;

// The tab record of this request (read, or made on the first read); the groups must be loaded in the
// access service, since a new record's "everyone" names the system group "all".
int moap_tab_get_record(MOX_AUX_T *aux, MOAP_TAB_T **tab) noexcept;
// Copies the help address, the SMTP server, account and password, the POP server, account and
// password and the mail format into the setup record.
int moap_tab_init_element(MOX_AUX_T *aux) noexcept;
// The modification mark of the tab data as last read: the file's modification number joined with its
// identity (a restarted daemon numbers from 0 again). Changes with every change of the file.
int moap_tab_get_mod(MOX_AUX_T *aux, int *mark) noexcept;

// The read operation of the two pages: the standard read, and on the first read the record of
// defaults made and written under the write lock.
int moap_tab_read_data(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T **first) noexcept;

// Access definitions of the three top-level folder tabs (a stype's assign-access operation): the
// view, edit and librarian checks of the tab and the default lists they read.
int moap_tab_access_docs(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int moap_tab_access_table(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;
int moap_tab_access_mgroups(MOT_TOP_STYPE_T *stype, void *pool_ref) noexcept;

// The default lists (the access levels' get_idlist operations); the list is the record's own.
#define MOAP_TAB_DECLARE_LIST(name)                                                                          \
    int name(MOX_AUX_T *aux, int index_id, int list_id, MOIL_ACCESSLIST_T **result) noexcept;
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_docs_view)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_docs_edit)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_docs_lib)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_table_view)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_table_edit)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_table_lib)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_mgroups_view)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_mgroups_edit)
MOAP_TAB_DECLARE_LIST(moap_tab_get_list_mgroups_lib)
#undef MOAP_TAB_DECLARE_LIST

// The checks of the tabs (the access levels' gen operations): the item-access cache's verdict for
// (list id, user, kind), else worked out and cached. View: an administrator, or in the view, edit or
// librarian list; edit: an administrator, or in the edit or librarian list; librarian: an
// administrator, or in the librarian list. A list grants a view only from the "View Only" privilege
// up, and edit and librarian only from "Normal" up.
#define MOAP_TAB_DECLARE_CHECK(name)                                                                         \
    int name(MOX_AUX_T *aux, MOTSL_ACCESS_DEF_T *def, int index_id, int list_id, int user_id,                \
             mo_boolean_t *ok) noexcept;
MOAP_TAB_DECLARE_CHECK(moap_tab_check_docs_view)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_docs_edit)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_docs_lib)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_table_view)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_table_edit)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_table_lib)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_mgroups_view)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_mgroups_edit)
MOAP_TAB_DECLARE_CHECK(moap_tab_check_mgroups_lib)
#undef MOAP_TAB_DECLARE_CHECK

// May the user reach the company (support) area: an administrator, or named by its access list (from
// the "View Only" privilege up).
int moap_tab_access_company(MOX_AUX_T *aux, int user_id, mo_boolean_t *ok) noexcept;
int moap_tab_access_support(MOX_AUX_T *aux, int user_id, mo_boolean_t *ok) noexcept;

// The tab button of a page in the navigation bar: the slices and, when the user may edit the page, a
// link with `text` to its edit form (else the text alone); then an empty cell.
int moap_tab_view_tab(MOT_TOP_STYPE_T *stype, MOOU_OUT_DEF_T *out_def, const char *text) noexcept;
