#include "app/picture_form.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <stdexcept>

namespace zrd::app {

QPixmap loadPicture(const QString& path) {
    QPixmap picture;
    if (!picture.load(path))
        throw std::runtime_error("Cannot open picture file \"" + path.toStdString() + "\".");
    return picture;
}

TPicture_Form::TPicture_Form(const QString& caption, const QString& path, QWidget* parent)
    : QDialog(parent) {
    setObjectName("Picture_Form");
    setWindowTitle(caption);
    setModal(true);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(loadPicture(path));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    setFixedSize(sizeHint());
}

}  // namespace zrd::app
