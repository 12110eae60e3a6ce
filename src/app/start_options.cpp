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
    options.settingsFile = settingsFilePath();
    return options;
}

ProgramHelp programHelp() {
    ProgramHelp help;
    help.name = "torvanta";
    help.summary = "service and tuning tool for ZRD servo drives";
    help.synopsis = {"[--data-dir DIR] [Qt options]", "--version"};
    help.description =
        "QX Torvanta reads and writes the parameters of a ZRD servo drive on a serial port, "
        "stores them in the drive's EEPROM or in parameter files, and shows the drive's status "
        "words, inputs and process values. The program comes up offline with the defaults of "
        "the parameter database; Connection > Connection parameters opens the port.\n\n"
        "The connection dialog describes each serial port (USB adapter, serial number, "
        "/dev/serial/by-id name) and tells how to lower an adapter's latency timer; a port that "
        "does not open is explained (missing permission with the command that grants it, or "
        "the program that holds the port).";
    HelpSection options{"Options", "", {}};
    options.items = {
        {"--data-dir DIR", "read the data set (Param_base.mod, mess.dic, ...) from DIR"},
        {"--help", "this text"},
        {"--version", "the version, and the commit it was built from"},
        {"--man-page", "this help as a manual page (the build installs it)"}};
    HelpSection environment{"Environment", "", {}};
    environment.items = {{"TORVANTA_DATA", "the data folder, when --data-dir is not given"},
                         {kSimDeviceVariable,
                          "a simulated drive's device, offered first in the connection "
                          "dialog (scripts/run-demo sets it)"},
                         {"XDG_CONFIG_HOME", "the folder of the settings file (~/.config)"}};
    HelpSection files{"Files", "", {}};
    files.items = {
        {"share/torvanta/",
         "the data set of an installed program, found from the program's "
         "folder (../share/torvanta); a data set beside the program (a build "
         "tree) comes first"},
        {"~/.config/torvanta/torvanta.conf",
         "the settings: the connection (port, baud rate, time-out), the last page and the "
         "viewer colours. A file that cannot be read is set aside as torvanta.conf.broken."},
        {"Torvanta_QX.Log",
         "the action log, beside the program when that folder is writable, "
         "else in ~/.local/share/torvanta"},
        {"99-zrd-serial.rules",
         "in the data folder: the udev rule that lowers the latency "
         "timer of USB serial adapters (not active until copied to "
         "/etc/udev/rules.d)"}};
    help.sections = {options, environment, files};
    return help;
}

}  // namespace zrd::app
