#include "app/main_form.h"

namespace zrd::app {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle(kMainCaption);
    resize(kMainWidth, kMainHeight);
}

}  // namespace zrd::app
