#include "app/block_diagram.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/picture_form.h"

namespace zrd::app {
namespace {

// Buttons and the drawings they open.
struct PictureButton {
    const char* button;
    const char* file;
};
constexpr PictureButton kPictures[] = {
    {"Inverter", "Inverter.bmp"},
    {"Current_cntr_1", "Current_cntr_1.bmp"},
    {"Current_cntr_2", "Current_cntr_2.bmp"},
    {"Speed_cntr", "Speed_cntr.bmp"},
    {"Position_cntr", "Position_cntr.bmp"},
};

}  // namespace

TBlockDiagram::TBlockDiagram(const Program& program, QWidget* parent)
    : QWidget(parent), m_program(program) {
    setObjectName("TabPage0");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setMinimumSize(200, 150);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(Image1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch();
    auto pictureButton = [&](QPushButton*& button, const char* name, const QString& caption) {
        button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setMinimumWidth(150);
        connect(button, &QPushButton::clicked, this, &TBlockDiagram::PictureButtonClick);
        buttons->addWidget(button);
    };
    pictureButton(Inverter, "Inverter", "Inverter");
    pictureButton(Current_cntr_1, "Current_cntr_1", "Current Controller p.1");
    pictureButton(Current_cntr_2, "Current_cntr_2", "Current Controller p.2");
    pictureButton(Speed_cntr, "Speed_cntr", "Speed Controller");
    pictureButton(Position_cntr, "Position_cntr", "Position Controller");
    buttons->addStretch();
    layout->addLayout(buttons);
}

void TBlockDiagram::showPicture(UserInterface& ui) {
    const char* file = m_program.english() ? "Pic2_eng.bmp" : "Pic2_rus.bmp";
    try {
        Image1->setPixmap(loadPicture(QString::fromStdString(m_program.dataFile(file))));
    } catch (const std::exception& e) {
        ui.showMessage(QApplication::applicationName().toStdString(), e.what());
    }
}

void TBlockDiagram::PictureButtonClick() {
    auto* button = qobject_cast<QPushButton*>(sender());
    if (button == nullptr)
        return;
    for (const PictureButton& p : kPictures) {
        if (button->objectName() != p.button)
            continue;
        TPicture_Form picture(button->text(), QString::fromStdString(m_program.dataFile(p.file)),
                              this);
        picture.exec();
        return;
    }
}

}  // namespace zrd::app
