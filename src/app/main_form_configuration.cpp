// The configuration dialog, CALCPARA and the formula tester: menus Services and Special
// functions.

#include "app/main_form.h"

namespace zrd::app {

void TMainForm::createConfiguration() {}

}  // namespace zrd::app
