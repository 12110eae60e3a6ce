// zrdctl's function generator commands.
#include "cli.h"

namespace zrd::cli {

void addGeneratorCommands(CommandList&) {}

}  // namespace zrd::cli
