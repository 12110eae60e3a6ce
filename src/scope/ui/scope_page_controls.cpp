#include "scope/ui/scope_page_controls.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include "core/ui/window_translator.h"
#include "params/message_numbers.h"
#include "scope/scope_settings.h"
#include "session/ui/control_area.h"

namespace zrd::scope {

namespace pm = zrd::params;

namespace {
// Lines a channel selector shows when dropped down after a load.
constexpr int kSelectorLinesAtLoad = 30;
}  // namespace

QLineEdit* readOnlyField(const char* name, QWidget* parent, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFixedWidth(width);
    return edit;
}

QPushButton* pageButton(const char* name, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

StampFields addStamp(QHBoxLayout* row, QWidget* parent, const char* caption, const char* labelName,
                     const char* dateName, const char* timeName) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(labelName);
    row->addWidget(label);
    StampFields fields{readOnlyField(dateName, parent), readOnlyField(timeName, parent)};
    row->addWidget(fields.date);
    row->addWidget(fields.time);
    row->addSpacing(16);
    return fields;
}

std::string stampNow(const StampFields& fields) {
    const QDateTime now = QDateTime::currentDateTime();
    fields.date->setText(now.toString(session::kDateFormat));
    fields.time->setText(now.toString(session::kTimeFormat));
    return makeStamp(fields.date->text().toStdString(), fields.time->text().toStdString());
}

std::string stampFrom(const StampFields& fields, const QLineEdit* date, const QLineEdit* time) {
    fields.date->setText(date->text());
    fields.time->setText(time->text());
    return makeStamp(fields.date->text().toStdString(), fields.time->text().toStdString());
}

void fillChannelSelector(QComboBox* combo, const pm::ParameterModel& model,
                         const pm::MessageTable& messages, pm::ScopeListStyle style) {
    combo->clear();
    for (const pm::SelectorItem& item : model.scopeSelectorItems(style))
        combo->addItem(qs(item.text), item.entry);
    combo->setMaxVisibleItems(style == pm::ScopeListStyle::Load ? kSelectorLinesAtLoad
                                                                : std::max(combo->count(), 1));
    // The descriptions come in the language of the database, not from the dictionary.
    ui::markDataText(combo);
    combo->setPlaceholderText(qs(messages.text(pm::kMsgChooseScopeSignal, model.language())));
    combo->setCurrentIndex(-1);
}

ChannelSelection selectorChoice(QComboBox* combo, QLineEdit* name,
                                const pm::ParameterModel& model) {
    // No line chosen counts as line 0, the empty signal.
    const int index = std::max(combo->currentIndex(), 0);
    const std::string line = combo->count() > 0 ? combo->itemText(index).toStdString() : "";
    name->setText(qs(selectorLineName(line)));
    return channelFromSelectorLine(model, line, index);
}

std::optional<ChannelSelection> showSignal(QComboBox* combo, QLineEdit* name,
                                           const pm::ParameterModel& model, int signal,
                                           bool prompt) {
    // A number outside the list names no signal this program knows: the channel stays.
    if (signal < 0 || signal >= model.scopeSignalCount())
        return std::nullopt;
    name->setText(qs(pm::description(model.scopeSignal(signal), model.language())));
    combo->setCurrentIndex(prompt ? -1 : combo->findData(signal));
    return channelOfSignal(model, signal);
}

PortWatch::PortWatch(std::function<void()> readable, std::function<void()> deadline,
                     QObject* parent)
    : QObject(parent),
      m_readable(std::move(readable)),
      m_deadline(std::move(deadline)),
      m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { m_deadline(); });
}

void PortWatch::watch(int fd) {
    stop();
    if (fd < 0)
        return;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        QSocketNotifier* notifier = m_notifier;
        notifier->setEnabled(false);
        m_readable();
        // The callback may have ended the watch (and scheduled the notifier's deletion).
        if (m_notifier == notifier && !m_paused)
            notifier->setEnabled(true);
    });
}

void PortWatch::armDeadline(std::optional<int> ms) {
    if (!ms) {
        m_timer->stop();
        return;
    }
    m_timer->start(std::max(*ms, 0));
}

void PortWatch::setPaused(bool paused) {
    m_paused = paused;
    if (m_notifier != nullptr)
        m_notifier->setEnabled(!paused);
}

void PortWatch::stop() {
    m_timer->stop();
    if (m_notifier == nullptr)
        return;
    m_notifier->setEnabled(false);
    // It may be the sender of the slot that got here.
    m_notifier->deleteLater();
    m_notifier = nullptr;
}

}  // namespace zrd::scope
