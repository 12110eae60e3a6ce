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

// Loads mess.dic from the data folder and the database (FILE, or the data folder's); a missing,
// stopped or empty database ends the command. A language overrides the file's setting.
std::unique_ptr<Database> loadDatabase(const std::string& file, const std::string& language,
                                       const GlobalOptions& options, UserInterface& ui);

// Ends the command for a port that did not open (exit status 3): why, with the command that
// helps (missing permission, a program holding the port) on stderr, then the one-line reason.
[[noreturn]] void portDidNotOpen(const GlobalOptions& options, const link::SerialPort& port,
                                 link::OpenResult result, UserInterface& ui);

// Whose the names given to a session are: the user's (a name the data set lacks is a wrong
// command line) or the command's own (the data set cannot serve the command).
enum class Names { Needed, Given };

// A database, the link to the drive and the access operations.
struct Session {
    StderrUserInterface ui;
    std::unique_ptr<Database> db;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    std::unique_ptr<link::DriveLink> link;
    std::unique_ptr<session::ParameterAccess> access;
    std::string device;

    // Loads the database and checks every name against it; the drive is not touched yet. A
    // needed name the data set lacks ends the command with message 141 (exit status 1), a given
    // one as a wrong command line (2).
    Session(const GlobalOptions& options, const std::vector<std::string>& names,
            Names kind = Names::Needed);

    // Connects as the program does: the port opened with its preamble, then "HVER" read.
    // A port that does not open or a drive that does not answer ends the command. An adapter
    // whose latency timer slows every exchange is named on stderr, with the cure.
    void connect(const GlobalOptions& options);

    // Ends the command when the port hung up since it was opened.
    void checkLink() const;

    params::ParameterModel& model() { return *db->model; }

    // Reads a parameter; false when it is never read or the drive did not answer.
    bool read(int position);

    // Ends the command with message 141: the data set lacks the parameter the command needs.
    [[noreturn]] void lacks(const std::string& mnemonic) const;
    // The position of a status word's parameter; a data set without it ends the command with
    // message 142.
    int statusWord(int word) const;
};

// Reads a parameter the command needs: a name the data set lacks, or a drive that does not
// answer, ends the command (commands_fg.cpp).
double readParameter(Session& s, const char* mnemonic);
// Ends the command, with the program's message, when the generator may not start: the servo
// off or the command source not internal (commands_fg.cpp).
void requireGeneratorMayStart(Session& s);

// Writes a parameter file to the drive: the file checked whole first, then read-all (so the
// parameters it does not name keep the drive's values) and write-all (commands_session.cpp).
int writeParameterFile(Session& s, const GlobalOptions& options, const std::string& file);
// Reads every parameter of a connected drive into a parameter file (commands_session.cpp).
int saveParametersFromDrive(Session& s, const std::string& file);

}  // namespace zrd::cli
