#pragma once

#include <QColor>
#include <QGroupBox>
#include <vector>

#include "monitor/status.h"
#include "params/parameter_table.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zrd::monitor {

// The monitor panel of the drive-state area: twelve fields of command and actual values, and
// the "Start monitor" and "Stop monitor" buttons.
class TMonitorPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit TMonitorPanel(QWidget* parent = nullptr);

    // The units of the parameters the fields show, in the interface language.
    void showUnits(const params::ParameterModel& model);
    void showValues(const MonitorValues& values);
    // Aqua while the monitor runs, silver otherwise.
    void paintFields(QRgb colour);
    // Offline: the values of a drive no longer read are not shown.
    void clearValues();

    QLineEdit* Speed_com;
    QLineEdit* Act_speed;
    QLineEdit* Current_com;
    QLineEdit* Act_current;
    QLineEdit* Torque_com;
    QLineEdit* Act_torque;
    QLineEdit* Position_com;
    QLineEdit* Act_position;
    QLineEdit* Analog_in;
    QLineEdit* Pulse_in;
    QLineEdit* Direction;
    QLineEdit* Follow_err;
    QPushButton* Monitor;
    QPushButton* Stop_monitor;

private:
    std::vector<QLineEdit*> m_fields;
};

}  // namespace zrd::monitor
