#include "params/ui/param_pages.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "core/ui/colors.h"
#include "core/ui/qt_text.h"
#include "params/ui/param_frame.h"

namespace zrd::params {
namespace {

namespace colors = zrd::ui::colors;

// Bits of a formula change mark.
constexpr int kMarkMin = 1;
constexpr int kMarkMax = 2;
constexpr int kMarkDefault = 4;

}  // namespace

TParamPages::TParamPages(ParameterModel& model, const MessageTable& messages, QTabWidget* notebook)
    : QObject(notebook),
      m_model(model),
      m_messages(messages),
      m_notebook(notebook),
      m_firstTab(notebook->count()) {
    const char* captions[] = {"     Drive     ", "     Motor     ", "Current controller",
                              "Speed controller", "Position controller"};
    for (int g = 0; g < kPageGroups; ++g) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("TabPage%1").arg(g + 1));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        auto* pages = new QTabWidget(sheet);
        pages->setObjectName(QString("PageControl%1").arg(g + 1));
        pages->setDocumentMode(true);
        pages->hide();
        layout->addWidget(pages);
        m_controls[static_cast<size_t>(g)] = pages;
        notebook->addTab(sheet, captions[g]);
    }
    PageControl1 = m_controls[0];
    PageControl2 = m_controls[1];
    PageControl3 = m_controls[2];
    PageControl4 = m_controls[3];
    PageControl5 = m_controls[4];
}

void TParamPages::build() {
    for (QTabWidget* control : m_controls) {
        while (control->count() > 0) {
            QWidget* page = control->widget(0);
            control->removeTab(0);
            delete page;
        }
        control->hide();
    }
    m_frames.clear();

    const PagesPlan plan = planPages(m_model);
    applyPagePlan(plan, m_model);
    for (size_t slot = 0; slot < plan.pages.size(); ++slot) {
        const PagePlan& page = plan.pages[slot];
        QTabWidget* control = m_controls[static_cast<size_t>(page.group - 1)];
        const QString name = qs(page.name);
        auto* frame = new TParamFrame(m_model, m_messages, static_cast<int>(slot), name, control);
        connect(frame, &TParamFrame::ParamMouseDown, this, &TParamPages::ParamMouseDown);
        control->addTab(frame, name);
        for (size_t k = 0; k < page.rows.size(); ++k)
            frame->fillRow(static_cast<int>(k), page.rows[k]);
        if (!page.rows.empty())
            frame->showHeaders();
        m_frames.push_back(frame);
    }
    for (int g = 0; g < kPageGroups; ++g) {
        m_notebook->setTabText(m_firstTab + g, qs(plan.captions[static_cast<size_t>(g)]));
        if (m_controls[static_cast<size_t>(g)]->count() > 0)
            m_controls[static_cast<size_t>(g)]->show();
    }
}

TParamFrame* TParamPages::frameOfPosition(int position) const {
    if (position < 0 || position >= kParameterCount)
        return nullptr;
    const int slot = m_model.parameter(position).indexFrame;
    if (slot < 0 || slot >= static_cast<int>(m_frames.size()))
        return nullptr;
    return m_frames[static_cast<size_t>(slot)];
}

void TParamPages::showInRow(int position, const QString& text) {
    TParamFrame* frame = frameOfPosition(position);
    const int k = frame != nullptr ? frame->rowOf(position) : -1;
    if (k >= 0)
        frame->setFieldText(k, TParamFrame::Field::Value, text);
}

void TParamPages::showReadRows() {
    for (TParamFrame* frame : m_frames) {
        for (int k = 0; k < kRowsPerPage; ++k) {
            const int position = frame->positionOf(k);
            if (position >= 0 && m_model.parameter(position).pType == kReadWrite)
                frame->paintField(k, TParamFrame::Field::Value, colors::kWhite);
        }
    }
}

void TParamPages::markChanged(int position, int mark) {
    using Field = TParamFrame::Field;
    TParamFrame* frame = frameOfPosition(position);
    const int k = frame != nullptr ? frame->rowOf(position) : -1;
    if (k < 0)
        return;
    const TPar& p = m_model.parameter(position);
    // Below 4 only the changed limits are marked; from 4 on (the default changed) their new
    // texts are shown as well.
    const bool texts = mark >= kMarkDefault;
    if (mark & kMarkMin) {
        frame->paintField(k, Field::Minimum, colors::kYellow);
        if (texts)
            frame->setFieldText(k, Field::Minimum, qs(valueText(minDisplay(p))));
    }
    if (mark & kMarkMax) {
        frame->paintField(k, Field::Maximum, colors::kYellow);
        if (texts)
            frame->setFieldText(k, Field::Maximum, qs(valueText(maxDisplay(p))));
    }
    if (mark & kMarkDefault) {
        frame->paintField(k, Field::Default, colors::kYellow);
        frame->setFieldText(k, Field::Default, qs(valueText(defaultDisplay(p))));
    }
}

}  // namespace zrd::params
