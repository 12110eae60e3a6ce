#pragma once

#include <QDialog>
#include <functional>

#include "session/configuration_setting.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zrd::session {

inline constexpr const char* kSetConfigCaption = "Configuration setting";

// What the dialog works with; all of it lives for the whole run.
struct SetConfigParts {
    link::DriveLink& link;
    ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    const params::TypeTables& typeTables;
};

// "Configuration setting": a drive and a motor from the type tables; "Set" fits both to the
// drive (the core's applyConfiguration) and hands the outcome to `configured`.
class Tset_config_Form : public QDialog {
    Q_OBJECT
public:
    Tset_config_Form(const SetConfigParts& parts, QWidget* parent);

    // Fills the selectors from the type tables, shows the names given and opens the dialog
    // window-modal; returns at once.
    void showFor(const QString& drive, const QString& motor);

    // The main window shows what "Set" did: marks, drive number, motor selector.
    std::function<void(const ConfigurationResult&)> configured;
    [[nodiscard]] const ConfigurationResult& lastResult() const { return m_last; }

    QLabel* Label1;
    QLabel* Label2;
    QComboBox* ComboBox1;  // drive
    QComboBox* ComboBox2;  // motor
    QPushButton* Button2;  // Set
    QPushButton* Button1;  // Cancel
    QCheckBox* CheckBox1;  // Send CALCPARA command (hidden, ticked)
    QPushButton* Button3;  // show old and new values (hidden, no action)

public slots:
    void Button2Click();

private:
    SetConfigParts m_parts;
    ConfigurationResult m_last;
};

}  // namespace zrd::session
