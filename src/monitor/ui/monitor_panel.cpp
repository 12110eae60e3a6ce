#include "monitor/ui/monitor_panel.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/ui/colors.h"

namespace zrd::monitor {
namespace {

namespace colors = zrd::ui::colors;
namespace pm = zrd::params;

constexpr int kFieldWidth = 58;

// Fields and the parameter whose unit stands beside each.
struct UnitSource {
    const char* field;
    pm::KnownParameter source;
};
constexpr UnitSource kUnitSources[] = {
    {"Speed_com", pm::KnownParameter::VSET},     {"Act_speed", pm::KnownParameter::VACT},
    {"Current_com", pm::KnownParameter::ISET},   {"Act_current", pm::KnownParameter::IACT},
    {"Torque_com", pm::KnownParameter::TSET},    {"Act_torque", pm::KnownParameter::TACT},
    {"Position_com", pm::KnownParameter::PRCTS}, {"Act_position", pm::KnownParameter::PFCTS},
    {"Analog_in", pm::KnownParameter::AINVOL},   {"Pulse_in", pm::KnownParameter::PINFRQ},
    {"Follow_err", pm::KnownParameter::PERR},
};

}  // namespace

TMonitorPanel::TMonitorPanel(QWidget* parent) : QGroupBox("Monitor", parent) {
    setObjectName("GroupBoxMonitor");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    struct Row {
        QLineEdit** member;
        const char* name;
        const char* caption;
        const char* unit;
    };
    // Commands on the left, actual values on the right of the same row.
    const Row rows[] = {
        {&Speed_com, "Speed_com", "Speed command", "rpm"},
        {&Act_speed, "Act_speed", "Speed actual", "rpm"},
        {&Current_com, "Current_com", "Current command", "A"},
        {&Act_current, "Act_current", "Current actual", "A"},
        {&Torque_com, "Torque_com", "Torque command", "N-cm"},
        {&Act_torque, "Act_torque", "Torque actual", "N-cm"},
        {&Position_com, "Position_com", "Position command", "cnts"},
        {&Act_position, "Act_position", "Position actual", "cnts"},
        {&Analog_in, "Analog_in", "Analog IN", "mV"},
        {&Pulse_in, "Pulse_in", "Pulse IN", "kHz"},
        {&Follow_err, "Follow_err", "Follow error", "cnts"},
        {&Direction, "Direction", "Direction", "+/-"},
    };
    int i = 0;
    for (const Row& r : rows) {
        auto* field = new QLineEdit(this);
        field->setObjectName(r.name);
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        field->setFixedWidth(kFieldWidth);
        field->setAlignment(Qt::AlignRight);
        ui::paintState(field, colors::kSilver);
        auto* caption = new QLabel(r.caption, this);
        caption->setObjectName(QString(r.name) + "_label");
        auto* unit = new QLabel(r.unit, this);
        unit->setObjectName(QString(r.name) + "_unit");
        unit->setMinimumWidth(30);
        *r.member = field;
        m_fields.push_back(field);
        const int row = i / 2;
        const int column = (i % 2) * 4;
        grid->addWidget(caption, row, column);
        grid->addWidget(field, row, column + 1);
        grid->addWidget(unit, row, column + 2);
        ++i;
    }
    grid->setColumnMinimumWidth(3, 8);

    auto* buttons = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    Monitor = new QPushButton("Start monitor", this);
    Monitor->setObjectName("Monitor");
    Monitor->setCheckable(true);
    Stop_monitor = new QPushButton("Stop monitor", this);
    Stop_monitor->setObjectName("Stop_monitor");
    Stop_monitor->setCheckable(true);
    Stop_monitor->setChecked(true);
    group->addButton(Monitor);
    group->addButton(Stop_monitor);
    buttons->addStretch();
    buttons->addWidget(Monitor);
    buttons->addWidget(Stop_monitor);
    grid->addLayout(buttons, 6, 0, 1, 7);
    grid->setRowStretch(7, 1);
}

void TMonitorPanel::showUnits(const pm::ParameterModel& model) {
    for (const UnitSource& u : kUnitSources) {
        const std::optional<int> position = model.knownPosition(u.source);
        auto* unit = findChild<QLabel*>(QString(u.field) + "_unit");
        if (position && unit != nullptr)
            unit->setText(
                QString::fromStdString(pm::units(model.parameter(*position), model.language())));
    }
}

void TMonitorPanel::showValues(const MonitorValues& v) {
    const auto show = [](QLineEdit* field, double value) {
        field->setText(QString::fromStdString(pm::valueText(value)));
    };
    show(Speed_com, v.speedCommand);
    show(Act_speed, v.speedActual);
    show(Current_com, v.currentCommand);
    show(Act_current, v.currentActual);
    show(Torque_com, v.torqueCommand);
    show(Act_torque, v.torqueActual);
    show(Position_com, v.positionCommand);
    show(Act_position, v.positionActual);
    show(Analog_in, v.analogIn);
    show(Pulse_in, v.pulseIn);
    Direction->setText(QString::fromStdString(v.direction));
    show(Follow_err, v.followError);
}

void TMonitorPanel::paintFields(QRgb colour) {
    for (QLineEdit* field : m_fields)
        ui::paintState(field, colour);
}

void TMonitorPanel::clearValues() {
    for (QLineEdit* field : m_fields)
        field->clear();
    Direction->clear();
}

}  // namespace zrd::monitor
