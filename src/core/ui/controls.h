#pragma once

#include <QWidget>

namespace zrd::ui {

// Enables or disables the controls of this name that belong to the window itself; dialogs it
// owns reuse designer names ("Button1"), and controls of pages not built yet are skipped.
inline void setEnabledByName(QWidget* window, const char* name, bool enabled) {
    for (QWidget* widget : window->findChildren<QWidget*>(name)) {
        if (widget->window() == window)
            widget->setEnabled(enabled);
    }
}

}  // namespace zrd::ui
