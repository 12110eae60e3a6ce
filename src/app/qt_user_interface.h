#pragma once

#include <QPointer>
#include <QWidget>

#include "core/user_interface.h"

namespace zrd::app {

class TMainForm;

// The core's user-interface hook, answered with Qt's message boxes and event loop and with the
// main window's timers, buttons and page rows.
class QtUserInterface : public UserInterface {
public:
    QtUserInterface() = default;
    // The main window is made after the program state that holds this hook.
    void setWindow(TMainForm* form);

    void showMessage(const std::string& caption, const std::string& text) override;
    void processEvents() override;
    void waitMs(int ms) override;
    void restoreIdleAfterTimeout() override;
    // The status poll and the clock stop while the link is held; afterwards both run again,
    // the status poll only with a drive connected.
    void pauseTimers() override;
    void resumeTimers() override;
    // One message naming the port and the reason, then the offline display.
    void linkLost(const std::string& reason) override;
    void updatePageRow(int position, const std::string& text) override;
    std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                       const std::string& preset) override;
    bool askYesNo(const std::string& caption, const std::string& text) override;

private:
    QPointer<TMainForm> m_form;
};

}  // namespace zrd::app
