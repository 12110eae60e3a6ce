#pragma once

// The drive as the Python module sees it: one connected session over the core, whose
// operations either return their outcome or throw a Failure naming the program's message.
// Nothing here knows Python; the bindings (module.cpp) translate.

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "link/serial_port.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"
#include "session/service_commands.h"
#include "session/sweeps.h"
#include "tuning/speed_loop_tuner.h"

namespace zrd::python {

// Which of the module's exceptions a failure becomes.
enum class FailureKind {
    Link,     // no answer, a hang-up, a port that does not open
    Refused,  // the drive, or the limits, refused
    Data,     // a bad file, an unknown mnemonic, a value that is no parameter's
};

// An expected failure: the reason, and the numbered message the core showed for it (0: none).
struct Failure : std::runtime_error {
    Failure(FailureKind kind, const std::string& text, int number, std::string messageText)
        : std::runtime_error(text),
          kind(kind),
          number(number),
          messageText(std::move(messageText)) {}
    FailureKind kind;
    int number;
    std::string messageText;
};

// The caller asked to stop (Ctrl-C): the exchange was ended cleanly first.
struct Interrupted {};

// Asked between the steps of a long exchange; true ends it.
using InterruptCheck = std::function<bool()>;

// The core's messages are kept for the failure that follows them, not shown.
class KeptMessages : public UserInterface {
public:
    void showMessage(const std::string& caption, const std::string& text) override;
    void processEvents() override {}
    void linkLost(const std::string& reason) override { m_lost = reason; }

    void clear() { m_last.reset(); }
    [[nodiscard]] const std::optional<std::string>& last() const { return m_last; }
    [[nodiscard]] const std::string& lostReason() const { return m_lost; }

private:
    std::optional<std::string> m_last;
    std::string m_lost;
};

// The data set and its tables, loaded once per connection (or once for a file's recording).
struct DataSet {
    std::string folder;
    std::string databasePath;
    params::MessageTable messages;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
};

// The data folder: the one given, else TORVANTA_DATA, else the one found from the folder of the
// programs that came with the module.
std::string dataFolderFor(const std::string& given, const std::string& programFolder);
// Loads mess.dic and Param_base.mod of the folder; a missing or broken database is a Failure.
std::unique_ptr<DataSet> loadDataSet(const std::string& folder, const std::string& language);

// A capture: the oscillogram and the parameter values that a .dat file keeps beside it.
struct Recording {
    std::unique_ptr<scope::Oscillogram> oscillogram = std::make_unique<scope::Oscillogram>();
    std::unique_ptr<params::ParameterModel> model;  // null: saved without parameter names
    int samples = 0;

    // Channels 1..4 that hold a signal.
    [[nodiscard]] std::vector<int> usedChannels() const;
    void save(const std::string& path) const;
    // Reads a .dat file whole; the data set names its parameter block (may be null).
    static std::unique_ptr<Recording> load(const std::string& path, const DataSet* data);
};

struct ConnectOptions {
    std::string port;
    int baud = link::kDefaultBaudRate;
    bool fast = false;
    int timeoutMs = link::kDefaultPortTimeOutMs;
    std::string dataFolder;
    std::string language;  // empty: the database's setting
};

struct ParameterInfo {
    std::string name;
    std::string description;
    std::string unit;
    std::string access;
    double minimum = 0;
    double maximum = 0;
    double defaultValue = 0;
};

struct DiffRow {
    std::string name;
    std::optional<double> a;
    std::optional<double> b;
    double defaultValue = 0;
    double minimum = 0;
    double maximum = 0;
    std::string unit;
    bool aOutside = false;
    bool bOutside = false;
    std::string limitNote;
};

struct StatusWord {
    int word = 0;
    std::string label;
    uint16_t value = 0;
    // Set bits: mnemonic (or "word.bit" for an unnamed one) and description.
    std::vector<std::pair<std::string, std::string>> bits;
};

struct WaveRequest {
    std::string type;  // const, square, sine, chirp
    double amplitude = 0;
    double offset = 0;
    std::optional<double> period;
    std::optional<double> width;
    int repeat = 0;
    std::string amplitudeUnit = "rev-min";
    std::string timeUnit = "ms";
};

struct OfflineRequest {
    std::array<std::string, scope::kChannelCount> signals;  // "0" for none
    int tick = 0;
    std::string trigger = "none";
    int source = 1;
    double level = 0;
    int pre = 0;
    std::optional<double> waitS;  // nullopt: the record time and a margin; 0: unbounded
    bool startFg = false;
};

struct TuneRequest {
    std::optional<double> bandwidthHz;  // nullopt: the highest crossover the margins allow
    double phaseMarginDeg = tuning::kDefaultPhaseMarginDeg;
    double gainMarginDb = tuning::kDefaultGainMarginDb;
    double maxAmplitudeRpm = tuning::kDefaultTuneAmplitudeRpm;
    double fromHz = tuning::kDefaultTuneFromHz;
    double toHz = tuning::kDefaultTuneToHz;
    int maxFilters = tuning::kDefaultTuneFilters;
    bool apply = false;
    bool save = false;
};

class Drive {
public:
    // Loads the data set and connects as the program does (port, preamble, "HVER").
    explicit Drive(const ConnectOptions& options);
    ~Drive();
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    void close();
    [[nodiscard]] bool connected() const;
    [[nodiscard]] const std::string& port() const { return m_options.port; }
    [[nodiscard]] std::string language() const;
    [[nodiscard]] std::vector<std::string> names() const;
    [[nodiscard]] ParameterInfo info(const std::string& name) const;

    double get(const std::string& name);
    // Writes one value (checked against the limits first) and returns the value that stands.
    double set(const std::string& name, double value);
    // Every parameter in table order; nullopt for one never read or not answered. `strict`: a
    // parameter given up after its attempts is a Failure.
    std::vector<std::pair<std::string, std::optional<double>>> readAll(bool strict,
                                                                       const InterruptCheck& stop);
    // Writes the given values with the drive's own for the rest (read first); the names written.
    std::vector<std::string> writeAll(const std::map<std::string, double>& values,
                                      const InterruptCheck& stop);
    void saveParams(const std::string& path, const InterruptCheck& stop);
    std::vector<std::string> loadParams(const std::string& path, const InterruptCheck& stop);
    // Each side "drive" or a parameter file; the rows that differ or lie outside the limits.
    std::vector<DiffRow> diff(const std::string& a, const std::string& b);
    std::vector<StatusWord> status();

    void eepromSave(const InterruptCheck& stop);
    void reset(bool force);
    void servo(bool on);
    void mode(const std::string& mode);
    void source(const std::string& source);

    std::vector<std::pair<std::string, double>> fg(const WaveRequest& wave);
    void fgStart();
    void fgStop();

    std::unique_ptr<Recording> scopeOnline(const std::array<std::string, 2>& signals, int rateHz,
                                           int samples, const InterruptCheck& stop);
    std::unique_ptr<Recording> scopeOffline(const OfflineRequest& request,
                                            const InterruptCheck& stop);

    // The speed loop tuned from the measured plant, as zrdctl tune runs it: the result as the
    // JSON object that zrdctl tune --json prints. A stop puts back what the run changed.
    std::string tune(const TuneRequest& request, const InterruptCheck& stop);

private:
    // One operation at a time: Python threads may call in while the interpreter is released.
    std::unique_lock<std::mutex> begin();
    [[noreturn]] void fail(FailureKind kind, const std::string& text) const;
    void requireConnected() const;
    void checkLink() const;
    [[nodiscard]] int position(const std::string& name) const;
    bool read(int position);
    double readValue(const std::string& name);
    session::ReadAllResult readEverything(const InterruptCheck& stop, bool strict);
    session::DriveControls controls();
    void writeKnown(const InterruptCheck& stop);
    void setScope(const char* mnemonic, int value, bool always);
    int signalOf(const std::string& text) const;
    void requireGeneratorMayStart();

    ConnectOptions m_options;
    mutable std::mutex m_mutex;
    KeptMessages m_ui;
    std::unique_ptr<DataSet> m_data;
    std::unique_ptr<link::SerialPort> m_port;
    std::unique_ptr<link::DriveLink> m_link;
    std::unique_ptr<session::ParameterAccess> m_access;
};

// The numbered message whose text a shown body begins with; 0 for none.
int messageNumberOf(const params::MessageTable& messages, const std::string& body,
                    std::string_view language);

}  // namespace zrd::python
