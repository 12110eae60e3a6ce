#include "params/page_layout.h"

#include <string_view>

namespace zrd::params {
namespace {

bool inGroup(const TPar& p, int group) {
    return !p.Pname.empty() && p.IndexGroup == group && p.Mode_mes == 0;
}

// Adds a page unless the frame list is full; the new page's index, or -1.
int addPage(PagesPlan& plan, int group, std::string name) {
    if (static_cast<int>(plan.pages.size()) >= kPageFrameCount)
        return -1;
    plan.pages.push_back(PagePlan{group, std::move(name), {}});
    return static_cast<int>(plan.pages.size()) - 1;
}

void planFirstGroup(const ParameterModel& model, PagesPlan& plan) {
    const size_t firstPage = plan.pages.size();
    // Pages: one per run of the same subgroup.
    const std::string* runSubgroup = nullptr;
    for (int pos = 0; pos < kParameterCount; ++pos) {
        const TPar& p = model.parameter(pos);
        if (!inGroup(p, 1))
            continue;
        if (runSubgroup == nullptr || *runSubgroup != p.NameSubgroup) {
            addPage(plan, 1, p.NameSubgroup);
            runSubgroup = &p.NameSubgroup;
        }
    }
    // Rows: the first page of the subgroup's name; a resumed run's own page stays empty.
    // When that page is full the parameter goes to a later page of the same name.
    for (int pos = 0; pos < kParameterCount; ++pos) {
        const TPar& p = model.parameter(pos);
        if (!inGroup(p, 1))
            continue;
        bool placed = false;
        for (size_t i = firstPage; i < plan.pages.size() && !placed; ++i) {
            PagePlan& page = plan.pages[i];
            if (page.name == p.NameSubgroup && page.rows.size() < kRowsPerPage) {
                page.rows.push_back(pos);
                placed = true;
            }
        }
        if (!placed)
            plan.withoutRow.push_back(pos);
    }
}

void planLaterGroup(const ParameterModel& model, int group, PagesPlan& plan) {
    int current = -1;
    int pagesOfGroup = 0;
    const std::string* subgroup = nullptr;
    bool full = false;  // the frame list has no room left
    for (int pos = 0; pos < kParameterCount; ++pos) {
        const TPar& p = model.parameter(pos);
        if (!inGroup(p, group))
            continue;
        const bool newSubgroup = subgroup == nullptr || *subgroup != p.NameSubgroup;
        const bool pageFull =
            current >= 0 && plan.pages[static_cast<size_t>(current)].rows.size() >= kRowsPerPage;
        if (!full && (current < 0 || newSubgroup || pageFull)) {
            const int page =
                addPage(plan, group, p.NameSubgroup + "_page" + std::to_string(pagesOfGroup + 1));
            if (page < 0) {
                full = true;
                current = -1;
            } else {
                current = page;
                ++pagesOfGroup;
            }
            subgroup = &p.NameSubgroup;
        }
        if (full || current < 0) {
            plan.withoutRow.push_back(pos);
            continue;
        }
        plan.pages[static_cast<size_t>(current)].rows.push_back(pos);
    }
}

// The group's name as its tab shows it: the name in force after the last change of name
// between one parameter of the group and the next.
std::string groupCaption(const ParameterModel& model, int group) {
    std::string caption;
    const TPar* previous = nullptr;
    for (const TPar& p : model.parameters()) {
        if (!inGroup(p, group))
            continue;
        if (previous == nullptr || previous->NameGroup != p.NameGroup)
            caption = p.NameGroup;
        previous = &p;
    }
    return caption;
}

}  // namespace

PagesPlan planPages(const ParameterModel& model) {
    PagesPlan plan;
    for (int g = 1; g <= kPageGroups; ++g) {
        plan.captions[static_cast<size_t>(g - 1)] = groupCaption(model, g);
        if (g == 1)
            planFirstGroup(model, plan);
        else
            planLaterGroup(model, g, plan);
    }
    return plan;
}

void applyPagePlan(const PagesPlan& plan, ParameterModel& model) {
    for (TPar& p : model.parameters())
        p.indexFrame = kNoFrame;
    for (size_t slot = 0; slot < plan.pages.size(); ++slot) {
        for (int pos : plan.pages[slot].rows) {
            TPar& p = model.parameter(pos);
            p.indexFrame = static_cast<int>(slot);
            const double value = defaultDisplay(p);
            model.setValue(pos, value);
            model.setPreviousValue(pos, value);
            model.setKnown(pos, false);
        }
    }
}

RowPlace findRow(const PagesPlan& plan, int position) {
    for (size_t slot = 0; slot < plan.pages.size(); ++slot) {
        const std::vector<int>& rows = plan.pages[slot].rows;
        for (size_t k = 0; k < rows.size(); ++k) {
            if (rows[k] == position)
                return {static_cast<int>(slot), static_cast<int>(k)};
        }
    }
    return {};
}

}  // namespace zrd::params
