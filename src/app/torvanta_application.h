#pragma once

#include <QApplication>
#include <QIcon>
#include <functional>

namespace zrd::app {

// The name of the desktop entry (and of the icon) that the package installs.
inline constexpr const char* kDesktopFileName = "com.qxtorvanta.Torvanta";

// The program's icon in every size it is drawn in (data/icons, built into the program).
QIcon programIcon();

// The application object. It holds the general error report: an error that no handler
// caught is shown with its own text, and the program goes on with the next event.
class TorvantaApplication : public QApplication {
    Q_OBJECT
public:
    using ErrorReport = std::function<void(const QString& text)>;

    TorvantaApplication(int& argc, char** argv);

    // The program's name and the widget style its windows are laid out for.
    void setUpLook();

    bool notify(QObject* receiver, QEvent* event) override;

    // Replaces the message box of the report (tests record the texts instead).
    void setErrorReport(ErrorReport report) { m_report = std::move(report); }

private:
    void showError(const QString& text);

    ErrorReport m_report;
};

}  // namespace zrd::app
