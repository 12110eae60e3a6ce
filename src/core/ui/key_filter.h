#pragma once

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QString>
#include <functional>
#include <utility>

namespace zrd::ui {

// Lets through only the typed characters a field accepts: a character key that the rule
// refuses is dropped with the system's beep. Keys that type nothing (arrows, Delete, Tab) pass;
// Backspace and Enter always do.
class KeyFilter : public QObject {
public:
    using Rule = std::function<bool(QChar)>;
    KeyFilter(Rule accepts, QObject* parent) : QObject(parent), m_accepts(std::move(accepts)) {}

    // A rule for digits and the given extra characters.
    static Rule digitsAnd(QString extra) {
        return [extra = std::move(extra)](QChar c) { return c.isDigit() || extra.contains(c); };
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return ||
            key->key() == Qt::Key_Enter)
            return false;
        const QString text = key->text();
        if (text.isEmpty() || !text.at(0).isPrint() || (text.size() == 1 && m_accepts(text.at(0))))
            return false;
        QApplication::beep();
        return true;
    }

private:
    Rule m_accepts;
};

}  // namespace zrd::ui
