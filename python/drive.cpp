#include "drive.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "core/paths.h"
#include "formula/own_limits.h"
#include "monitor/status.h"
#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "params/parameter_comparison.h"
#include "params/parameter_file.h"
#include "params/type_tables.h"
#include "scope/offline_capture.h"
#include "scope/online_capture.h"
#include "scope/oscillogram_file.h"
#include "scope/oscillogram_file_reader.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "session/connection.h"
#include "session/service_commands.h"
#include "session/status_poll.h"
#include "session/sweeps.h"
#include "tuning/function_generator.h"
#include "tuning/speed_loop_tuner.h"
#include "tuning/tune_json.h"

namespace zrd::python {

namespace pm = zrd::params;
namespace lk = zrd::link;
namespace sc = zrd::scope;
namespace ss = zrd::session;
namespace tn = zrd::tuning;
using Clock = sc::CaptureClock;

namespace {

// The offline record's waits beyond its record time, as zrdctl's: a full buffer comes within
// seconds; an edge or the generator may take a while.
constexpr double kFullBufferWaitS = 10;
constexpr double kEventWaitS = 60;
// After the record time of a capture without trigger, so that the drive's ring is surely full.
constexpr auto kRecordSlack = std::chrono::milliseconds(100);
// How often a wait that has nothing to read asks whether the caller wants to stop.
constexpr auto kInterruptPoll = std::chrono::milliseconds(100);
// The preview is not drawn here; the class only sets its stride.
constexpr int kCpuSpeedClass = 2;
constexpr const char* kDriveSide = "drive";

bool stopAsked(const InterruptCheck& stop) {
    return stop && stop();
}

std::string stampNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char date[16] = {};
    char time[16] = {};
    std::strftime(date, sizeof date, "%d.%m.%y", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    return sc::makeStamp(date, time);
}

std::string joinedNames(const pm::ParameterModel& model, const std::vector<int>& positions) {
    std::string out;
    for (const int position : positions)
        out += (out.empty() ? "" : ", ") + model.parameter(position).Pname;
    return out;
}

bool readable(const pm::TPar& p) {
    return !p.pType.empty() && p.pType != pm::kNeverRead;
}

// Sleeps out a drive's own time in steps, so that the caller can stop it.
void waitFor(Clock::duration span, const InterruptCheck& stop) {
    const auto end = Clock::now() + span;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (stopAsked(stop))
            throw Interrupted{};
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, kInterruptPoll));
    }
}

sc::TriggerType triggerOf(const std::string& text) {
    struct Name {
        const char* text;
        sc::TriggerType type;
    };
    for (const Name& n :
         {Name{"none", sc::TriggerType::None}, Name{"rising", sc::TriggerType::Rising},
          Name{"falling", sc::TriggerType::Falling}, Name{"full", sc::TriggerType::FullBuffer},
          Name{"fg", sc::TriggerType::Generator}})
        if (text == n.text)
            return n.type;
    throw Failure(FailureKind::Data,
                  "trigger must be none, rising, falling, full or fg, not \"" + text + "\"", 0, {});
}

}  // namespace

void KeptMessages::showMessage(const std::string&, const std::string& text) {
    m_last = text;
}

namespace {

// The literal pieces of a message text between its "%1".."%9" placeholders.
std::vector<std::string_view> literalPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t from = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%' || text[i + 1] < '1' || text[i + 1] > '9')
            continue;
        pieces.push_back(text.substr(from, i - from));
        from = i + 2;
        ++i;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

// The number of literal characters of the text found in order in the body; 0 when a piece is
// missing.
size_t matchedLength(std::string_view body, std::string_view text) {
    size_t at = 0;
    size_t matched = 0;
    for (const std::string_view piece : literalPieces(text)) {
        if (piece.empty())
            continue;
        const size_t found = body.find(piece, at);
        if (found == std::string_view::npos)
            return 0;
        at = found + piece.size();
        matched += piece.size();
    }
    return matched;
}

// A text this short would be found in many bodies by chance.
constexpr size_t kShortestMatch = 8;

}  // namespace

int messageNumberOf(const pm::MessageTable& messages, const std::string& body,
                    std::string_view language) {
    int best = 0;
    size_t bestLength = kShortestMatch - 1;
    // A body is a message text with its arguments, often behind a caption naming the parameter:
    // the message whose literal text it holds most of names it. Caption 0 is never a body.
    for (int n = 1; n < pm::kMessageCount; ++n) {
        const size_t length = matchedLength(body, messages.text(n, language));
        if (length > bestLength) {
            best = n;
            bestLength = length;
        }
    }
    return best;
}

std::string dataFolderFor(const std::string& given, const std::string& programFolder) {
    if (!given.empty())
        return given;
    if (const char* env = std::getenv("TORVANTA_DATA"); env && *env)
        return env;
    return dataFolderOf(programFolder);
}

std::unique_ptr<DataSet> loadDataSet(const std::string& folder, const std::string& language) {
    auto data = std::make_unique<DataSet>();
    data->folder = folder;
    data->databasePath = (std::filesystem::path(folder) / pm::kDatabaseFileName).string();
    SilentUserInterface silent;
    data->messages.load((std::filesystem::path(folder) / pm::kMessageFileName).string(), silent);
    if (!language.empty())
        data->model->setLanguage(language);
    const pm::LoadResult r = pm::loadDatabase(data->databasePath, *data->model, data->messages,
                                              silent, !language.empty());
    std::string why;
    switch (r.status) {
        case pm::LoadStatus::Ok:
            return data;
        case pm::LoadStatus::Missing:
            why = "no parameter database " + data->databasePath;
            break;
        case pm::LoadStatus::Unreadable:
            why = "cannot read " + data->databasePath;
            break;
        case pm::LoadStatus::Stopped:
            why =
                data->databasePath + ": loading stopped at line " + std::to_string(r.stoppedAtLine);
            break;
        case pm::LoadStatus::Empty:
            why = data->databasePath + " holds no parameters";
            break;
    }
    throw Failure(FailureKind::Data, why, 0, {});
}

// ---- Recording

std::vector<int> Recording::usedChannels() const {
    std::vector<int> used;
    const int channels =
        oscillogram->kind == sc::ScopeKind::Online ? sc::kOnlineChannelCount : sc::kChannelCount;
    for (int c = 1; c <= channels; ++c)
        if (oscillogram->channel(c).name != sc::kNoChannel)
            used.push_back(c);
    return used;
}

void Recording::save(const std::string& path) const {
    if (!sc::formatOfPath(path))
        throw Failure(FailureKind::Data, path + ": an oscillogram file is named *.dat or *.csv", 0,
                      {});
    // A recording without the database's names keeps an empty parameter block's names.
    const pm::ParameterModel none;
    const sc::FileResult r = sc::writeOscillogramFile(path, *oscillogram, model ? *model : none);
    if (!r)
        throw Failure(FailureKind::Data, r.error, 0, {});
}

std::unique_ptr<Recording> Recording::load(const std::string& path, const DataSet* data) {
    auto rec = std::make_unique<Recording>();
    if (data)
        rec->model = std::make_unique<pm::ParameterModel>(*data->model);
    const sc::DatReadResult r = sc::readDatFile(path, *rec->oscillogram, rec->model.get());
    if (!r.ok())
        throw Failure(FailureKind::Data, r.error, 0, {});
    if (rec->model && r.parameters) {
        SilentUserInterface silent;
        sc::takeOverParameters(*r.parameters, *rec->model, silent);
    }
    rec->samples = rec->oscillogram->kind == sc::ScopeKind::Offline
                       ? std::min(r.records, sc::kOfflineSamples)
                       : r.records;
    return rec;
}

// ---- Drive

Drive::Drive(const ConnectOptions& options) : m_options(options) {
    m_data = loadDataSet(options.dataFolder, options.language);
    m_port = lk::makeSystemSerialPort();
    m_link = std::make_unique<lk::DriveLink>(*m_port, m_ui);
    m_access = std::make_unique<ss::ParameterAccess>(*m_link, *m_data->model, m_data->messages);
    ss::ConnectionSettings settings;
    settings.device = options.port;
    settings.BaudRate = options.baud;
    settings.PortTimeOut = options.timeoutMs;
    settings.FastGapBytes = options.fast ? lk::kDefaultFastGapBytes : 0;
    const ss::ConnectOutcome c =
        ss::connectDrive(*m_link, *m_access, *m_data->model, m_data->messages, settings);
    if (c.open.step == ss::OpenOutcome::Step::OpenFailed)
        fail(FailureKind::Link, "cannot open " + options.port + ": " + m_port->lastError() +
                                    (c.open.advice.empty() ? "" : "\n" + c.open.advice));
    if (c.open.step != ss::OpenOutcome::Step::Opened)
        fail(FailureKind::Link, "cannot send to the drive on " + options.port);
    if (!c.driveAnswered)
        fail(FailureKind::Link, "no drive answers on " + options.port);
}

Drive::~Drive() {
    close();
}

void Drive::close() {
    const std::lock_guard lock(m_mutex);
    if (m_link)
        m_link->closePort();
}

bool Drive::connected() const {
    const std::lock_guard lock(m_mutex);
    return m_link && m_link->state().connected != 0 && !m_link->state().hungUp && m_port->isOpen();
}

std::string Drive::language() const {
    return m_data->model->language();
}

std::vector<std::string> Drive::names() const {
    std::vector<std::string> out;
    for (int i = 0; i < ss::sweepLength(*m_data->model); ++i)
        out.push_back(m_data->model->parameter(i).Pname);
    return out;
}

ParameterInfo Drive::info(const std::string& name) const {
    const pm::TPar& p = m_data->model->parameter(position(name));
    const std::string& language = m_data->model->language();
    return {p.Pname,
            pm::description(p, language),
            pm::units(p, language),
            p.pType,
            pm::minDisplay(p),
            pm::maxDisplay(p),
            pm::defaultDisplay(p)};
}

std::unique_lock<std::mutex> Drive::begin() {
    std::unique_lock lock(m_mutex);
    m_ui.clear();
    return lock;
}

void Drive::fail(FailureKind kind, const std::string& text) const {
    const auto& shown = m_ui.last();
    if (!shown)
        throw Failure(kind, text, 0, {});
    const int number = messageNumberOf(m_data->messages, *shown, m_data->model->language());
    throw Failure(kind, text + " (message " + std::to_string(number) + ": " + *shown + ")", number,
                  *shown);
}

void Drive::checkLink() const {
    if (m_link->state().hungUp)
        fail(FailureKind::Link, "the link to the drive on " + m_options.port + " was lost" +
                                    (m_ui.lostReason().empty() ? "" : ": " + m_ui.lostReason()));
}

void Drive::requireConnected() const {
    checkLink();
    if (!m_port->isOpen())
        fail(FailureKind::Link, "the connection to " + m_options.port + " is closed");
}

int Drive::position(const std::string& name) const {
    const std::optional<int> at = m_data->model->find(name);
    if (!at)
        throw Failure(FailureKind::Data, "no parameter " + name + " in " + m_data->databasePath, 0,
                      {});
    return *at;
}

bool Drive::read(int at) {
    m_data->model->setCurrentParameter(at);
    m_access->ReadParam();
    return m_access->lastReply() == lk::kReplyRead;
}

double Drive::readValue(const std::string& name) {
    const int at = position(name);
    if (!read(at)) {
        checkLink();
        fail(FailureKind::Link, "no answer for " + name + " on " + m_options.port);
    }
    return m_data->model->value(at);
}

double Drive::get(const std::string& name) {
    const auto lock = begin();
    requireConnected();
    const int at = position(name);
    const pm::TPar& p = m_data->model->parameter(at);
    if (!readable(p))
        throw Failure(FailureKind::Data, name + " is never read (access \"" + p.pType + "\")", 0,
                      {});
    return readValue(name);
}

double Drive::set(const std::string& name, double wanted) {
    const auto lock = begin();
    requireConnected();
    pm::ParameterModel& model = *m_data->model;
    const int at = position(name);
    const pm::TPar& p = model.parameter(at);
    if (!std::isfinite(wanted))
        throw Failure(FailureKind::Data, name + ": a value must be a finite number", 0, {});
    if (p.pType == pm::kReadOnly)
        throw Failure(FailureKind::Refused, name + " is read only; nothing written", 0, {});
    // Checked before the drive is touched: a value outside the limits is never written.
    model.setCurrentParameter(at);
    if (!m_access->acceptsEntered(wanted))
        fail(FailureKind::Refused, pm::valueText(wanted) + " is outside the limits of " + name +
                                       " (" + pm::valueText(pm::minDisplay(p)) + " .. " +
                                       pm::valueText(pm::maxDisplay(p)) + "); nothing written");
    // What the drive holds now is what a refusal puts back.
    if (readable(p) && !read(at)) {
        checkLink();
        fail(FailureKind::Link, "no answer for " + name + " on " + m_options.port);
    }
    model.setPreviousValue(at, model.value(at));
    model.setCurrentParameter(at);
    model.setValue(at, wanted);
    m_access->SetParam();
    checkLink();
    const uint8_t reply = m_access->lastReply();
    if (reply == lk::kReplyRefused)
        fail(FailureKind::Refused, "the drive refused " + name + " = " + pm::valueText(wanted));
    if (reply != lk::kReplyAccepted)
        fail(FailureKind::Link, "no answer to the write of " + name + " on " + m_options.port);
    // The drive keeps the rounded raw value; what it reads back is what stands.
    double stands = pm::rawToDisplay(p, *pm::displayToRaw(p, wanted));
    if (readable(p) && read(at))
        stands = model.value(at);
    return stands;
}

ss::ReadAllResult Drive::readEverything(const InterruptCheck& stop, bool strict) {
    pm::ParameterModel& model = *m_data->model;
    ss::Sweeps sweeps(*m_link, model, m_data->messages);
    // Between two positions every exchange is complete: a stop there leaves the link clean.
    ss::ReadAllResult r = sweeps.ReadParamAll([&](int, int) {
        if (stopAsked(stop))
            throw Interrupted{};
    });
    // Read-all stores only the values with a page row; the others are the drive's too.
    for (size_t i = 0; i < r.read.size(); ++i)
        if (r.read[i])
            model.setKnownValue(static_cast<int>(i), *r.read[i]);
    checkLink();
    if (r.linkLost)
        fail(FailureKind::Link, "the drive on " + m_options.port + " stopped answering at " +
                                    model.parameter(r.stoppedAt).Pname);
    if (strict && !r.gaveUp.empty())
        fail(FailureKind::Link, "no answer for " + joinedNames(model, r.gaveUp));
    return r;
}

std::vector<std::pair<std::string, std::optional<double>>> Drive::readAll(
    bool strict, const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    const ss::ReadAllResult r = readEverything(stop, strict);
    const pm::ParameterModel& model = *m_data->model;
    std::vector<std::pair<std::string, std::optional<double>>> out;
    out.reserve(static_cast<size_t>(r.positions));
    for (int i = 0; i < r.positions; ++i)
        out.emplace_back(model.parameter(i).Pname, r.read[static_cast<size_t>(i)]);
    return out;
}

void Drive::writeKnown(const InterruptCheck& stop) {
    pm::ParameterModel& model = *m_data->model;
    ss::Sweeps sweeps(*m_link, model, m_data->messages);
    const ss::WriteAllResult r = sweeps.writeAll({}, [&](int, int) {
        if (stopAsked(stop))
            throw Interrupted{};
    });
    checkLink();
    if (!r.ran)
        fail(FailureKind::Refused, "nothing was written");
    if (r.linkLost)
        fail(FailureKind::Link, "the drive on " + m_options.port +
                                    " stopped answering; not written from " +
                                    model.parameter(r.stoppedAt).Pname + " on");
    if (r.unanswered > 0)
        fail(FailureKind::Link, std::to_string(r.unanswered) + " write(s) without an answer: " +
                                    joinedNames(model, r.failedPositions));
    if (r.refused > 0)
        fail(FailureKind::Refused, std::to_string(r.refused) + " write(s) refused: " +
                                       joinedNames(model, r.failedPositions));
    if (!r.skipped.empty())
        fail(FailureKind::Refused, "not written, as never read: " + joinedNames(model, r.skipped));
}

std::vector<std::string> Drive::writeAll(const std::map<std::string, double>& values,
                                         const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    pm::ParameterModel& model = *m_data->model;
    // Checked whole before the drive is touched.
    std::vector<std::pair<int, double>> checked;
    for (const auto& [name, value] : values) {
        const int at = position(name);
        const pm::TPar& p = model.parameter(at);
        if (!std::isfinite(value) || !pm::inDisplayRange(p, value))
            throw Failure(FailureKind::Refused,
                          pm::valueText(value) + " is outside the limits of " + name + " (" +
                              pm::valueText(pm::minDisplay(p)) + " .. " +
                              pm::valueText(pm::maxDisplay(p)) + "); nothing written",
                          0, {});
        if (p.pType == pm::kReadOnly)
            throw Failure(FailureKind::Refused, name + " is read only; nothing written", 0, {});
        checked.emplace_back(at, value);
    }
    // The parameters not given keep the drive's own values.
    (void)readEverything(stop, true);
    for (const auto& [at, value] : checked)
        model.setKnownValue(at, value);
    writeKnown(stop);
    std::vector<std::string> written;
    for (const auto& [at, value] : checked)
        written.push_back(model.parameter(at).Pname);
    return written;
}

void Drive::saveParams(const std::string& path, const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    (void)readEverything(stop, true);
    if (!pm::saveParameterFile(path, *m_data->model))
        throw Failure(FailureKind::Data, pm::fileFailureText(path, true, *m_data->model), 0, {});
}

std::vector<std::string> Drive::loadParams(const std::string& path, const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    pm::ParameterModel& model = *m_data->model;
    // The file is checked whole first: any bad line and nothing is written.
    pm::ParameterFileLoad load = pm::readParameterFile(path, model);
    if (!load.opened)
        throw Failure(FailureKind::Data, pm::fileFailureText(path, false, model), 0, {});
    if (load.faults() > 0) {
        std::string lines;
        for (const pm::ParameterFileIssue& issue : load.issues)
            if (issue.fault != pm::FileLineFault::UnknownName) {
                lines += '\n';
                lines += pm::issueText(issue, path, model);
            }
        throw Failure(FailureKind::Data,
                      path + ": " + std::to_string(load.faults()) + " bad line(s)" + lines, 0, {});
    }
    if (load.values.empty())
        throw Failure(FailureKind::Data, path + " holds no value of a parameter of the database", 0,
                      {});
    (void)readEverything(stop, true);
    pm::storeParameterFile(load, model);
    writeKnown(stop);
    std::vector<std::string> written;
    for (const pm::ParameterFileValue& v : load.values)
        written.push_back(model.parameter(v.position).Pname);
    return written;
}

std::vector<DiffRow> Drive::diff(const std::string& a, const std::string& b) {
    const auto lock = begin();
    pm::ParameterModel& model = *m_data->model;
    const std::array<std::string, 2> sides = {a, b};
    std::array<pm::ValueSource, 2> sources;
    for (size_t i = 0; i < 2; ++i) {
        if (sides[i] == kDriveSide)
            continue;
        pm::ParameterFileLoad load = pm::readParameterFile(sides[i], model);
        if (!load.opened)
            throw Failure(FailureKind::Data, pm::fileFailureText(sides[i], false, model), 0, {});
        if (load.faults() > 0)
            throw Failure(FailureKind::Data,
                          sides[i] + ": " + std::to_string(load.faults()) + " bad line(s)", 0, {});
        sources[i] = pm::fileSource(load, sides[i]);
    }
    for (size_t i = 0; i < 2; ++i) {
        if (sides[i] != kDriveSide)
            continue;
        requireConnected();
        const pm::ValueSource* other = sides[1 - i] == kDriveSide ? nullptr : &sources[1 - i];
        pm::ValueSource d;
        d.label = kDriveSide;
        std::vector<int> unanswered;
        for (int at = 0; at < ss::sweepLength(model); ++at) {
            const pm::TPar& p = model.parameter(at);
            // Read-only values (ratings, process values) are no part of a parameter set.
            if (!readable(p) || p.pType == pm::kReadOnly)
                continue;
            if (other && !other->values[static_cast<size_t>(at)])
                continue;
            if (!read(at)) {
                checkLink();
                unanswered.push_back(at);
                continue;
            }
            d.values[static_cast<size_t>(at)] = model.value(at);
        }
        if (!unanswered.empty())
            fail(FailureKind::Link, "no answer for " + joinedNames(model, unanswered));
        sources[i] = d;
    }
    const pm::Comparison c = zrd::formula::compareSets(model, sources[0], sources[1], true);
    std::vector<DiffRow> rows;
    for (const pm::ComparisonRow& row : c.rows) {
        if (!row.differs && !row.aOutside && !row.bOutside)
            continue;
        rows.push_back({row.mnemonic, row.a, row.b, row.defaultValue, row.minValue, row.maxValue,
                        row.unit, row.aOutside, row.bOutside, row.limitNote});
    }
    return rows;
}

std::vector<StatusWord> Drive::status() {
    const auto lock = begin();
    requireConnected();
    pm::ParameterModel& model = *m_data->model;
    ss::StatusPoll poll(*m_link, model, m_data->messages);
    struct Row {
        int word;
        int frame;
        int column;
        const char* label;
    };
    std::vector<StatusWord> out;
    for (const Row& row : {Row{240, 0, 0, "state"}, Row{241, 0, 1, "errors"},
                           Row{242, 0, 2, "warnings"}, Row{243, 1, 0, "application"},
                           Row{244, 1, 1, "inputs"}, Row{246, 1, 2, "appendix errors"}}) {
        if (!model.statusWordPosition(row.word))
            throw Failure(FailureKind::Data,
                          m_data->databasePath + " lacks status word " + std::to_string(row.word),
                          0, {});
        const auto value = poll.readWord(row.word);
        if (!value) {
            checkLink();
            fail(FailureKind::Link,
                 "no answer for status word " + std::to_string(row.word) + " on " + m_options.port);
        }
        const auto& table = row.frame == 0 ? model.stateBits() : model.applicationBits();
        StatusWord w{row.word, row.label, *value, {}};
        for (int b = 0; b < pm::kBitsPerWord; ++b) {
            if (((*value >> b) & 1) == 0)
                continue;
            const pm::Tstate& bit =
                table.at(static_cast<size_t>(row.column * pm::kBitsPerWord + b));
            const std::string key =
                bit.Pname.empty() ? std::to_string(row.word) + "." + std::to_string(b) : bit.Pname;
            w.bits.emplace_back(key, pm::description(bit, model.language()));
        }
        out.push_back(std::move(w));
    }
    return out;
}

ss::DriveControls Drive::controls() {
    // The buttons' state as the drive reports it, as zrdctl reads it before a service command.
    pm::ParameterModel& model = *m_data->model;
    const auto value = [&](std::string_view name) -> std::optional<double> {
        const auto at = model.find(name);
        if (!at || !read(*at))
            return std::nullopt;
        return model.value(*at);
    };
    ss::DriveControls c;
    ss::StatusPoll poll(*m_link, model, m_data->messages);
    const auto word = poll.readWord(pm::kStateBitWords[0]);
    if (!word) {
        checkLink();
        fail(FailureKind::Link, "no answer for the state word on " + m_options.port);
    }
    c.servoOn = (*word >> monitor::kBitServoOn) & 1;
    c.generatorRunning = (*word >> monitor::kBitGeneratorRunning) & 1;
    (void)value("ENMOD");
    if (const auto mode = value("OPMOD"))
        c.operatingMode = static_cast<int>(*mode);
    c.displayFactor =
        c.operatingMode == ss::kModeCurrent ? ss::kCurrentDisplayFactor : ss::kDefaultDisplayFactor;
    if (const auto source = value("INST"))
        c.internalSource = *source <= ss::kSourceInternal;
    return c;
}

namespace {

struct ServiceFailure {
    FailureKind kind;
    std::string text;
};

// Why a service command did not end as done; nullopt when it did.
std::optional<ServiceFailure> serviceFailure(ss::ServiceOutcome outcome, bool enmod,
                                             bool statusCame, const std::string& what,
                                             const std::string& device) {
    switch (outcome) {
        case ss::ServiceOutcome::Done:
            return std::nullopt;
        case ss::ServiceOutcome::NotRun:
            return ServiceFailure{FailureKind::Refused, what + ": nothing was sent"};
        case ss::ServiceOutcome::Refused:
            return ServiceFailure{FailureKind::Refused,
                                  what + ": refused" +
                                      (enmod ? " (\"ENMOD\" is 0: the PC may not switch the servo)"
                                       : statusCame ? " by the drive"
                                                    : "")};
        case ss::ServiceOutcome::NotWritten:
            return ServiceFailure{FailureKind::Link,
                                  what + ": the command could not be written to " + device};
        case ss::ServiceOutcome::NoAnswer:
            return ServiceFailure{FailureKind::Link,
                                  what + ": no answer from the drive on " + device};
        case ss::ServiceOutcome::Foreign:
            return ServiceFailure{FailureKind::Link,
                                  what +
                                      ": the drive answered with neither acknowledgement nor "
                                      "refusal"};
        case ss::ServiceOutcome::HungUp:
            return ServiceFailure{FailureKind::Link,
                                  what + ": the link to the drive on " + device + " was lost"};
    }
    return ServiceFailure{FailureKind::Link, what + ": failed"};
}

}  // namespace

void Drive::eepromSave(const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    (void)readEverything(stop, true);
    ss::ServiceCommands svc(*m_link, *m_access, *m_data->model, m_data->messages);
    const ss::ServiceResult r = svc.storeInEeprom();
    checkLink();
    if (const auto f = serviceFailure(r.outcome, r.enmodRefused, r.status.has_value(),
                                      "eeprom save", m_options.port))
        fail(f->kind, f->text);
    if (r.writeAll && !r.ok())
        fail(FailureKind::Refused,
             "eeprom save: stored, but not every parameter was written first");
}

void Drive::reset(bool force) {
    const auto lock = begin();
    requireConnected();
    ss::ServiceCommands svc(*m_link, *m_access, *m_data->model, m_data->messages);
    ss::DriveControls controls = this->controls();
    const ss::ServiceResult r =
        svc.reset(controls, force ? ss::ResetKind::Forced : ss::ResetKind::Checked);
    checkLink();
    if (r.outcome == ss::ServiceOutcome::Refused)
        fail(FailureKind::Refused,
             "reset: the servo is on; switch it off first or give force=True");
    if (const auto f = serviceFailure(r.outcome, r.enmodRefused, r.status.has_value(), "reset",
                                      m_options.port))
        fail(f->kind, f->text);
    if (r.readAllDueMs >= 0) {
        // The drive starts again before it answers; its restart takes this long.
        std::this_thread::sleep_for(std::chrono::milliseconds(r.readAllDueMs));
        svc.abandonReset();
        if (const auto hver = m_data->model->knownPosition(pm::KnownParameter::HVER);
            hver && !read(*hver)) {
            checkLink();
            fail(FailureKind::Link, "reset: the drive does not answer after the reset");
        }
    }
}

void Drive::servo(bool on) {
    const auto lock = begin();
    requireConnected();
    ss::ServiceCommands svc(*m_link, *m_access, *m_data->model, m_data->messages);
    ss::DriveControls controls = this->controls();
    const ss::ServiceResult r = on ? svc.servoOn(controls) : svc.servoOff(controls);
    checkLink();
    if (const auto f = serviceFailure(r.outcome, r.enmodRefused, r.status.has_value(),
                                      on ? "servo on" : "servo off", m_options.port))
        fail(f->kind, f->text);
}

void Drive::mode(const std::string& name) {
    const auto lock = begin();
    requireConnected();
    const std::array<std::string, 3> modes = {"current", "speed", "position"};
    const auto it = std::find(modes.begin(), modes.end(), name);
    if (it == modes.end())
        throw Failure(FailureKind::Data,
                      "mode must be current, speed or position, not \"" + name + "\"", 0, {});
    (void)position("OPMOD");
    ss::ServiceCommands svc(*m_link, *m_access, *m_data->model, m_data->messages);
    ss::DriveControls controls = this->controls();
    const int mode = static_cast<int>(it - modes.begin()) + ss::kModeCurrent;
    const ss::ControlResult r = svc.selectOperatingMode(controls, mode);
    checkLink();
    if (r.outcome == ss::ServiceOutcome::NotRun && !r.undone)
        return;
    if (const auto f =
            serviceFailure(r.outcome, false, r.verdict != 0, "mode " + name, m_options.port))
        fail(f->kind, f->text);
}

void Drive::source(const std::string& name) {
    const auto lock = begin();
    requireConnected();
    if (name != "internal" && name != "external")
        throw Failure(FailureKind::Data,
                      "source must be internal or external, not \"" + name + "\"", 0, {});
    (void)position("INST");
    ss::ServiceCommands svc(*m_link, *m_access, *m_data->model, m_data->messages);
    ss::DriveControls controls = this->controls();
    const ss::ControlResult r = svc.selectCommandSource(
        controls, name == "internal" ? ss::ServiceCommands::Source::Internal
                                     : ss::ServiceCommands::Source::External);
    checkLink();
    if (r.outcome == ss::ServiceOutcome::NotRun && !r.undone)
        return;
    if (const auto f = serviceFailure(r.outcome, r.commands.enmodRefused, r.verdict != 0,
                                      "source " + name, m_options.port))
        fail(f->kind, f->text);
}

// ---- Function generator

namespace {

void generatorOutcome(tn::CommandOutcome outcome, const std::string& what,
                      const std::function<void(FailureKind, const std::string&)>& fail,
                      const std::string& device) {
    switch (outcome) {
        case tn::CommandOutcome::Accepted:
            return;
        case tn::CommandOutcome::NotWritten:
            fail(FailureKind::Link, what + " could not be sent on " + device);
            return;
        case tn::CommandOutcome::NoAnswer:
            fail(FailureKind::Link, "no answer to " + what + " on " + device);
            return;
        case tn::CommandOutcome::Refused:
            fail(FailureKind::Refused, "the drive refused " + what);
            return;
        case tn::CommandOutcome::Busy:
            fail(FailureKind::Refused, "the link is busy");
            return;
        case tn::CommandOutcome::HungUp:
            fail(FailureKind::Link, "the link to the drive on " + device + " was lost");
            return;
    }
}

}  // namespace

std::vector<std::pair<std::string, double>> Drive::fg(const WaveRequest& wave) {
    const auto lock = begin();
    requireConnected();
    tn::WaveFields fields;
    if (wave.type == "const")
        fields.type = tn::WaveType::Constant;
    else if (wave.type == "square")
        fields.type = tn::WaveType::Square;
    else if (wave.type == "sine")
        fields.type = tn::WaveType::Sine;
    else if (wave.type == "chirp")
        fields.type = tn::WaveType::Chirp;
    else
        throw Failure(FailureKind::Data,
                      "type must be const, square, sine or chirp, not \"" + wave.type + "\"", 0,
                      {});
    // Unset time fields take the window's presets: period 2 and width 0, for the chirp 0 and 2.
    const bool chirp = fields.type == tn::WaveType::Chirp;
    fields.amplitude = pm::valueText(wave.amplitude);
    fields.offset = pm::valueText(wave.offset);
    fields.period = pm::valueText(wave.period.value_or(chirp ? 0 : 2));
    fields.width = pm::valueText(wave.width.value_or(chirp ? 2 : 0));
    fields.repeat = std::to_string(wave.repeat);
    if (wave.amplitudeUnit != "rev-min" && wave.amplitudeUnit != "counts-s")
        throw Failure(FailureKind::Data, "amp_unit must be rev-min or counts-s", 0, {});
    fields.units.amplitude = wave.amplitudeUnit == "rev-min" ? 0 : 1;
    const std::array<std::string, 3> times = {"ms", "s", "min"};
    const auto time = std::find(times.begin(), times.end(), wave.timeUnit);
    if (time == times.end())
        throw Failure(FailureKind::Data, "time_unit must be ms, s or min", 0, {});
    fields.units.time = static_cast<int>(time - times.begin());

    tn::GeneratorMode mode;
    mode.operatingMode = static_cast<int>(std::lround(readValue("OPMOD")));
    mode.commandSourceFlag = std::lround(readValue("INST")) == 0;
    const auto planned = tn::planWave(fields, mode);
    if (const auto* refusal = std::get_if<tn::WaveRefusal>(&planned)) {
        if (!refusal->badField.empty())
            throw Failure(FailureKind::Data, refusal->badField + " is not a number", 0, {});
        m_data->messages.show(m_ui, refusal->message, m_data->model->language());
        fail(FailureKind::Refused,
             refusal->correctedAmplitude
                 ? "the amplitude would be " + *refusal->correctedAmplitude + "; nothing written"
                 : std::string("nothing written"));
    }
    const auto& plan = std::get<tn::WavePlan>(planned);
    std::vector<std::string> failed;
    const tn::CommandOutcome outcome =
        tn::writeWave(*m_link, *m_access, *m_data->model, m_data->messages, plan, &failed);
    checkLink();
    if (!failed.empty()) {
        std::string names;
        for (const std::string& n : failed)
            names += (names.empty() ? "" : ", ") + n;
        fail(FailureKind::Refused, "not written: " + names);
    }
    generatorOutcome(
        outcome, "the chirp command", [&](FailureKind k, const std::string& t) { fail(k, t); },
        m_options.port);
    std::vector<std::pair<std::string, double>> written;
    for (const tn::WaveWrite& w : plan.writes)
        written.emplace_back(w.mnemonic, w.value);
    return written;
}

void Drive::requireGeneratorMayStart() {
    const int source = static_cast<int>(std::lround(readValue("INST")));
    ss::StatusPoll poll(*m_link, *m_data->model, m_data->messages);
    const auto state = poll.readWord(pm::kStateBitWords[0]);
    if (!state) {
        checkLink();
        fail(FailureKind::Link, "no answer for the state word on " + m_options.port);
    }
    const bool servoOn = (*state >> monitor::kBitServoOn) & 1;
    const bool internal = source != ss::kSourceExternalPosition && source != ss::kSourceExternal;
    if (const auto message = tn::generatorStartRefusal(servoOn, internal)) {
        m_data->messages.show(m_ui, *message, m_data->model->language());
        fail(FailureKind::Refused,
             servoOn ? "the command source is not internal" : "the servo is off");
    }
}

void Drive::fgStart() {
    const auto lock = begin();
    requireConnected();
    requireGeneratorMayStart();
    generatorOutcome(
        tn::startGenerator(*m_link, *m_data->model, m_data->messages), "the generator's start",
        [&](FailureKind k, const std::string& t) { fail(k, t); }, m_options.port);
}

void Drive::fgStop() {
    const auto lock = begin();
    requireConnected();
    generatorOutcome(
        tn::stopGenerator(*m_link, *m_data->model, m_data->messages), "the generator's stop",
        [&](FailureKind k, const std::string& t) { fail(k, t); }, m_options.port);
}

// ---- Oscilloscope

int Drive::signalOf(const std::string& text) const {
    const std::optional<int> signal = sc::findScopeSignal(*m_data->model, text);
    if (!signal)
        throw Failure(FailureKind::Data,
                      "\"" + text + "\" is no scope signal (0 for none, 1.." +
                          std::to_string(m_data->model->scopeSignalCount() - 1) + " or a mnemonic)",
                      0, {});
    return *signal;
}

void Drive::setScope(const char* mnemonic, int value, bool always) {
    if (sc::writeScopeParameter(*m_link, *m_access, *m_data->model, mnemonic, value,
                                always ? sc::WriteRule::Always : sc::WriteRule::IfChanged))
        return;
    checkLink();
    fail(FailureKind::Refused, "the drive on " + m_options.port + " did not take " + mnemonic +
                                   " = " + std::to_string(value));
}

std::unique_ptr<Recording> Drive::scopeOnline(const std::array<std::string, 2>& signals, int rateHz,
                                              int samples, const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    std::optional<int> code;
    for (const sc::Rate& r : sc::kRates)
        if (static_cast<int>(r.frequency) == rateHz)
            code = r.code;
    if (!code)
        throw Failure(FailureKind::Data,
                      "rate must be 1000, 500, 250 or 125 Hz, not " + std::to_string(rateHz), 0,
                      {});
    if (samples < 1 || samples > sc::kRecordCount)
        throw Failure(FailureKind::Data,
                      "samples must lie within 1.." + std::to_string(sc::kRecordCount), 0, {});
    for (const char* name : {"OSCMOD", "MDFRQ", "MDTYP1", "MDTYP2"})
        (void)position(name);
    pm::ParameterModel& model = *m_data->model;
    auto rec = std::make_unique<Recording>();
    sc::Oscillogram& osc = *rec->oscillogram;
    osc.rateCode = *code;
    osc.channel(1) = sc::channelOfSignal(model, signalOf(signals[0]));
    osc.channel(2) = sc::channelOfSignal(model, signalOf(signals[1]));
    setScope("OSCMOD", 1, false);
    setScope("MDFRQ", *code, false);
    setScope("MDTYP1", osc.channel(1).signal, true);
    setScope("MDTYP2", osc.channel(2).signal, true);

    sc::OnlineCapture capture(*m_link, osc, model, m_data->messages);
    capture.setSampleLimit(samples);
    osc.header.startStamp = stampNow();
    if (!capture.start(kCpuSpeedClass, Clock::now())) {
        checkLink();
        fail(FailureKind::Link,
             "the start frame could not be sent to the drive on " + m_options.port);
    }
    bool interrupted = false;
    const bool waited = sc::runCapture(capture, *m_port, [&] {
        if (capture.running() && stopAsked(stop)) {
            interrupted = true;
            capture.stop();
        }
    });
    osc.header.stopStamp = stampNow();
    if (!waited)
        fail(FailureKind::Link,
             "waiting for the drive on " + m_options.port + " failed: " + m_port->lastError());
    if (interrupted)
        throw Interrupted{};
    const sc::CaptureEnd end = capture.end();
    checkLink();
    if (end == sc::CaptureEnd::Refused)
        fail(FailureKind::Refused, "the drive on " + m_options.port + " refused to stream");
    if (end == sc::CaptureEnd::WriteFailed)
        fail(FailureKind::Link,
             "the stop frame could not be sent to the drive on " + m_options.port);
    if (end == sc::CaptureEnd::Silent) {
        // Told in case it only paused; the capture is short of its samples either way.
        (void)m_link->sendCommand(lk::kCmdScope, 0, 0, 0);
        fail(FailureKind::Link, "the drive on " + m_options.port + " fell silent after " +
                                    std::to_string(capture.samples()) + " of " +
                                    std::to_string(samples) + " samples");
    }
    rec->samples = capture.samples();
    rec->model = std::make_unique<pm::ParameterModel>(model);
    return rec;
}

std::unique_ptr<Recording> Drive::scopeOffline(const OfflineRequest& request,
                                               const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    pm::ParameterModel& model = *m_data->model;
    sc::OfflineSetup setup;
    if (request.tick < 0 || request.tick >= sc::kOfflineTickCodes)
        throw Failure(FailureKind::Data, "tick must lie within 0..9", 0, {});
    setup.tickCode = request.tick;
    setup.trigger = triggerOf(request.trigger);
    if (request.source < 1 || request.source > sc::kChannelCount)
        throw Failure(FailureKind::Data, "source must lie within 1..4", 0, {});
    setup.source = request.source;
    if (!sc::levelInRange(request.level))
        throw Failure(FailureKind::Data, "level must lie within -30000..30000", 0, {});
    setup.typedLevel = request.level;
    if (request.pre < 0 || request.pre > sc::kLastTriggerPosition)
        throw Failure(FailureKind::Data, "pre must lie within 0..2047", 0, {});
    setup.position = request.pre;
    for (const char* name : {"OSCMOD", "RCFREQ", "CH1SEL", "CH2SEL", "CH3SEL", "CH4SEL", "TRGTYP",
                             "TRGSRC", "TRGLEV", "TRGPOS"})
        (void)position(name);
    for (size_t c = 0; c < request.signals.size(); ++c)
        setup.channelSignals.at(c) = signalOf(request.signals.at(c));
    const double record = sc::recordSeconds(setup.tickCode);
    const double waitS = request.waitS.value_or(
        record + (setup.trigger == sc::TriggerType::FullBuffer ? kFullBufferWaitS : kEventWaitS));

    auto rec = std::make_unique<Recording>();
    sc::Oscillogram& osc = *rec->oscillogram;
    std::string failed;
    if (!sc::writeOfflineSetup(*m_link, *m_access, model, osc, setup, failed)) {
        checkLink();
        fail(FailureKind::Refused, "the drive on " + m_options.port + " did not take " + failed);
    }
    sc::OfflineCapture capture(*m_link, osc, model, m_data->messages);
    osc.header.startStamp = stampNow();
    if (!capture.start({setup.trigger, false}, Clock::now())) {
        checkLink();
        fail(FailureKind::Link,
             "the start frame could not be sent to the drive on " + m_options.port);
    }
    const auto giveUpAt =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(waitS > 0 ? waitS : 1e9));
    bool generatorStarted = false;
    bool generatorRefused = false;
    bool interrupted = false;
    const auto afterWake = [&] {
        // Once armed and acknowledged the capture holds the link: the generator's start goes out
        // under its hold, as the window's "Start FG" does while a record waits.
        if (request.startFg && !generatorStarted && capture.phase() == sc::OfflinePhase::Armed &&
            capture.startAcknowledged()) {
            generatorStarted = true;
            if (tn::startGenerator(*m_link, model, m_data->messages, true) !=
                tn::CommandOutcome::Accepted) {
                generatorRefused = true;
                capture.cancel();
                return;
            }
        }
        if (!capture.listening())
            return;
        if (stopAsked(stop)) {
            interrupted = true;
            capture.cancel();
            return;
        }
        if (capture.phase() == sc::OfflinePhase::Armed && Clock::now() >= giveUpAt)
            capture.cancel();
    };
    const auto stopGenerator = [&] {
        if (generatorStarted && !m_link->state().hungUp)
            (void)tn::stopGenerator(*m_link, model, m_data->messages);
    };
    const auto run = [&] {
        if (!sc::runOfflineCapture(capture, *m_port, afterWake)) {
            stopGenerator();
            fail(FailureKind::Link,
                 "waiting for the drive on " + m_options.port + " failed: " + m_port->lastError());
        }
    };
    run();
    if (!interrupted && setup.trigger == sc::TriggerType::None &&
        capture.phase() == sc::OfflinePhase::Recording) {
        try {
            waitFor(
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(record)) +
                    kRecordSlack,
                stop);
        } catch (const Interrupted&) {
            // The drive records on its own meanwhile; the stop collects nothing.
            capture.cancel();
            throw;
        }
        if (!capture.stop(Clock::now())) {
            checkLink();
            fail(FailureKind::Link,
                 "the stop frame could not be sent to the drive on " + m_options.port);
        }
        run();
    }
    osc.header.stopStamp = stampNow();
    stopGenerator();
    if (interrupted)
        throw Interrupted{};
    checkLink();
    if (generatorRefused)
        fail(FailureKind::Refused,
             "the drive on " + m_options.port + " did not start the function generator");
    switch (capture.end()) {
        case sc::OfflineEnd::Complete:
            break;
        case sc::OfflineEnd::Refused:
            fail(FailureKind::Refused,
                 "the drive on " + m_options.port + " refused the offline record");
        case sc::OfflineEnd::Busy:
            fail(FailureKind::Refused, "the drive on " + m_options.port + " stayed busy");
        case sc::OfflineEnd::Cancelled:
            fail(FailureKind::Link, "no record from the drive on " + m_options.port + " within " +
                                        std::to_string(static_cast<int>(std::ceil(waitS))) + " s");
        case sc::OfflineEnd::WriteFailed:
            fail(FailureKind::Link, "a frame could not be sent to the drive on " + m_options.port);
        default:
            fail(FailureKind::Link, "the record from the drive on " + m_options.port +
                                        " is incomplete (" + std::to_string(capture.records()) +
                                        " records)");
    }
    rec->samples = sc::kOfflineSamples;
    rec->model = std::make_unique<pm::ParameterModel>(model);
    return rec;
}

// ---- Tuner

std::string Drive::tune(const TuneRequest& request, const InterruptCheck& stop) {
    const auto lock = begin();
    requireConnected();
    tn::TuneSettings settings;
    settings.targets.crossoverHz = request.bandwidthHz;
    settings.targets.phaseMarginDeg = request.phaseMarginDeg;
    settings.targets.gainMarginDb = request.gainMarginDb;
    settings.maxAmplitudeRpm = request.maxAmplitudeRpm;
    settings.fromHz = request.fromHz;
    settings.toHz = request.toHz;
    settings.maxFilters = request.maxFilters;
    settings.apply = request.apply;
    settings.save = request.save;
    const auto refuse = [](const std::string& why) {
        throw Failure(FailureKind::Data, why, 0, {});
    };
    // The bounds zrdctl tune takes.
    if (request.bandwidthHz && !(*request.bandwidthHz > 0.0))
        refuse("bandwidth must be above 0 Hz or None");
    if (!(settings.fromHz > 0.0 && settings.fromHz < settings.toHz && settings.toHz <= 2000.0))
        refuse("fmin and fmax must satisfy 0 < fmin < fmax <= 2000 Hz");
    if (!(settings.maxAmplitudeRpm >= 2.0))
        refuse("amp must be at least 2 rpm");
    if (!(settings.targets.phaseMarginDeg > 0.0 && settings.targets.phaseMarginDeg < 90.0))
        refuse("phase_margin must lie between 0 and 90 degrees");
    if (!(settings.targets.gainMarginDb > 0.0))
        refuse("gain_margin must be above 0 dB");
    if (settings.maxFilters < 0 || settings.maxFilters > tn::kFilterSlots)
        refuse("filters must lie within 0..4");
    if (settings.save && !settings.apply)
        refuse("save stores an applied proposal: give apply=True too");

    pm::TypeTables tables;
    const std::filesystem::path folder(m_data->folder);
    (void)tables.load((folder / pm::kMotorTypeFileName).string(),
                      (folder / pm::kDriveTypeFileName).string(), m_data->messages, m_ui,
                      m_data->model->language());
    m_ui.clear();
    tn::SpeedLoopTuner tuner(*m_link, *m_access, *m_data->model, m_data->messages, tables);
    bool interrupted = false;
    bool waited = true;
    if (tuner.start(settings, Clock::now()))
        waited = tn::runTune(tuner, *m_port, [&] {
            if (!interrupted && stopAsked(stop)) {
                interrupted = true;
                tuner.cancel();
            }
        });
    if (!waited)
        fail(FailureKind::Link,
             "waiting for the drive on " + m_options.port + " failed: " + m_port->lastError());
    if (interrupted)
        throw Interrupted{};
    const tn::TuneOutcome& outcome = tuner.outcome();
    if (outcome.failure == tn::TuneFailure::None)
        return tn::tuneResultJson(tuner.result());
    checkLink();
    const bool linkFailed = outcome.failure == tn::TuneFailure::NoAnswer ||
                            outcome.failure == tn::TuneFailure::LinkLost ||
                            (outcome.failure == tn::TuneFailure::RecordIncomplete &&
                             (outcome.recordEnd == sc::OfflineEnd::Silent ||
                              outcome.recordEnd == sc::OfflineEnd::HungUp ||
                              outcome.recordEnd == sc::OfflineEnd::Cancelled));
    fail(linkFailed ? FailureKind::Link : FailureKind::Refused, tn::tuneFailureText(outcome));
}

}  // namespace zrd::python
