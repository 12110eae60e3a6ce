#include <QApplication>

#include "app/main_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(zrd::app::kApplicationTitle);
    zrd::app::TMainForm form;
    form.show();
    return QApplication::exec();
}
