#pragma once

#include <QWidget>

#include "app/program.h"

class QLabel;
class QPushButton;

namespace zrd::app {

// The "Block Diagram" tab: the drive's structure and five buttons that open its parts.
class TBlockDiagram : public QWidget {
    Q_OBJECT
public:
    TBlockDiagram(const Program& program, QWidget* parent = nullptr);

    // The drawing in the interface language. A missing file is reported and the tab stays
    // empty: the program goes on without it.
    void showPicture(UserInterface& ui);

    QLabel* Image1;
    QPushButton* Inverter;
    QPushButton* Current_cntr_1;
    QPushButton* Current_cntr_2;
    QPushButton* Speed_cntr;
    QPushButton* Position_cntr;

public slots:
    void PictureButtonClick();

private:
    const Program& m_program;
};

}  // namespace zrd::app
