#pragma once

#include <QFrame>
#include <QRgb>
#include <QString>
#include <array>
#include <optional>

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

// A page of up to sixteen parameters of one group tab. Its row controls are made when the page
// is first shown or a row is asked for: most pages of a session are never opened. Until then
// the page keeps what its rows show and shows it once the controls are there.
class TParamFrame : public QFrame {
    Q_OBJECT
public:
    // The fields of a row that change after the row is filled.
    enum class Field { Value, Minimum, Maximum, Default };

    TParamFrame(const ParameterModel& model, const MessageTable& messages, int slot,
                const QString& name, QWidget* parent);

    // Places a parameter in row k and shows it.
    void fillRow(int k, int position);
    // Shows the three limit headers (the page has at least one row).
    void showHeaders();
    // Shows a text in a field of row k.
    void setFieldText(int k, Field field, const QString& text);
    // Fills a field of row k with a state colour.
    void paintField(int k, Field field, QRgb colour);
    // The row whose parameter is at the table position, or -1.
    [[nodiscard]] int rowOf(int position) const;
    // The table position of row k, or -1 for a row without a parameter.
    [[nodiscard]] int positionOf(int k) const;
    [[nodiscard]] int slot() const { return m_slot; }
    // The controls of row k, made first if the page has none yet.
    [[nodiscard]] const ParamRow& row(int k) const;
    // Makes the row controls and shows in them what the rows hold; once per page.
    void build();
    [[nodiscard]] bool built() const { return m_built; }

    QLabel* minimum;
    QLabel* maximum;
    QLabel* default_;

signals:
    // The mouse went down on a row's value field.
    void ParamMouseDown(TParamFrame* frame, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    static constexpr int kFields = 4;

    // What a row shows while the page has no controls.
    struct RowContent {
        int position = -1;
        QString num;
        QString ParamName;
        QString MesurUnit;
        QString Min;
        bool writable = false;
        std::array<QString, kFields> texts;  // by Field
        std::array<std::optional<QRgb>, kFields> colours;
    };

    [[nodiscard]] QLineEdit* fieldOf(int k, Field field) const;
    // Puts row k's content into its controls and shows them.
    void showRow(int k);

    const ParameterModel& m_model;
    int m_slot;
    bool m_built = false;
    bool m_headers = false;
    std::array<RowContent, kRowsPerPage> m_content;
    std::array<ParamRow, kRowsPerPage> m_rows;
};

// True for the keys a value field takes: digits, "-", ".", Backspace and Enter.
bool acceptsValueKey(int key, const QString& text);

}  // namespace zrd::params
