#pragma once

#include <QWidget>

#include "core/user_interface.h"

namespace zrd::app {

// The core's user-interface hook, answered with Qt's message boxes and event loop.
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(QWidget* parent) : m_parent(parent) {}
    void showMessage(const std::string& caption, const std::string& text) override;
    void processEvents() override;
    void waitMs(int ms) override;
    std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                       const std::string& preset) override;

private:
    QWidget* m_parent;
};

}  // namespace zrd::app
