#pragma once

// Reading every parameter from the drive (read-all) and writing every writable one (write-all).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "params/message_numbers.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::session {

// Attempts at one position before it is given up with message 26.
inline constexpr int kReadAttempts = 50;
// "IWL" follows "MPI" by this factor when "IFL" reads 0.
inline constexpr double kWarningLimitFactor = 0.9;

struct ReadAllResult {
    bool ran = false;  // false: link busy or no drive connected
    int positions = 0;
    // The display value read for each position (also for parameters without a row, which
    // read-all does not store in the value table); nullopt where the drive never answered.
    std::vector<std::optional<double>> read;
    std::vector<int> gaveUp;  // positions given up after the attempts ran out
    int attempts = 0;         // read exchanges in all
    bool motorChanged = false;
    bool driveChanged = false;
    bool currentLimitsFollowedMpi = false;
    int formulaPasses = 0;
};

struct WriteAllResult {
    bool ran = false;
    int written = 0;
    int refused = 0;                   // no "P" verdict
    std::vector<int> failedPositions;  // those positions
};

// Progress of a sweep: position done, positions in the table.
using SweepProgress = std::function<void(int done, int total)>;
// Told of each write of write-all: the position, the drive's verdict and the action text of
// its log entry (the front end adds date and time).
using WriteReport = std::function<void(int position, bool accepted, const std::string& action)>;

// The two sweeps over the parameter table. The front end stops and restarts its timers around
// them and shows what changed (rows, buttons, marks); the sweeps keep the link-busy flag.
class Sweeps {
public:
    Sweeps(link::DriveLink& link, params::ParameterModel& model,
           const params::MessageTable& messages)
        : m_link(link), m_model(model), m_messages(messages) {}

    // Reads positions 0.. up to the first free one, retrying each until it answers or the
    // attempts run out (message 26 with the mnemonic); out-of-range raws become trunc(DefValue).
    // Afterwards: the IFL/IWL/MPI rule, the previous-value copy, the formula passes after a
    // motor or drive type change, value origin 1 and parameter-set state "RAM".
    ReadAllResult ReadParamAll(const SweepProgress& progress = {});

    // Writes every parameter whose `pType` is not "R", logging each verdict; no retries.
    WriteAllResult writeAll(const WriteReport& report, const SweepProgress& progress = {});

private:
    std::optional<uint16_t> readRaw(const params::TPar& p);

    link::DriveLink& m_link;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
};

// Number of positions the sweeps walk: up to the first free one.
int sweepLength(const params::ParameterModel& model);

// trunc(value of position 0) × 65536 + trunc(value of position 1).
long long serialNumber(const params::ParameterModel& model);

}  // namespace zrd::session
