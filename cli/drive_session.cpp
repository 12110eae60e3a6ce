#include "drive_session.h"

#include <cerrno>
#include <filesystem>

#include "link/port_info.h"
#include "link/port_lock.h"
#include "session/connection.h"
#include "session/port_advice.h"

namespace zrd::cli {

namespace pm = zrd::params;
namespace lk = zrd::link;

namespace {

// The one-line reason of a port that did not open: for a port another program holds, the
// message that names the holder, as the window shows it; else the system's error text.
std::string openFailureReason(const std::string& device, const lk::SerialPort& port,
                              const pm::MessageTable& messages, const std::string& language) {
    if (port.lastErrorCode() == EBUSY)
        return session::portBusyText(device, lk::findLockHolders(device), messages, language);
    return port.lastError();
}

}  // namespace

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
        case pm::LoadStatus::Empty:
            throw CliError(db->path + " holds no parameters");
    }
    return db;
}

Session::Session(const GlobalOptions& options, const std::vector<std::string>& names, Names kind)
    : device(options.port) {
    if (options.port.empty())
        throw UsageError("needs --port DEV");
    db = loadDatabase("", options.lang, options, ui);
    for (const auto& name : names) {
        if (db->model->find(name))
            continue;
        if (kind == Names::Given)
            throw UsageError("no parameter " + name + " in " + db->path);
        lacks(name);
    }
    link = std::make_unique<lk::DriveLink>(*port, ui);
    access = std::make_unique<session::ParameterAccess>(*link, *db->model, db->messages);
}

void Session::lacks(const std::string& mnemonic) const {
    throw CliError(pm::withArguments(db->messages.text(pm::kMsgDataSetLacks, db->model->language()),
                                     {db->path, mnemonic}));
}

int Session::statusWord(int word) const {
    if (const auto position = db->model->statusWordPosition(word))
        return *position;
    throw CliError(
        pm::withArguments(db->messages.text(pm::kMsgDataSetLacksWord, db->model->language()),
                          {db->path, std::to_string(word)}));
}

void Session::connect(const GlobalOptions& options) {
    // The connection check reads HVER: without it no drive could ever be said to answer.
    if (!model().knownPosition(pm::KnownParameter::HVER))
        lacks("HVER");
    session::ConnectionSettings settings;
    settings.device = options.port;
    settings.BaudRate = options.baud;
    settings.PortTimeOut = options.timeoutMs;
    settings.FastGapBytes = options.fastGapBytes;
    const session::ConnectOutcome c =
        session::connectDrive(*link, *access, model(), db->messages, settings);
    // The open's failure and its advice were shown by the connection itself.
    if (c.open.step == session::OpenOutcome::Step::OpenFailed)
        throw LinkError("cannot open " + device + ": " +
                        openFailureReason(device, *port, db->messages, model().language()));
    if (c.open.step != session::OpenOutcome::Step::Opened)
        throw LinkError("cannot send to the drive on " + device);
    if (!c.driveAnswered)
        throw LinkError("no drive answers on " + device);
    const std::string advice = session::latencyAdvice(
        link::describePort(device), inDataFolder(options, session::kSerialRulesFile), db->messages,
        model().language());
    if (!advice.empty())
        db->messages.showText(ui, advice, model().language());
}

void Session::checkLink() const {
    if (link->state().hungUp)
        throw LinkError("the link to the drive on " + device + " was lost");
}

void portDidNotOpen(const GlobalOptions& options, const lk::SerialPort& port, lk::OpenResult result,
                    UserInterface& ui) {
    pm::MessageTable messages;
    messages.load(inDataFolder(options, pm::kMessageFileName), ui);
    const std::string language = options.lang.empty() ? pm::kEnglish : options.lang;
    const std::string advice = session::openFailureAdvice(
        lk::diagnoseOpenFailure(options.port, port.lastErrorCode()), messages, language);
    // The same box as the window shows: the message of the failed open with the advice.
    messages.showText(ui,
                      messages.text(pm::kMsgCannotOpen, language) +
                          (advice.empty() ? std::string() : "\n\n" + advice),
                      language);
    const char* step =
        result == lk::OpenResult::CannotOpen ? "cannot open " : "cannot set up the port ";
    throw LinkError(step + options.port + ": " +
                    openFailureReason(options.port, port, messages, language));
}

bool Session::read(int position) {
    model().setCurrentParameter(position);
    access->ReadParam();
    return access->lastReply() == lk::kReplyRead;
}

}  // namespace zrd::cli
