#pragma once

// The parameter pages: which parameters of groups 1..5 share a page of 16 rows, and in which
// row each one stands.

#include <array>
#include <string>
#include <vector>

#include "params/parameter_table.h"

namespace zrd::params {

inline constexpr int kRowsPerPage = 16;
inline constexpr int kPageGroups = 5;

// One page of a group tab: its name and the table positions of its rows, in row order.
struct PagePlan {
    int group = 0;  // 1..5
    std::string name;
    std::vector<int> rows;
};

// Every page of groups 1..5 in build order; a page's index is its frame slot.
struct PagesPlan {
    std::array<std::string, kPageGroups> captions;  // tab captions of groups 1..5
    std::vector<PagePlan> pages;
    // Parameters that belong to a group but found no row (page list full, or a group-1 page
    // already holding 16 rows).
    std::vector<int> withoutRow;
};

// Lays the parameters of groups 1..5 out on pages of 16 rows. Group 1 makes one page per run
// of a subgroup, named after it; groups 2..5 name pages subgroup + "_page" + N and start a new
// one when the subgroup changes or the page is full. At most 200 pages in all.
PagesPlan planPages(const ParameterModel& model);

// Records the plan in the model: each row's parameter gets its frame slot and its default as
// value and previous value (not a known value); every other parameter gets no frame.
void applyPagePlan(const PagesPlan& plan, ParameterModel& model);

// Where a table position sits on the pages.
struct RowPlace {
    int frame = kNoFrame;
    int row = -1;
};
RowPlace findRow(const PagesPlan& plan, int position);

}  // namespace zrd::params
