#pragma once

#include <QApplication>
#include <functional>

namespace zrd::app {

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
