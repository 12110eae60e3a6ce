#include "scope/ui/osc_dat_rec_form.h"

#include <QFontDatabase>
#include <QListWidget>
#include <QVBoxLayout>

#include "scope/replay.h"

namespace zrd::scope {
namespace {

constexpr int kGridWidth = 560;
constexpr int kRowHeight = 16;

}  // namespace

TOscDatRec_Form::TOscDatRec_Form(std::function<const RawRecords*()> raw,
                                 const Oscillogram& oscillogram, QWidget* parent)
    : QDialog(parent), m_raw(std::move(raw)), m_oscillogram(oscillogram) {
    setObjectName("OscDatRec_Form");
    setWindowTitle(kDataRecordCaption);
    setWindowModality(Qt::ApplicationModal);
    auto* root = new QVBoxLayout(this);
    StringGrid1 = new QListWidget(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setUniformItemSizes(true);
    StringGrid1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    StringGrid1->setMinimumWidth(kGridWidth);
    root->addWidget(StringGrid1);
    resize(kGridWidth + 40, 40 * kRowHeight);
}

void TOscDatRec_Form::showRecord() {
    FormActivate();
    show();
    raise();
    activateWindow();
}

void TOscDatRec_Form::FormActivate() {
    const RawRecords* raw = m_raw();
    const std::vector<std::string> rows =
        dataRecordRows(raw != nullptr ? *raw : m_none, m_oscillogram.buffer);
    StringGrid1->clear();
    for (const std::string& row : rows)
        StringGrid1->addItem(QString::fromStdString(row));
}

}  // namespace zrd::scope
