#pragma once

#include <QFrame>
#include <array>

#include "params/message_table.h"
#include "params/page_layout.h"
#include "params/parameter_table.h"

class QLabel;
class QLineEdit;

namespace zrd::params {

// One row of a parameter page.
struct ParamRow {
    QLabel* num = nullptr;        // mnemonic
    QLabel* ParamName = nullptr;  // description
    QLineEdit* Param = nullptr;   // value; editable only for "R-W"
    QLabel* MesurUnit = nullptr;  // unit
    QLabel* index = nullptr;      // table position (never shown): the row's link to its record
    QLabel* Min = nullptr;        // line key
    QLineEdit* Minval = nullptr;  // limits and default, display units
    QLineEdit* MaxVal = nullptr;
    QLineEdit* DefaultVal = nullptr;
};

// A page of up to sixteen parameters of one group tab.
class TParamFrame : public QFrame {
    Q_OBJECT
public:
    TParamFrame(const ParameterModel& model, const MessageTable& messages, int slot,
                const QString& name, QWidget* parent);

    // Places a parameter in row k and shows it.
    void fillRow(int k, int position);
    // Shows the three limit headers (the page has at least one row).
    void showHeaders();
    // The row whose index label holds the table position, or -1.
    [[nodiscard]] int rowOf(int position) const;
    // The table position of row k, or -1 for a row without a parameter.
    [[nodiscard]] int positionOf(int k) const;
    [[nodiscard]] int slot() const { return m_slot; }
    [[nodiscard]] const ParamRow& row(int k) const { return m_rows.at(static_cast<size_t>(k)); }

    QLabel* minimum;
    QLabel* maximum;
    QLabel* default_;

signals:
    // The mouse went down on a row's value field.
    void ParamMouseDown(TParamFrame* frame, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const ParameterModel& m_model;
    int m_slot;
    std::array<ParamRow, kRowsPerPage> m_rows;
};

// True for the keys a value field takes: digits, "-", ".", Backspace and Enter.
bool acceptsValueKey(int key, const QString& text);

}  // namespace zrd::params
