#include "monitor/ui/state_frame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace zrd::monitor {

namespace {

constexpr const char* kStatusHeaders[3] = {"STA", "ERR", "WRN"};
constexpr const char* kApplicationHeaders[3] = {"APPSGN", "DINSTA", "APXERR"};
// Grid columns: the three words, with the inversion boxes between the second and the third.
constexpr int kGridColumn[3] = {0, 1, 3};
constexpr int kInversionGridColumn = 2;

QString inversionName(int k) {
    // The designer named the twelfth box in lower case; tests and code find it so.
    return k == 11 ? QStringLiteral("inv11") : QStringLiteral("Inv%1").arg(k);
}

}  // namespace

TStateFrame::TStateFrame(Kind kind, QWidget* parent) : QFrame(parent), m_kind(kind) {
    setObjectName(kind == Kind::Status ? "StateFrame0" : "StateFrame1");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    const auto header = [&](const char* name, int column) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setStyleSheet("font-weight: bold");
        label->hide();
        grid->addWidget(label, 0, column);
        return label;
    };
    Label1 = header("Label1", kGridColumn[0]);
    Label2 = header("Label2", kGridColumn[1]);
    Label3 = header("Label3", kGridColumn[2]);
    Label4 = header("Label4", kInversionGridColumn);
    Label4->setText("Inv");
    for (int column = 0; column < 3; ++column) {
        for (int b = 0; b < 16; ++b) {
            auto* box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("C%1_b%2").arg(column).arg(b));
            // The boxes show what the drive said; a click must not tick a bit it did not set.
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            // Greyed until a drive is polled.
            box->setEnabled(false);
            box->hide();
            grid->addWidget(box, 1 + b, kGridColumn[column]);
            bitBoxes[column][b] = box;
        }
    }
    for (int k = 0; k < 16; ++k) {
        auto* box = new QCheckBox(this);
        box->setObjectName(inversionName(k));
        box->hide();
        grid->addWidget(box, 1 + k, kInversionGridColumn);
        Inv[k] = box;
        // clicked() comes only from the user, never from setInversion().
        connect(box, &QCheckBox::clicked, this,
                [this, k](bool checked) { emit inversionClicked(k, checked); });
    }
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(17, 1);
}

bool TStateFrame::build(const params::ParameterModel::BitTable& bits, std::string_view language) {
    const int group =
        m_kind == Kind::Status ? params::kStatusPageGroup : params::kApplicationPageGroup;
    const auto& headers = m_kind == Kind::Status ? kStatusHeaders : kApplicationHeaders;
    QLabel* columnHeaders[3] = {Label1, Label2, Label3};
    bool any = false;
    for (const auto& bit : bits)
        any = any || (!bit.Pname.empty() && bit.IndexGroup == group);
    for (int i = 0; i < params::kBitTableSlots; ++i) {
        const int column = i / 16;
        const int b = i % 16;
        QCheckBox* box = bitBoxes[column][b];
        box->setChecked(false);
        const auto& bit = bits[static_cast<size_t>(i)];
        const bool shown = any && !bit.Pname.empty();
        box->setVisible(shown);
        if (m_kind == Kind::Application && column == 1)
            Inv[b]->setVisible(shown);
        if (!shown)
            continue;
        box->setText(QString::fromStdString(params::description(bit, language)));
        columnHeaders[column]->setText(headers[column]);
        columnHeaders[column]->show();
        if (m_kind == Kind::Application)
            Label4->show();
    }
    return any;
}

void TStateFrame::showBits(const FrameBits& bits) {
    for (int column = 0; column < 3; ++column)
        for (int b = 0; b < 16; ++b)
            bitBoxes[column][b]->setChecked(bits.bit(column, b));
}

void TStateFrame::showLive(bool live) {
    for (auto& column : bitBoxes)
        for (QCheckBox* box : column)
            box->setEnabled(live);
}

void TStateFrame::setInversion(uint16_t value) {
    for (int k = 0; k < 16; ++k)
        Inv[k]->setChecked((value >> k) & 1);
}

uint16_t TStateFrame::inversion() const {
    std::array<bool, 16> boxes{};
    for (int k = 0; k < 16; ++k)
        boxes[k] = Inv[k]->isChecked();
    return inversionValue(boxes);
}

}  // namespace zrd::monitor
