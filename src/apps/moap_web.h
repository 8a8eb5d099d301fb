// The web interface's frames (display commands "frames", "nav", "dir", "content", "blank", "none"),
// the top bar, and the "web" command type with its CGI operation `normal`.
#pragma once
#include "mo_std.h"

// Writes the search form of the top bar.
typedef int (*moap_web_search_box_fn_t)(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;

// Registers the "web" command type, the six display commands, the tabs (modi_dir_construct) and the
// tab pages.
int moap_web_construct(MOT_TOP_SESSION_T *session) noexcept;
// The search pages give the form the top bar shows on its right; none until they do.
void moap_web_set_search_box(moap_web_search_box_fn_t search_box) noexcept;

// The banner of the top bar: the product logo linked to the maker, the site's own banner when it has
// one, and the search form.
int moap_web_topnav(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
// The tab bar: the upper tab row; the welcome line with the logout link, the lower tab row and the
// maker's link.
int moap_web_hotlink_bar(MOX_AUX_T *aux, MOOU_OUT_DEF_T *out_def) noexcept;
