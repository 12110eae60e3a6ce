#include "app/torvanta_application.h"

#include "app/main_form.h"

#include <QIcon>
#include <QMessageBox>
#include <QStyleFactory>
#include <exception>

// A resource built into a static library is registered only when asked for, once.
static void registerIconResource() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(program_icon);
        return true;
    }();
    (void)registered;
}

namespace zrd::app {

TorvantaApplication::TorvantaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TorvantaApplication::setUpLook() {
    setApplicationName(kApplicationTitle);
    // The desktop entry the window belongs to (its menu entry and icon).
    setDesktopFileName(kDesktopFileName);
    setWindowIcon(programIcon());
    setStyle(QStyleFactory::create("Fusion"));
}

QIcon programIcon() {
    registerIconResource();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/torvanta-%1.png").arg(size), QSize(size, size));
    return icon;
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
