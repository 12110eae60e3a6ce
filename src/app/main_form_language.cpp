// The language: the start-up translation and the switch from Special functions.

#include "app/main_form.h"

namespace zrd::app {

void TMainForm::createLanguage() {}

}  // namespace zrd::app
