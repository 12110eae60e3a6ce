#include "app/start_options.h"

#include <cstdlib>

#include "core/paths.h"

namespace zrd::app {

std::string dataDirOption(const std::vector<std::string>& args) {
    const std::string option = kDataDirOption;
    const std::string withValue = option + "=";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == option && i + 1 < args.size())
            return args[i + 1];
        if (arg.rfind(withValue, 0) == 0)
            return arg.substr(withValue.size());
    }
    return {};
}

StartOptions startOptions(const std::vector<std::string>& args) {
    StartOptions options;
    options.dataDir = dataFolder(dataDirOption(args));
    if (const char* device = std::getenv(kSimDeviceVariable))
        options.simDevice = device;
    return options;
}

}  // namespace zrd::app
