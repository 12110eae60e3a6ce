#pragma once

#include <QMainWindow>

namespace zrd::app {

inline constexpr const char* kMainCaption = "QX Torvanta v2.1 (ZRD)";
inline constexpr const char* kApplicationTitle = "QX Torvanta";
inline constexpr int kMainWidth = 1054;
inline constexpr int kMainHeight = 730;

// The main window.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
};

}  // namespace zrd::app
