#include "session/ui/reconnect.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "params/message_numbers.h"
#include "session/ui/drive_session.h"

namespace zrd::session {

namespace pm = zrd::params;

TReconnect::TReconnect(ReconnectParts parts, QPushButton* button, QTabWidget* notebook,
                       QObject* parent)
    : QObject(parent),
      WatchTimer(new QTimer(this)),
      m_parts(std::move(parts)),
      m_button(button),
      m_notebook(notebook) {
    setObjectName("Reconnect");
    WatchTimer->setObjectName("WatchTimer");
    WatchTimer->setInterval(kLookMs);
    connect(WatchTimer, &QTimer::timeout, this, &TReconnect::WatchTimerTimer);
    connect(m_button, &QPushButton::clicked, this, &TReconnect::ReconnectClick);
    TDriveSession& session = m_parts.session;
    connect(&session, &TDriveSession::connectionMade, this, &TReconnect::remember);
    connect(&session, &TDriveSession::connectionEnded, this, &TReconnect::forget);
    connect(&session, &TDriveSession::linkWentAway, this, &TReconnect::watch);
}

void TReconnect::remember() {
    forget();
    m_device = link::identifyDevice(m_parts.connection.device, m_parts.roots);
}

void TReconnect::forget() {
    WatchTimer->stop();
    m_watch.reset();
    m_button->hide();
}

void TReconnect::watch(bool monitorWasRunning) {
    // Only a drive the dialog connected to is waited for (its device known from then).
    if (!m_device)
        return;
    m_watch.emplace(*m_device, m_parts.roots);
    m_resumeMonitor = monitorWasRunning;
    m_autoGaveUp = false;
    WatchTimer->start();
}

void TReconnect::WatchTimerTimer() {
    // The exchange the line went with may still be unwinding, and a dialog or a message may be
    // open: the link is taken up again from the window's own event loop only.
    if (m_parts.session.linkBusy() || QApplication::activeModalWidget())
        return;
    const link::DeviceWatch::Change change = m_watch->look();
    if (change == link::DeviceWatch::Change::Returned)
        m_autoGaveUp = false;
    if (!m_watch->where()) {
        m_button->hide();
        return;
    }
    m_button->setToolTip(QString::fromStdString(*m_watch->where()));
    m_button->show();
    if (m_parts.connection.AutoReconnect && !m_autoGaveUp)
        (void)attempt(false);
}

void TReconnect::ReconnectClick() {
    if (!m_watch || !m_watch->where() || m_parts.session.linkBusy())
        return;
    (void)attempt(true);
}

bool TReconnect::attempt(bool byUser) {
    const std::string device = *m_watch->where();
    const int page = m_notebook->currentIndex();
    // Read-all lets the window paint between its reads: no look may start another attempt.
    WatchTimer->stop();
    const ReconnectOutcome outcome = m_parts.session.reconnectDrive(device);
    const std::string language = m_parts.model.language();
    const auto text = [&](int message, const std::vector<std::string>& arguments) {
        return pm::withArguments(m_parts.messages.text(message, language), arguments);
    };
    switch (outcome) {
        case ReconnectOutcome::Back:
            m_watch.reset();
            m_button->hide();
            // The device is this one from now on (a pulled adapter may come back by another name).
            m_device = link::identifyDevice(device, m_parts.roots);
            // As a click on the tab: the pages that follow the drive synchronise with it.
            if (m_notebook->currentIndex() != page) {
                m_notebook->setCurrentIndex(page);
                emit m_notebook->tabBarClicked(page);
            }
            if (m_resumeMonitor)
                m_parts.session.startMonitor();
            m_parts.session.logAction(text(pm::kMsgReconnectBack, {device}));
            return true;
        case ReconnectOutcome::NotOpened:
            // Perhaps not yet: the system may still be setting the device up.
            if (byUser)
                m_parts.messages.showText(
                    m_parts.ui,
                    text(pm::kMsgReconnectNotOpened, {device, m_parts.session.portError()}),
                    language);
            break;
        case ReconnectOutcome::NoAnswer:
            if (!byUser)
                m_autoGaveUp = true;
            else
                m_parts.messages.showText(m_parts.ui, text(pm::kMsgReconnectNoDrive, {device}),
                                          language);
            break;
    }
    WatchTimer->start();
    return false;
}

}  // namespace zrd::session
