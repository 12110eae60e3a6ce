#pragma once

#include <QDialog>

class QLabel;

namespace zrd::app {

// A modal window showing one drawing of the drive's structure.
class TPicture_Form : public QDialog {
    Q_OBJECT
public:
    // Throws std::runtime_error when the picture file cannot be read.
    TPicture_Form(const QString& caption, const QString& path, QWidget* parent);

    QLabel* Image1;
};

// Reads a picture; throws std::runtime_error naming the file when it cannot.
QPixmap loadPicture(const QString& path);

}  // namespace zrd::app
