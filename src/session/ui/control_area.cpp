#include "session/ui/control_area.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/ui/colors.h"

namespace zrd::session {
namespace {

namespace colors = zrd::ui::colors;
using ui::paintState;

constexpr int kModeButtonWidth = 57;

QLineEdit* readOnlyField(const char* name, QWidget* parent, int width) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setFixedWidth(width);
    field->setAlignment(Qt::AlignCenter);
    return field;
}

QToolButton* speedButton(const char* name, const QString& caption, QButtonGroup* group,
                         QWidget* parent, int width = kModeButtonWidth) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setCheckable(true);
    button->setAutoRaise(false);
    button->setFixedSize(width, 26);
    group->addButton(button);
    return button;
}

QGroupBox* buttonPanel(const char* name, const QString& caption, QWidget* parent,
                       std::initializer_list<QWidget*> buttons) {
    auto* panel = new QGroupBox(caption, parent);
    panel->setObjectName(name);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(6, 2, 6, 6);
    layout->setSpacing(2);
    for (QWidget* b : buttons) {
        b->setParent(panel);
        layout->addWidget(b);
    }
    return panel;
}

// The small red box beside "Read" and "Write" that shows a sweep in progress.
QLabel* sweepMark(const char* name, const QString& tip, QWidget* parent) {
    auto* mark = new QLabel(parent);
    mark->setObjectName(name);
    mark->setFixedSize(10, 10);
    paintState(mark, colors::kRed);
    mark->setToolTip(tip);
    // Keeps its place in the layout while hidden.
    QSizePolicy policy = mark->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    mark->setSizePolicy(policy);
    mark->hide();
    return mark;
}

void enablePanel(QGroupBox* panel, bool enabled) {
    panel->setEnabled(enabled);
    paintState(panel, enabled ? colors::kButtonFace : colors::kGrey);
}

}  // namespace

TControlArea::TControlArea(QWidget* parent) : QWidget(parent) {
    setObjectName("ControlArea");
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);

    Panel32 = new QGroupBox(this);
    Panel32->setObjectName("Panel32");
    Panel32->setFlat(true);
    auto* panels = new QGridLayout(Panel32);
    panels->setContentsMargins(0, 0, 0, 0);
    panels->setSpacing(3);

    auto* servo = new QButtonGroup(this);
    Enable_button = speedButton("Enable_button", "On", servo, Panel32, 48);
    Desable_button = speedButton("Desable_button", "Off", servo, Panel32, 48);
    Desable_button->setChecked(true);
    Panel7 = buttonPanel("Panel7", "PC servo enable", Panel32, {Enable_button, Desable_button});

    auto* modes = new QButtonGroup(this);
    SpeedButton4 = speedButton("SpeedButton4", "Current", modes, Panel32);
    SpeedButton5 = speedButton("SpeedButton5", "Speed", modes, Panel32);
    SpeedButton6 = speedButton("SpeedButton6", "Position", modes, Panel32);
    SpeedButton5->setChecked(true);
    Panel3 = buttonPanel("Panel3", "Operating mode", Panel32,
                         {SpeedButton4, SpeedButton5, SpeedButton6});

    auto* generator = new QButtonGroup(this);
    SpeedButton3 = speedButton("SpeedButton3", "Start FG", generator, Panel32);
    SpeedButton7 = speedButton("SpeedButton7", "Stop FG", generator, Panel32);
    SpeedButton7->setChecked(true);
    BitBtn1 = new QToolButton(Panel32);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setText("~");
    BitBtn1->setToolTip("Type of FG signal");
    BitBtn1->setFixedSize(26, 26);
    Panel14 = buttonPanel("Panel14", "Functional generator", Panel32,
                          {SpeedButton3, SpeedButton7, BitBtn1});

    auto* source = new QButtonGroup(this);
    SpeedButton1 = speedButton("SpeedButton1", "Internal", source, Panel32);
    SpeedButton2 = speedButton("SpeedButton2", "External", source, Panel32);
    SpeedButton2->setChecked(true);
    Panel6 = buttonPanel("Panel6", "Command source", Panel32, {SpeedButton1, SpeedButton2});

    panels->addWidget(Panel7, 0, 0);
    panels->addWidget(Panel3, 0, 1);
    panels->addWidget(Panel14, 1, 0);
    panels->addWidget(Panel6, 1, 1);
    column->addWidget(Panel32);

    auto* parameters = new QGroupBox("Parameters", this);
    parameters->setObjectName("GroupBoxParameters");
    auto* grid = new QGridLayout(parameters);
    grid->setContentsMargins(6, 2, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    ComboBox6 = new QComboBox(parameters);
    ComboBox6->setObjectName("ComboBox6");
    ComboBox6->setToolTip("Motor type");
    ComboBox6->setMinimumWidth(120);
    show_state_par = readOnlyField("show_state_par", parameters, 70);
    show_state_par->setToolTip("Where the values on the pages came from");
    SerNum = new QLineEdit(parameters);
    SerNum->setObjectName("SerNum");
    SerNum->setReadOnly(true);
    SerNum->setToolTip("Serial number of the drive");
    RPar = sweepMark("RPar", "Reading all parameters", parameters);
    WPar = sweepMark("WPar", "Writing all parameters", parameters);
    Button9 = new QPushButton("Read", parameters);
    Button9->setObjectName("Button9");
    Button9->setToolTip("Read all parameters from the drive");
    Button6 = new QPushButton("Write", parameters);
    Button6->setObjectName("Button6");
    Button6->setToolTip("Store the drive's parameters in its EEPROM");

    grid->addWidget(new QLabel("Motor", parameters), 0, 0);
    grid->addWidget(ComboBox6, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Set", parameters), 0, 3);
    grid->addWidget(show_state_par, 0, 4, 1, 2);
    grid->addWidget(new QLabel("S/N", parameters), 1, 0);
    grid->addWidget(SerNum, 1, 1);
    auto* read = new QHBoxLayout;
    read->setSpacing(3);
    read->addWidget(RPar);
    read->addWidget(Button9);
    grid->addLayout(read, 1, 2, 1, 2);
    auto* write = new QHBoxLayout;
    write->setSpacing(3);
    write->addWidget(WPar);
    write->addWidget(Button6);
    grid->addLayout(write, 1, 4, 1, 2);
    column->addWidget(parameters);

    auto* clock = new QHBoxLayout;
    clock->setSpacing(4);
    clock->addStretch();
    MaskEdit3 = readOnlyField("MaskEdit3", this, 74);
    MaskEdit4 = readOnlyField("MaskEdit4", this, 74);
    clock->addWidget(MaskEdit3);
    clock->addWidget(MaskEdit4);
    column->addLayout(clock);
    column->addStretch();
}

void TControlArea::showOnline(bool online) {
    Panel3->setEnabled(online);
    Panel6->setEnabled(online);
    Button9->setEnabled(online);
    if (online)
        return;
    Button6->setEnabled(false);
    enablePanel(Panel7, false);
    enablePanel(Panel14, false);
}

void TControlArea::showOperatingMode(int mode) {
    QToolButton* button = mode == 1 ? SpeedButton4 : mode == 2 ? SpeedButton5 : SpeedButton6;
    button->setChecked(true);
}

void TControlArea::showCommandSource(int inst, bool servoPanel) {
    if (inst == 0 || inst == 1) {
        SpeedButton1->setChecked(true);
        enablePanel(Panel14, true);
        if (servoPanel)
            Panel7->setEnabled(true);
    } else if (inst == 2 || inst == 3) {
        SpeedButton2->setChecked(true);
        enablePanel(Panel14, false);
    }
}

void TControlArea::showServoPanel(bool allowed) {
    enablePanel(Panel7, allowed);
}

void TControlArea::showGeneratorPanel(bool enabled) {
    enablePanel(Panel14, enabled);
}

void TControlArea::showStatus(const monitor::FrameBits& state, bool servoPanel) {
    if (state.bit(0, monitor::kBitServoOn) || state.bit(0, monitor::kBitServoOnAlso))
        Enable_button->setChecked(true);
    else
        Desable_button->setChecked(true);
    if (state.bit(0, monitor::kBitGeneratorRunning))
        SpeedButton3->setChecked(true);
    if (state.bit(0, monitor::kBitPcControl)) {
        enablePanel(Panel14, false);
        return;
    }
    if (servoPanel)
        enablePanel(Panel7, true);
    enablePanel(Panel14, true);
}

void TControlArea::showMotorItems(const std::vector<std::string>& items) {
    ComboBox6->clear();
    for (const std::string& item : items)
        ComboBox6->addItem(QString::fromStdString(item));
}

void TControlArea::selectMotorLine(int line) {
    if (line >= 1 && line <= ComboBox6->count())
        ComboBox6->setCurrentIndex(line - 1);
}

void TControlArea::showClock(const QDateTime& now) {
    MaskEdit3->setText(now.toString(kDateFormat));
    MaskEdit4->setText(now.toString(kTimeFormat));
}

}  // namespace zrd::session
