#pragma once

// What the drive-facing subcommands share: the data files loaded, the port opened.

#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "link/drive_link.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"

namespace zrd::cli {

// The model with the message table and the outcome of loading the database.
struct Database {
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    params::MessageTable messages;
    params::LoadResult result;
    std::string path;
};

// A file of the data folder.
std::string inDataFolder(const GlobalOptions& options, const char* name);

// Loads mess.dic from the data folder and the database (FILE, or the data folder's); a missing
// or stopped database ends the command. A language overrides the file's setting.
std::unique_ptr<Database> loadDatabase(const std::string& file, const std::string& language,
                                       const GlobalOptions& options, UserInterface& ui);

// A database, the port opened on it and the access operations.
struct Session {
    StderrUserInterface ui;
    std::unique_ptr<Database> db;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    std::unique_ptr<link::DriveLink> link;
    std::unique_ptr<session::ParameterAccess> access;

    // Every name is checked against the database before the drive is touched.
    Session(const GlobalOptions& options, const std::vector<std::string>& names);

    params::ParameterModel& model() { return *db->model; }

    // Reads a parameter; false when it is never read or the drive did not answer.
    bool read(int position);
};

}  // namespace zrd::cli
