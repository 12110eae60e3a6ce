#include "app/program.h"

#include "app/cpu_speed.h"
#include "core/paths.h"
#include "params/function_names.h"

namespace zrd::app {

Program::Program(UserInterface& userInterface, std::unique_ptr<link::SerialPort> serialPort,
                 StartOptions startOptions)
    : ui(userInterface),
      options(std::move(startOptions)),
      port(std::move(serialPort)),
      link(*port, userInterface),
      access(link, model, messages),
      actionLog(userInterface),
      status(link, model, messages),
      oscillogram(std::make_unique<scope::Oscillogram>()) {
    model.setLanguage(kDesignLanguage);
    // The simulator started beside the program is offered first in the connection dialog.
    connection.device = options.simDevice;
}

const std::string& Program::message(int n) const {
    return messages.text(n, model.language());
}

std::string Program::dataFile(const std::string& name) const {
    if (options.dataDir.empty())
        return name;
    return options.dataDir + "/" + name;
}

void Program::openActionLog() {
    const std::string& folder = options.logDir;
    actionLog.open(folder.empty() ? writableFolder(programFolder()) : folder);
}

void Program::measureCpuSpeed() {
    shell.cpuMhz = cpuClock.mhz(options.cpuMeasureMs);
    shell.cpuSpeedClass = cpuSpeedClass(shell.cpuMhz);
}

void Program::loadFunctionNameLists() {
    const std::string folder = dataFile(".");
    const auto load = [&](const char* file) {
        return params::loadFunctionNames(folder, file, language(), ui);
    };
    functionNames.digitalInputs = load(params::kDigitalInputsFile);
    functionNames.digitalOutputs = load(params::kDigitalOutputsFile);
    functionNames.analogOutputs = load(params::kAnalogOutputsFile);
}

}  // namespace zrd::app
