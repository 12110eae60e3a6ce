#pragma once

#include <QFrame>
#include <array>

#include "monitor/status.h"
#include "params/parameter_table.h"

class QCheckBox;
class QLabel;

namespace zrd::monitor {

// One state frame: three columns of sixteen bit boxes for three status words and, on the
// application frame, the sixteen inversion boxes of the digital inputs.
class TStateFrame : public QFrame {
    Q_OBJECT
public:
    enum class Kind { Status, Application };

    TStateFrame(Kind kind, QWidget* parent = nullptr);

    // Shows the header and box of every named bit of the table (captions by language);
    // false when no bit belongs to the frame's group (the page control is then hidden).
    bool build(const params::ParameterModel::BitTable& bits, std::string_view language);

    // Ticks the boxes of the three columns as the bits stand.
    void showBits(const FrameBits& bits);
    // The bit boxes in their colours while a drive is polled, greyed while offline.
    void showLive(bool live);

    // Sets the inversion boxes from a value without running their click handlers.
    void setInversion(uint16_t value);
    [[nodiscard]] uint16_t inversion() const;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    std::array<std::array<QCheckBox*, 16>, 3> bitBoxes{};  // C<column>_b<bit>
    std::array<QCheckBox*, 16> Inv{};                      // the twelfth is named inv11

signals:
    // The user ticked or unticked inversion box k.
    void inversionClicked(int bit, bool checked);

private:
    Kind m_kind;
};

}  // namespace zrd::monitor
