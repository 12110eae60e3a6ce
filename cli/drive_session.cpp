#include "drive_session.h"

#include <filesystem>

namespace zrd::cli {

namespace pm = zrd::params;
namespace lk = zrd::link;

std::string inDataFolder(const GlobalOptions& options, const char* name) {
    return (std::filesystem::path(dataDirectory(options)) / name).string();
}

std::unique_ptr<Database> loadDatabase(const std::string& file, const std::string& language,
                                       const GlobalOptions& options, UserInterface& ui) {
    auto db = std::make_unique<Database>();
    db->path = file.empty() ? inDataFolder(options, pm::kDatabaseFileName) : file;
    db->messages.load(inDataFolder(options, pm::kMessageFileName), ui);
    const bool keepLanguage = !language.empty();
    if (keepLanguage)
        db->model->setLanguage(language);
    db->result = pm::loadDatabase(db->path, *db->model, db->messages, ui, keepLanguage);
    switch (db->result.status) {
        case pm::LoadStatus::Ok:
            break;
        case pm::LoadStatus::Missing:
            throw CliError("no parameter database " + db->path);
        case pm::LoadStatus::Unreadable:
            throw CliError("cannot read " + db->path);
        case pm::LoadStatus::Stopped:
            throw CliError(db->path + ": loading stopped at line " +
                           std::to_string(db->result.stoppedAtLine));
    }
    return db;
}

Session::Session(const GlobalOptions& options, const std::vector<std::string>& names) {
    if (options.port.empty())
        throw CliError("needs --port DEV");
    db = loadDatabase("", options.lang, options, ui);
    for (const auto& name : names) {
        if (!db->model->find(name))
            throw CliError("no parameter " + name + " in " + db->path);
    }
    link = std::make_unique<lk::DriveLink>(*port, ui);
    if (link->openPort(options.port, options.baud, options.timeoutMs) != lk::OpenResult::Ok)
        throw CliError("cannot open " + options.port + ": " + port->lastError());
    // The user named the port: the drive on it counts as connected until it fails to answer.
    link->state().connected = 1;
    access = std::make_unique<session::ParameterAccess>(*link, *db->model, db->messages);
}

bool Session::read(int position) {
    model().setCurrentParameter(position);
    access->ReadParam();
    return access->lastReply() == lk::kReplyRead;
}

}  // namespace zrd::cli
