#pragma once

#include <QDialog>

#include "app/access_levels.h"

class QLabel;
class QPushButton;

namespace zrd::app {

class TMainForm;

inline constexpr const char* kAboutProduct = "QX Torvanta (ZRD)";
inline constexpr const char* kAboutVersion = "v2.1 (ZRD)";
inline constexpr const char* kAboutBuildDate = "08.06.2016";
inline constexpr const char* kAboutMaker = "QX Torvanta engineering";

// The About box. It also listens for the service staff's key sequences, and for the window
// outline trick on its maker label.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(TMainForm& form);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;
    QLabel* Copyright;  // the maker label
    QPushButton* OKButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // True when the key was used up.
    bool FormKeyPress(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    // Toggles the main window's outline between its rectangle and the perforated one.
    void toggleOutline();

    TMainForm& m_form;
    AccessUnlocker m_unlocker;
    bool m_makerHeld = false;
    bool m_perforated = false;
};

}  // namespace zrd::app
