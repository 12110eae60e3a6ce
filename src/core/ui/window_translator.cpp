#include "core/ui/window_translator.h"

#include <QAbstractAxis>
#include <QAbstractButton>
#include <QAbstractSeries>
#include <QAbstractSpinBox>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTableWidget>
#include <QVariant>
#include <QWidget>

namespace zrd::ui {
namespace {

constexpr const char* kDataTextProperty = "zrdDataText";
constexpr const char* kTextPartProperty = "zrdTextPart";

bool isDataText(const QObject* control) {
    return control->property(kDataTextProperty).toBool();
}

// Sets a text through its setter only when the translation changes it: a control's own
// signals stay quiet for texts the dictionary does not know.
template <class Set>
void apply(const QString& text, const TextTranslation& translate, Set set) {
    if (text.isEmpty())
        return;
    const QString translated = translate(text);
    if (translated != text)
        set(translated);
}

void translateAction(QAction* a, const TextTranslation& t) {
    if (a->isSeparator())
        return;
    // Without a hint of its own an action shows its text as hint; that one follows the text.
    QString plain = a->text();
    plain.remove('&');
    const bool ownHint = a->toolTip() != plain;
    apply(a->text(), t, [a](const QString& s) { a->setText(s); });
    if (ownHint)
        apply(a->toolTip(), t, [a](const QString& s) { a->setToolTip(s); });
}

void translateCombo(QComboBox* c, const TextTranslation& t) {
    for (int i = 0; i < c->count(); ++i)
        apply(c->itemText(i), t, [c, i](const QString& s) { c->setItemText(i, s); });
    apply(c->placeholderText(), t, [c](const QString& s) { c->setPlaceholderText(s); });
}

void translateTabs(QTabBar* bar, const TextTranslation& t) {
    for (int i = 0; i < bar->count(); ++i) {
        apply(bar->tabText(i), t, [bar, i](const QString& s) { bar->setTabText(i, s); });
        apply(bar->tabToolTip(i), t, [bar, i](const QString& s) { bar->setTabToolTip(i, s); });
    }
}

void translateTable(QTableWidget* table, const TextTranslation& t) {
    const auto header = [&t](QTableWidgetItem* item) {
        if (item)
            apply(item->text(), t, [item](const QString& s) { item->setText(s); });
    };
    for (int c = 0; c < table->columnCount(); ++c)
        header(table->horizontalHeaderItem(c));
    for (int r = 0; r < table->rowCount(); ++r)
        header(table->verticalHeaderItem(r));
}

void translateChart(QChart* chart, const TextTranslation& t) {
    apply(chart->title(), t, [chart](const QString& s) { chart->setTitle(s); });
    for (QAbstractAxis* axis : chart->axes())
        apply(axis->titleText(), t, [axis](const QString& s) { axis->setTitleText(s); });
    for (QAbstractSeries* series : chart->series())
        apply(series->name(), t, [series](const QString& s) { series->setName(s); });
}

// The line edit inside a spin box or a combo box shows their value, not a text of its own.
bool isInnerEdit(const QLineEdit* edit) {
    const QObject* parent = edit->parent();
    return qobject_cast<const QAbstractSpinBox*>(parent) || qobject_cast<const QComboBox*>(parent);
}

void translateWidget(QWidget* w, const TextTranslation& t) {
    if (w->isWindow())
        apply(w->windowTitle(), t, [w](const QString& s) { w->setWindowTitle(s); });
    apply(textPart(w), t, [w](const QString& s) { setTextPart(w, s); });
    apply(w->toolTip(), t, [w](const QString& s) { w->setToolTip(s); });
    if (isDataText(w))
        return;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        apply(b->text(), t, [b](const QString& s) { b->setText(s); });
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        apply(l->text(), t, [l](const QString& s) { l->setText(s); });
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        apply(g->title(), t, [g](const QString& s) { g->setTitle(s); });
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (isInnerEdit(e))
            return;
        apply(e->text(), t, [e](const QString& s) { e->setText(s); });
        apply(e->placeholderText(), t, [e](const QString& s) { e->setPlaceholderText(s); });
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        translateCombo(c, t);
    } else if (auto* bar = qobject_cast<QTabBar*>(w)) {
        translateTabs(bar, t);
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
        translateTable(table, t);
    } else if (auto* view = qobject_cast<QChartView*>(w)) {
        if (view->chart())
            translateChart(view->chart(), t);
    }
}

}  // namespace

void setTextPart(QWidget* window, const QString& text) {
    window->setProperty(kTextPartProperty, text);
}

QString textPart(const QWidget* window) {
    return window->property(kTextPartProperty).toString();
}

void markDataText(QWidget* control) {
    control->setProperty(kDataTextProperty, true);
}

void translateTexts(QWidget* window, const TextTranslation& translate) {
    translateWidget(window, translate);
    for (QObject* child : window->findChildren<QObject*>()) {
        if (auto* w = qobject_cast<QWidget*>(child))
            translateWidget(w, translate);
        else if (auto* a = qobject_cast<QAction*>(child))
            translateAction(a, translate);
    }
}

}  // namespace zrd::ui
