#pragma once
// The data record viewer: the last offline record, raw beside scaled, one row per sample.

#include <QDialog>
#include <functional>

#include "scope/offline_capture.h"
#include "scope/oscillogram.h"

class QListWidget;

namespace zrd::scope {

inline constexpr const char* kDataRecordCaption = "OscillDataRec";

class TOscDatRec_Form : public QDialog {
    Q_OBJECT
public:
    // `raw` gives the offline capture's raw record; null when none was made yet (all zeros).
    TOscDatRec_Form(std::function<const RawRecords*()> raw, const Oscillogram& oscillogram,
                    QWidget* parent);

    // Fills the rows and shows the window modally; returns at once.
    void showRecord();
    void FormActivate();

    QListWidget* StringGrid1;

private:
    std::function<const RawRecords*()> m_raw;
    const Oscillogram& m_oscillogram;
    RawRecords m_none{};
};

}  // namespace zrd::scope
