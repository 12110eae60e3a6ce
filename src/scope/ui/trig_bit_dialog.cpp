#include "scope/ui/trig_bit_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zrd::scope {

namespace {
constexpr int kBitRows = 8;
}

Ttrig_val_bit_sig_Form::Ttrig_val_bit_sig_Form(QWidget* parent) : QDialog(parent) {
    setObjectName("trig_val_bit_sig_Form");
    setWindowTitle(kBitDialogCaption);
    setModal(true);
    auto* column = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(kBitDialogGroup, this);
    GroupBox1->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(GroupBox1);
    for (int bit = 0; bit < kBitsPerWord; ++bit) {
        auto* b = new QRadioButton(QString("bit%1").arg(bit), GroupBox1);
        b->setObjectName(QString("RadioButton%1").arg(bit + 1));
        grid->addWidget(b, bit % kBitRows, bit / kBitRows);
        connect(b, &QRadioButton::clicked, this, [this, bit] { RadioButtonClick(bit + 1); });
        RadioButton.at(static_cast<size_t>(bit)) = b;
    }
    column->addWidget(GroupBox1);
    auto* row = new QHBoxLayout;
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setFixedWidth(60);
    Button1 = new QPushButton("Выход", this);
    Button1->setObjectName("Button1");
    row->addWidget(Edit1);
    row->addStretch();
    row->addWidget(Button1);
    column->addLayout(row);
    connect(Button1, &QPushButton::clicked, this, &Ttrig_val_bit_sig_Form::Button1Click);
}

void Ttrig_val_bit_sig_Form::prepare(const std::array<std::string, kBitsPerWord>& bitNames,
                                     bool edge) {
    m_edge = edge;
    for (size_t bit = 0; bit < RadioButton.size(); ++bit)
        RadioButton[bit]->setText(QString::fromStdString(bitNames[bit]));
    RadioButton[0]->setChecked(true);
}

void Ttrig_val_bit_sig_Form::RadioButtonClick(int n) {
    if (m_edge)
        Edit1->setText(QString::number(n - 1));
}

void Ttrig_val_bit_sig_Form::Button1Click() {
    if (Edit1->text().isEmpty())
        Edit1->setText("0");
    emit bitChosen(Edit1->text());
    accept();
}

}  // namespace zrd::scope
