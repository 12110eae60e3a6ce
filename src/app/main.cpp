#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/qt_user_interface.h"
#include "app/torvanta_application.h"
#include "core/help_text.h"
#include "core/version.h"
#include "link/serial_port.h"

int main(int argc, char** argv) {
    // Answered before the window system is touched, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--version") {
            std::printf("torvanta %s\n", zrd::versionText().c_str());
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", zrd::plainHelp(zrd::app::programHelp()).c_str());
            return 0;
        }
        if (arg == "--man-page") {
            std::printf("%s", zrd::manPage(zrd::app::programHelp(), zrd::versionText()).c_str());
            return 0;
        }
    }
    zrd::app::TorvantaApplication app(argc, argv);
    app.setUpLook();

    std::vector<std::string> args;
    for (const QString& arg : zrd::app::TorvantaApplication::arguments())
        args.push_back(arg.toStdString());
    zrd::app::QtUserInterface ui;
    zrd::app::StartOptions options = zrd::app::startOptions(args);
    options.versionText = zrd::versionText();
    auto program = std::make_unique<zrd::app::Program>(ui, zrd::link::makeSystemSerialPort(),
                                                       std::move(options));
    zrd::app::TMainForm form(*program);
    ui.setWindow(&form);
    if (!form.startUp())
        return 1;
    return zrd::app::TorvantaApplication::exec();
}
