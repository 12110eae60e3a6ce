#include "params/ui/param_frame.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QShowEvent>

#include "core/ui/colors.h"
#include "params/message_numbers.h"

namespace zrd::params {
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

TParamFrame::TParamFrame(const ParameterModel& model, const MessageTable& messages, int slot,
                         const QString& name, QWidget* parent)
    : QFrame(parent), m_model(model), m_slot(slot) {
    setObjectName(name);
    // The headers are public and cheap: they exist from the start, the rows come with build().
    const auto caption = [&](int n) {
        return QString::fromStdString(messages.text(n, model.language()));
    };
    minimum = header("minimum", caption(kMsgMinimum), this);
    maximum = header("maximum", caption(kMsgMaximum), this);
    default_ = header("default", caption(kMsgDefault), this);
}

void TParamFrame::build() {
    if (m_built)
        return;
    m_built = true;
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(minimum, 0, 5);
    grid->addWidget(maximum, 0, 6);
    grid->addWidget(default_, 0, 7);

    for (int k = 0; k < kRowsPerPage; ++k) {
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
        if (m_content[static_cast<size_t>(k)].position >= 0)
            showRow(k);
    }
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(kRowsPerPage + 1, 1);
    if (m_headers)
        showHeaders();
    // Made while being shown: laid out now, before the first paint.
    if (isVisible())
        grid->activate();
}

void TParamFrame::showEvent(QShowEvent* event) {
    build();
    QFrame::showEvent(event);
}

const ParamRow& TParamFrame::row(int k) const {
    // Readers of a row hold the page as const; making its controls changes nothing they see.
    const_cast<TParamFrame*>(this)->build();
    return m_rows.at(static_cast<size_t>(k));
}

void TParamFrame::fillRow(int k, int position) {
    const TPar& p = m_model.parameter(position);
    const std::string& language = m_model.language();
    RowContent& c = m_content.at(static_cast<size_t>(k));
    c = RowContent{};
    c.position = position;
    c.num = QString::fromStdString(p.Pname);
    c.ParamName = QString::fromStdString(description(p, language));
    c.MesurUnit = QString::fromStdString(units(p, language));
    c.Min = QString::fromStdString(p.Numpar);
    c.writable = p.pType == kReadWrite;
    const auto text = [](double value) { return QString::fromStdString(valueText(value)); };
    c.texts = {text(m_model.value(position)), text(minDisplay(p)), text(maxDisplay(p)),
               text(defaultDisplay(p))};
    if (m_built)
        showRow(k);
}

void TParamFrame::showRow(int k) {
    const RowContent& c = m_content[static_cast<size_t>(k)];
    ParamRow& r = m_rows[static_cast<size_t>(k)];
    r.num->setText(c.num);
    r.ParamName->setText(c.ParamName);
    r.ParamName->setToolTip(c.ParamName);
    r.Param->setEnabled(c.writable);
    r.MesurUnit->setText(c.MesurUnit);
    r.index->setText(QString::number(c.position));
    r.Min->setText(c.Min);
    for (int f = 0; f < kFields; ++f) {
        QLineEdit* field = fieldOf(k, static_cast<Field>(f));
        field->setText(c.texts[static_cast<size_t>(f)]);
        if (const std::optional<QRgb> colour = c.colours[static_cast<size_t>(f)])
            ui::paintState(field, *colour);
    }
    for (QWidget* w : {static_cast<QWidget*>(r.num), static_cast<QWidget*>(r.ParamName),
                       static_cast<QWidget*>(r.Param), static_cast<QWidget*>(r.MesurUnit),
                       static_cast<QWidget*>(r.Min), static_cast<QWidget*>(r.Minval),
                       static_cast<QWidget*>(r.MaxVal), static_cast<QWidget*>(r.DefaultVal)})
        w->show();
}

QLineEdit* TParamFrame::fieldOf(int k, Field field) const {
    const ParamRow& r = m_rows.at(static_cast<size_t>(k));
    switch (field) {
        case Field::Value:
            return r.Param;
        case Field::Minimum:
            return r.Minval;
        case Field::Maximum:
            return r.MaxVal;
        case Field::Default:
            return r.DefaultVal;
    }
    return nullptr;
}

void TParamFrame::setFieldText(int k, Field field, const QString& text) {
    if (m_built)
        fieldOf(k, field)->setText(text);
    else
        m_content.at(static_cast<size_t>(k)).texts[static_cast<size_t>(field)] = text;
}

void TParamFrame::paintField(int k, Field field, QRgb colour) {
    if (m_built)
        ui::paintState(fieldOf(k, field), colour);
    else
        m_content.at(static_cast<size_t>(k)).colours[static_cast<size_t>(field)] = colour;
}

void TParamFrame::showHeaders() {
    m_headers = true;
    if (!m_built)
        return;
    minimum->show();
    maximum->show();
    default_->show();
}

int TParamFrame::positionOf(int k) const {
    return m_content.at(static_cast<size_t>(k)).position;
}

int TParamFrame::rowOf(int position) const {
    if (position < 0)
        return -1;
    for (int k = 0; k < kRowsPerPage; ++k) {
        if (m_content[static_cast<size_t>(k)].position == position)
            return k;
    }
    return -1;
}

bool TParamFrame::eventFilter(QObject* watched, QEvent* event) {
    int k = -1;
    for (int i = 0; i < kRowsPerPage; ++i) {
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

}  // namespace zrd::params
