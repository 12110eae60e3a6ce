#include "app/program.h"

namespace zrd::app {

Program::Program(UserInterface& userInterface, std::unique_ptr<link::SerialPort> serialPort,
                 StartOptions startOptions)
    : ui(userInterface),
      options(std::move(startOptions)),
      port(std::move(serialPort)),
      link(*port, userInterface),
      access(link, model, messages),
      actionLog(userInterface),
      status(link, model, messages) {
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

}  // namespace zrd::app
