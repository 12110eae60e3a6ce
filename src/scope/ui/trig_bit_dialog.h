#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "scope/trace_view.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zrd::scope {

inline constexpr const char* kBitDialogCaption = "Задание битвого сигнала для тригера";
inline constexpr const char* kBitDialogGroup = "Битовые сигналы";

// Chooses a bit of a status-word channel as the trigger level: the bit's number goes into
// Edit1, and "Выход" hands it on.
class Ttrig_val_bit_sig_Form : public QDialog {
    Q_OBJECT
public:
    explicit Ttrig_val_bit_sig_Form(QWidget* parent = nullptr);

    // Captions "bitK name" of the 16 buttons, the first one selected; `edge`: the trigger is an
    // edge, the only case in which a choice changes Edit1.
    void prepare(const std::array<std::string, kBitsPerWord>& bitNames, bool edge);

    QGroupBox* GroupBox1;
    std::array<QRadioButton*, kBitsPerWord> RadioButton{};  // RadioButton1..RadioButton16
    QLineEdit* Edit1;
    QPushButton* Button1;

signals:
    // "Выход": the chosen bit number ("0" when none was chosen).
    void bitChosen(const QString& bit);

public slots:
    void RadioButtonClick(int n);  // n = 1..16
    void Button1Click();

private:
    bool m_edge = false;
};

}  // namespace zrd::scope
