// The web pages of the standard lists. So far the list page's row pipeline: the rows the user may
// see, filtered by the columns' filters and match texts, sorted by the sorting column.
#pragma once
#include "mo_std.h"
#include "stdlist/motsl_stdlist.h"

// New chain of the rows whose view flag is set (same records, same flags).
int mowsl_list_filter_view_access(MOT_TOP_STYPE_T *stype, MOK_DATA_RECORD_T *rows,
                                  MOK_DATA_RECORD_T **visible_result) noexcept;
// New chain of the rows every shown column's filter and match text let through, in their order.
int mowsl_list_filter_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                           MOK_DATA_RECORD_T **filtered_result) noexcept;
// Sorts the given chain by the last shown sortable column whose sort option is set.
int mowsl_list_sort_data(MOT_TOP_STYPE_T *stype, MOTSL_STDLIST_ORDER_T *order, MOK_DATA_RECORD_T *rows,
                         MOK_DATA_RECORD_T **sorted_result) noexcept;
