// The command monitor: menu Admin's functions.

#include "app/main_form.h"

namespace zrd::app {

void TMainForm::createCommandMonitor() {}

}  // namespace zrd::app
