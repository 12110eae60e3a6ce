#pragma once

// The set-up the drive benchmarks share: the shipped data set loaded, the simulated drive
// running it on a pseudo-terminal, and a link connected to it.

#include <filesystem>
#include <memory>
#include <string>

#include "core/paths.h"
#include "link/drive_link.h"
#include "params/database_loader.h"
#include "sim_server.h"

namespace zrd::bench {

struct ShippedDrive {
    explicit ShippedDrive(int baud) : sim(baud) {}

    // Loads the data set, starts the drive and connects; the reason when something failed.
    [[nodiscard]] std::string start() {
        const std::filesystem::path folder = zrd::dataFolder();
        messages.load((folder / params::kMessageFileName).string(), ui);
        if (!params::loadDatabase((folder / params::kDatabaseFileName).string(), model, messages,
                                  ui, false)
                 .ok())
            return "the shipped database does not load";
        if (!sim.openPty())
            return sim.error();
        sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
        sim.start();
        if (link.openPort(sim.devicePath(), sim.baudRate(), link::kDefaultPortTimeOutMs) !=
            link::OpenResult::Ok)
            return "cannot open the simulator's port";
        link.state().connected = 1;
        return {};
    }

    SilentUserInterface ui;
    params::MessageTable messages;
    params::ParameterModel model;
    sim::SimServer sim;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
};

}  // namespace zrd::bench
