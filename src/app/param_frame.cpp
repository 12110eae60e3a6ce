#include "app/param_frame.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include "app/main_form.h"
#include "app/shell_messages.h"

namespace zrd::app {
namespace {

constexpr int kRowHeight = 21;
constexpr int kValueWidth = 84;
constexpr int kLimitWidth = 72;

QLabel* rowLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->hide();
    return label;
}

QLineEdit* rowField(const QString& name, int width, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setFixedSize(width, kRowHeight);
    field->setAlignment(Qt::AlignRight);
    field->hide();
    return field;
}

QLabel* header(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->hide();
    return label;
}

}  // namespace

bool acceptsValueKey(int key, const QString& text) {
    if (key == Qt::Key_Backspace || key == Qt::Key_Return || key == Qt::Key_Enter)
        return true;
    if (text.size() != 1)
        return false;
    const QChar c = text.at(0);
    return (c >= '0' && c <= '9') || c == '-' || c == '.';
}

TParamFrame::TParamFrame(TMainForm& form, int slot, const QString& name, QWidget* parent)
    : QFrame(parent), m_form(form), m_slot(slot) {
    setObjectName(name);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    const Program& program = form.program();
    minimum = header("minimum", QString::fromStdString(program.message(kMsgMinimum)), this);
    maximum = header("maximum", QString::fromStdString(program.message(kMsgMaximum)), this);
    default_ = header("default", QString::fromStdString(program.message(kMsgDefault)), this);
    grid->addWidget(minimum, 0, 5);
    grid->addWidget(maximum, 0, 6);
    grid->addWidget(default_, 0, 7);

    for (int k = 0; k < params::kRowsPerPage; ++k) {
        ParamRow& r = m_rows[static_cast<size_t>(k)];
        const QString n = QString::number(k);
        r.Min = rowLabel("Min" + n, this);
        r.Min->setMinimumWidth(34);
        r.num = rowLabel("num" + n, this);
        r.num->setMinimumWidth(60);
        QFont bold = r.num->font();
        bold.setBold(true);
        r.num->setFont(bold);
        r.ParamName = rowLabel("ParamName" + n, this);
        r.ParamName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        r.Param = rowField("Param" + n, kValueWidth, this);
        r.Param->installEventFilter(this);
        r.MesurUnit = rowLabel("MesurUnit" + n, this);
        r.MesurUnit->setMinimumWidth(40);
        r.index = rowLabel("index" + n, this);
        r.Minval = rowField("Minval" + n, kLimitWidth, this);
        r.MaxVal = rowField("MaxVal" + n, kLimitWidth, this);
        r.DefaultVal = rowField("DefaultVal" + n, kLimitWidth, this);
        for (QLineEdit* limit : {r.Minval, r.MaxVal, r.DefaultVal})
            limit->setEnabled(false);
        const int line = k + 1;
        grid->addWidget(r.Min, line, 0);
        grid->addWidget(r.num, line, 1);
        grid->addWidget(r.ParamName, line, 2);
        grid->addWidget(r.Param, line, 3);
        grid->addWidget(r.MesurUnit, line, 4);
        grid->addWidget(r.Minval, line, 5);
        grid->addWidget(r.MaxVal, line, 6);
        grid->addWidget(r.DefaultVal, line, 7);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(params::kRowsPerPage + 1, 1);
}

void TParamFrame::fillRow(int k, int position) {
    const Program& program = m_form.program();
    const params::TPar& p = program.model.parameter(position);
    const std::string& language = program.language();
    ParamRow& r = m_rows.at(static_cast<size_t>(k));
    r.num->setText(QString::fromStdString(p.Pname));
    r.ParamName->setText(QString::fromStdString(params::description(p, language)));
    r.ParamName->setToolTip(r.ParamName->text());
    r.Param->setText(QString::fromStdString(params::valueText(program.model.value(position))));
    r.Param->setEnabled(p.pType == params::kReadWrite);
    r.MesurUnit->setText(QString::fromStdString(params::units(p, language)));
    r.index->setText(QString::number(position));
    r.Min->setText(QString::fromStdString(p.Numpar));
    r.Minval->setText(QString::fromStdString(params::valueText(params::minDisplay(p))));
    r.MaxVal->setText(QString::fromStdString(params::valueText(params::maxDisplay(p))));
    r.DefaultVal->setText(QString::fromStdString(params::valueText(params::defaultDisplay(p))));
    for (QWidget* w : {static_cast<QWidget*>(r.num), static_cast<QWidget*>(r.ParamName),
                       static_cast<QWidget*>(r.Param), static_cast<QWidget*>(r.MesurUnit),
                       static_cast<QWidget*>(r.Min), static_cast<QWidget*>(r.Minval),
                       static_cast<QWidget*>(r.MaxVal), static_cast<QWidget*>(r.DefaultVal)})
        w->show();
}

void TParamFrame::showHeaders() {
    minimum->show();
    maximum->show();
    default_->show();
}

int TParamFrame::rowOf(int position) const {
    const QString text = QString::number(position);
    for (int k = 0; k < params::kRowsPerPage; ++k) {
        if (m_rows[static_cast<size_t>(k)].index->text() == text)
            return k;
    }
    return -1;
}

bool TParamFrame::eventFilter(QObject* watched, QEvent* event) {
    int k = -1;
    for (int i = 0; i < params::kRowsPerPage; ++i) {
        if (m_rows[static_cast<size_t>(i)].Param == watched)
            k = i;
    }
    if (k < 0)
        return QFrame::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Keys without a character (arrows, Tab, function keys) keep their usual meaning.
        const bool character =
            !key->text().isEmpty() && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab;
        if (character && !acceptsValueKey(key->key(), key->text())) {
            QApplication::beep();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonPress) {
        emit ParamMouseDown(this, k);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace zrd::app
