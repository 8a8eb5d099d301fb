// The mail groups: lists of mail messages (subject, author, date), one data file per list, shown
// under the "Mail Groups" tab. Anyone who may see a list reads it; only those who may edit the list
// change its rows.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

#include <cstdint>

struct MOAP_MGROUPS_T {
    int32_t id;            // "ID"
    int32_t new_;          // "NEW"
    int32_t delete_status; // "DEL"
    char *subject;         // "S"
    char *author;          // "A"
    uint32_t date;         // "D"
};
typedef struct MOAP_MGROUPS_T moap_mgroups_t;

int moap_mgroups_construct(MOT_TOP_SESSION_T *session) noexcept;
int moap_mgroups_setup(MOT_TOP_SESSION_T *session) noexcept;
