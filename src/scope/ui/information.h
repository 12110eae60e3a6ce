#pragma once

#include <QDialog>

#include "scope/oscillogram.h"

class QLabel;
class QPlainTextEdit;

namespace zrd::scope {

inline constexpr const char* kInformationCaption = "Information";

// The oscillogram's header and its comments; every edit of the comments goes into the
// oscillogram at once, so that a following save writes them.
class TInformation : public QDialog {
    Q_OBJECT
public:
    TInformation(Oscillogram& oscillogram, QWidget* parent);

    // Shows the header and the comments without blocking the viewer.
    void showInformation();

    QLabel* Label1;
    QPlainTextEdit* Memo1;

public slots:
    void Memo1Change();

private:
    Oscillogram& m_oscillogram;
};

}  // namespace zrd::scope
