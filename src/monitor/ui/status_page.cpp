#include "monitor/ui/status_page.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "monitor/ui/state_frame.h"
#include "params/message_numbers.h"

namespace zrd::monitor {

TStatusPage::TStatusPage(const params::ParameterModel& model, const params::MessageTable& messages,
                         QTabWidget* notebook)
    : QObject(notebook), m_model(model), m_messages(messages) {
    const char* captions[] = {"Status", "Appendix info"};
    const int first = notebook->count();
    QTabWidget** controls[] = {&PageControl6, &PageControl7};
    for (int i = 0; i < 2; ++i) {
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("TabPage%1").arg(first + i));
        auto* layout = new QVBoxLayout(sheet);
        layout->setContentsMargins(2, 2, 2, 2);
        auto* pages = new QTabWidget(sheet);
        pages->setObjectName(QString("PageControl%1").arg(6 + i));
        pages->setDocumentMode(true);
        pages->hide();
        layout->addWidget(pages);
        *controls[i] = pages;
        notebook->addTab(sheet, captions[i]);
        m_frames[i] =
            new TStateFrame(i == 0 ? TStateFrame::Kind::Status : TStateFrame::Kind::Application);
    }
    connect(m_frames[1], &TStateFrame::inversionClicked, this, &TStatusPage::inversionClicked);
}

void TStatusPage::build() {
    QTabWidget* controls[] = {PageControl6, PageControl7};
    const params::ParameterModel::BitTable* tables[] = {&m_model.stateBits(),
                                                        &m_model.applicationBits()};
    const int captions[] = {params::kMsgStatusPage, params::kMsgApplicationPage};
    for (int f = 0; f < 2; ++f) {
        QTabWidget* pages = controls[f];
        // The frame is kept; only its sheet is made anew.
        while (pages->count() > 0) {
            QWidget* sheet = pages->widget(0);
            pages->removeTab(0);
            m_frames[f]->setParent(nullptr);
            delete sheet;
        }
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("StateSheet%1").arg(f));
        m_frames[f]->setParent(sheet);
        m_frames[f]->move(2, 2);
        m_frames[f]->show();
        pages->addTab(sheet,
                      QString::fromStdString(m_messages.text(captions[f], m_model.language())));
        const bool any = m_frames[f]->build(*tables[f], m_model.language());
        m_frames[f]->adjustSize();
        pages->setVisible(any);
    }
}

void TStatusPage::showBits(const FrameBits& state, const FrameBits& application) {
    m_frames[0]->showBits(state);
    m_frames[1]->showBits(application);
}

void TStatusPage::showLive(bool live) {
    for (TStateFrame* frame : m_frames)
        frame->showLive(live);
}

void TStatusPage::setInversion(uint16_t value) {
    m_frames[1]->setInversion(value);
}

uint16_t TStatusPage::inversion() const {
    return m_frames[1]->inversion();
}

}  // namespace zrd::monitor
