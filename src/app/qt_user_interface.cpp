#include "app/qt_user_interface.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QTimer>

#include "app/main_form.h"

namespace zrd::app {

void QtUserInterface::setWindow(TMainForm* form) {
    m_form = form;
}

void QtUserInterface::showMessage(const std::string& caption, const std::string& text) {
    QMessageBox::information(m_form, QString::fromStdString(caption), QString::fromStdString(text));
}

void QtUserInterface::processEvents() {
    QApplication::processEvents();
}

void QtUserInterface::waitMs(int ms) {
    // The window keeps painting while a sequence pauses.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtUserInterface::restoreIdleAfterTimeout() {
    if (m_form)
        m_form->restoreIdle();
}

void QtUserInterface::pauseTimers() {
    if (m_form)
        m_form->pauseTimers();
}

void QtUserInterface::resumeTimers() {
    if (m_form)
        m_form->resumeTimers();
}

void QtUserInterface::linkLost(const std::string& reason) {
    if (m_form)
        m_form->linkLost(reason);
}

void QtUserInterface::updatePageRow(int position, const std::string& text) {
    if (m_form)
        m_form->showInRow(position, QString::fromStdString(text));
}

std::optional<std::string> QtUserInterface::askText(const std::string& title,
                                                    const std::string& prompt,
                                                    const std::string& preset) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(m_form, QString::fromStdString(title), QString::fromStdString(prompt),
                              QLineEdit::Normal, QString::fromStdString(preset), &ok);
    if (!ok)
        return std::nullopt;
    return answer.toStdString();
}

bool QtUserInterface::askYesNo(const std::string& caption, const std::string& text) {
    return QMessageBox::question(m_form, QString::fromStdString(caption),
                                 QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace zrd::app
