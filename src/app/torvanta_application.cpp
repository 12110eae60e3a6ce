#include "app/torvanta_application.h"

#include "app/main_form.h"

#include <QMessageBox>
#include <QStyleFactory>
#include <exception>

namespace zrd::app {

TorvantaApplication::TorvantaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TorvantaApplication::setUpLook() {
    setApplicationName(kApplicationTitle);
    setStyle(QStyleFactory::create("Fusion"));
}

bool TorvantaApplication::notify(QObject* receiver, QEvent* event) {
    QString error;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = "Unknown error.";
    }
    // Shown outside the handler, so that a second error in the box cannot nest in the first.
    showError(error);
    return false;
}

void TorvantaApplication::showError(const QString& text) {
    if (m_report) {
        m_report(text);
        return;
    }
    QMessageBox::critical(activeWindow(), applicationDisplayName(), text);
}

}  // namespace zrd::app
