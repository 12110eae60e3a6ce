#include "cli.h"

namespace zrd::cli {

void addParameterCommands(CommandList&) {}

}  // namespace zrd::cli
