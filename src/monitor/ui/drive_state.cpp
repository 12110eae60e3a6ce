#include "monitor/ui/drive_state.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "core/ui/colors.h"
#include "core/ui/lamp.h"
#include "core/ui/qt_text.h"

namespace zrd::monitor {
namespace {

namespace colors = zrd::ui::colors;
using ui::paintState;

constexpr int kStatusFieldWidth = 112;

QLineEdit* readOnlyField(const char* name, const QString& text, QWidget* parent,
                         int width = kStatusFieldWidth) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    if (width > 0)
        field->setFixedWidth(width);
    return field;
}

// A list whose shown text is not one of its items, as the error and warning lists are.
void setListText(QComboBox* list, const QString& text) {
    if (!list->isEditable()) {
        list->setEditable(true);
        list->lineEdit()->setReadOnly(true);
    }
    list->setEditText(text);
}

// The lists sit in a narrow column; their drop-down opens as wide as the longest name, so that
// no name is cut.
void fitPopupToItems(QComboBox* list) {
    const QFontMetrics metrics(list->view()->font());
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(list->itemText(i)));
    const int frame = 2 * list->view()->frameWidth();
    const int margins = 4 * metrics.averageCharWidth();
    list->view()->setMinimumWidth(widest + frame + margins +
                                  list->view()->verticalScrollBar()->sizeHint().width());
}

}  // namespace

TDriveState::TDriveState(QWidget* parent) : QFrame(parent) {
    setObjectName("Panel10");
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(4);

    auto* state = new QGroupBox("Drive state", this);
    state->setObjectName("GroupBoxDriveState");
    auto* grid = new QGridLayout(state);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    auto lampWithCaption = [&](ui::TLamp*& lamp, const char* name, const QString& caption) {
        auto* box = new QWidget(state);
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        lamp = new ui::TLamp(name, box);
        row->addWidget(lamp);
        auto* label = new QLabel(caption, box);
        label->setObjectName(QString(name) + "_label");
        row->addWidget(label);
        row->addStretch();
        return box;
    };
    grid->addWidget(lampWithCaption(drive_on, "drive_on", "Drive on"), 0, 0);
    grid->addWidget(lampWithCaption(Servo_enable, "Servo_enable", "Servo enable"), 0, 1);
    grid->addWidget(lampWithCaption(Drive_ready, "Drive_ready", "Ready"), 1, 0);
    grid->addWidget(lampWithCaption(N_0, "N_0", "n=0"), 1, 1);

    Control = readOnlyField("Control", "  Speed", state);
    PC_control = readOnlyField("PC_control", "PC control", state);
    drive_en = readOnlyField("drive_en", "Drive enable", state);
    Machine = readOnlyField("Machine", "Machine", state);
    Axis = readOnlyField("Axis", "Axis", state);
    State_connection = readOnlyField("State_connection", "   Offline", state);
    Edit5 = readOnlyField("Edit5", "", state, 0);
    Error = readOnlyField("Error", "Error", state);
    ComboBox1 = new QComboBox(state);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setFixedWidth(kStatusFieldWidth);
    Warning = readOnlyField("Warning", "Warning", state);
    ComboBox9 = new QComboBox(state);
    ComboBox9->setObjectName("ComboBox9");
    ComboBox9->setFixedWidth(kStatusFieldWidth);
    Dr_Num = readOnlyField("Dr_Num", "", state);
    Dr_Num->setToolTip("Drive type");
    Motor_sel = readOnlyField("Motor_sel", "", state);
    Motor_sel->setToolTip("Motor type");

    paintState(State_connection, colors::kRed);
    paintState(Edit5, colors::kRed);
    for (QLineEdit* f : {Control, PC_control, drive_en, Machine, Axis, Error, Warning})
        paintState(f, colors::kSilver);

    grid->addWidget(Control, 2, 0);
    grid->addWidget(PC_control, 2, 1);
    grid->addWidget(drive_en, 3, 0);
    grid->addWidget(Machine, 3, 1);
    grid->addWidget(Axis, 4, 0);
    grid->addWidget(State_connection, 4, 1);
    // The status line, with "Reconnect" beside it while a lost drive's device is back.
    auto* statusLine = new QHBoxLayout;
    statusLine->setSpacing(4);
    statusLine->addWidget(Edit5, 1);
    Reconnect = new QPushButton("Reconnect", state);
    Reconnect->setObjectName("Reconnect");
    Reconnect->hide();
    statusLine->addWidget(Reconnect);
    grid->addLayout(statusLine, 5, 0, 1, 2);
    grid->addWidget(Error, 6, 0);
    grid->addWidget(ComboBox1, 6, 1);
    grid->addWidget(Warning, 7, 0);
    grid->addWidget(ComboBox9, 7, 1);
    grid->addWidget(Dr_Num, 8, 0);
    grid->addWidget(Motor_sel, 8, 1);
    grid->setRowStretch(9, 1);
    outer->addWidget(state, 0);
}

void TDriveState::addPanel(QWidget* panel) {
    panel->setParent(this);
    layout()->addWidget(panel);
    static_cast<QHBoxLayout*>(layout())->setStretchFactor(panel, 1);
}

void TDriveState::captionFields(const params::MessageTable& messages, std::string_view language) {
    QLineEdit* fields[] = {Control, PC_control, drive_en, State_connection, Machine, Axis, Error};
    int n = params::kMsgFirstStatusCaption;
    for (QLineEdit* field : fields)
        field->setText(qs(messages.text(n++, language)));
}

void TDriveState::showOnline(const ui::ComposeText& state, const ui::ComposeText& detail) {
    paintState(Edit5, colors::kLime);
    paintState(State_connection, colors::kLime);
    ui::showText(State_connection, state);
    ui::showText(Edit5, detail);
}

void TDriveState::showOffline(const ui::ComposeText& state, const ui::ComposeText& detail) {
    paintState(Edit5, colors::kRed);
    paintState(State_connection, colors::kRed);
    ui::showText(State_connection, state);
    ui::showText(Edit5, detail);
    for (ui::TLamp* lamp : {Servo_enable, N_0, drive_on, Drive_ready})
        lamp->setColour(colors::kGrey);
    // The last poll's verdicts ("No errors", servo and PC control) are no longer known.
    for (QLineEdit* f : {PC_control, drive_en, Error, Warning})
        paintState(f, colors::kSilver);
    for (QLineEdit* f : {Error, Warning})
        f->clear();
    for (QComboBox* list : {ComboBox1, ComboBox9}) {
        list->clear();
        setListText(list, QString());
    }
}

void TDriveState::showStatus(const StatusTick& tick, const FrameBits& state,
                             const FrameBits& application, const params::MessageTable& messages,
                             std::string_view language) {
    paintState(drive_en, state.bit(0, kBitServoOn) ? colors::kLime : colors::kButtonFace);
    const auto lamp = [](ui::TLamp* l, bool on, QRgb off = colors::kGrey) {
        l->setColour(on ? colors::kLime : off);
    };
    lamp(Servo_enable, state.bit(0, kBitServoOn));
    lamp(N_0, state.bit(0, kBitSpeedZero), colors::kRed);
    lamp(drive_on, application.bit(0, kBitDriveOn));
    lamp(Drive_ready, state.bit(0, kBitReady));

    if (tick.readErrors) {
        showList(Error, ComboBox1, tick.errors, tick.errorCount, colors::kRed);
        if (!tick.errors.empty())
            setListText(ComboBox1, qs(messages.text(kMsgErrorsPresent, language)));
    } else {
        paintState(Error, colors::kLime);
        Error->setText(qs(messages.text(kMsgNoErrors, language)));
        setListText(ComboBox1, qs(messages.text(kMsgNoErrorsList, language)));
    }
    if (tick.readWarnings) {
        showList(Warning, ComboBox9, tick.warnings, tick.warningCount, colors::kYellow);
        if (!tick.warnings.empty())
            setListText(ComboBox9, qs(messages.text(kMsgWarningsPresent, language)));
    } else {
        paintState(Warning, colors::kLime);
        Warning->setText(qs(messages.text(kMsgWarnings, language)));
        setListText(ComboBox9, qs(messages.text(kMsgNoWarningsList, language)));
    }
    paintState(PC_control, state.bit(0, kBitPcControl) ? colors::kLime : colors::kFuchsia);
}

void TDriveState::showList(QLineEdit* field, QComboBox* list, const std::vector<std::string>& names,
                           const std::string& count, QRgb colour) {
    paintState(field, colour);
    list->clear();
    for (const std::string& name : names)
        list->addItem(qs(name));
    fitPopupToItems(list);
    if (!names.empty())
        field->setText(qs(count));
}

void TDriveState::mousePressEvent(QMouseEvent* event) {
    emit Panel10Click();
    QFrame::mousePressEvent(event);
}

}  // namespace zrd::monitor
