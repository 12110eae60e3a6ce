#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/qt_user_interface.h"
#include "app/torvanta_application.h"
#include "link/serial_port.h"

int main(int argc, char** argv) {
    zrd::app::TorvantaApplication app(argc, argv);
    app.setUpLook();

    std::vector<std::string> args;
    for (const QString& arg : zrd::app::TorvantaApplication::arguments())
        args.push_back(arg.toStdString());
    zrd::app::QtUserInterface ui;
    auto program = std::make_unique<zrd::app::Program>(ui, zrd::link::makeSystemSerialPort(),
                                                       zrd::app::startOptions(args));
    zrd::app::TMainForm form(*program);
    ui.setWindow(&form);
    if (!form.startUp())
        return 1;
    return zrd::app::TorvantaApplication::exec();
}
