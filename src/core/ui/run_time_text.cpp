#include "core/ui/run_time_text.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zrd::ui {
namespace {

constexpr const char* kTranslationContext = "zrd";
constexpr const char* kShownTextRole = "zrdShownText";

// Kept as a child of the object whose texts it composes: it goes when the object goes, and the
// switch finds it among the window's children.
class RunTimeText : public QObject {
public:
    RunTimeText(QObject* owner, const char* role, std::function<bool()> again)
        : QObject(owner), m_again(std::move(again)) {
        setObjectName(role);
    }
    // False when the text is no longer the object's own and the binding has ended.
    bool recompose() { return !m_ended && m_again(); }
    // Replaced by another binding; it may be the one running, so it goes later.
    void end() {
        if (m_ended)
            return;
        m_ended = true;
        setObjectName(QString());
        deleteLater();
    }

private:
    std::function<bool()> m_again;
    bool m_ended = false;
};

void bindText(QObject* owner, const char* role, std::function<bool()> again) {
    for (QObject* child : owner->children()) {
        auto* old = dynamic_cast<RunTimeText*>(child);
        if (old && old->objectName() == QLatin1String(role))
            old->end();
    }
    new RunTimeText(owner, role, std::move(again));
}

// The text is set now; after a language change only while the control shows what was set.
template <class Control>
void showComposed(Control* control, ComposeText compose) {
    control->setText(compose());
    QString shown = control->text();
    bindText(control, kShownTextRole, [control, compose = std::move(compose), shown]() mutable {
        if (control->text() != shown)
            return false;
        control->setText(compose());
        shown = control->text();
        return true;
    });
}

}  // namespace

QString translated(const char* english) {
    return QCoreApplication::translate(kTranslationContext, english);
}

QString translated(const QString& english) {
    return translated(english.toUtf8().constData());
}

void showText(QLabel* label, ComposeText compose) {
    showComposed(label, std::move(compose));
}

void showText(QAbstractButton* button, ComposeText compose) {
    showComposed(button, std::move(compose));
}

void showText(QLineEdit* field, ComposeText compose) {
    showComposed(field, std::move(compose));
}

void onLanguageChange(QObject* owner, const char* role, std::function<void()> again) {
    bindText(owner, role, [again = std::move(again)] {
        again();
        return true;
    });
}

void recomposeTexts(QWidget* window) {
    // A recomposition may bind anew and so end bindings further down the list.
    QList<QPointer<RunTimeText>> all;
    // Without a meta-object of its own the binding is told apart by its type.
    for (QObject* child : window->findChildren<QObject*>()) {
        if (auto* text = dynamic_cast<RunTimeText*>(child))
            all.append(text);
    }
    for (const QPointer<RunTimeText>& text : all) {
        if (text && !text->recompose())
            text->end();
    }
}

}  // namespace zrd::ui
