#include "cli.h"

namespace zrd::cli {

void addFormulaCommands(CommandList&) {}

}  // namespace zrd::cli
