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
// Parameters in a row without any answer (read-all) or writes in a row without any answer
// (write-all) after which the drive counts as gone and the sweep stops.
inline constexpr int kSilentInARowLinkDead = 3;
// "IWL" follows "MPI" by this factor when "IFL" reads 0.
inline constexpr double kWarningLimitFactor = 0.9;

struct ReadAllResult {
    bool ran = false;  // false: link busy or no drive connected
    int positions = 0;
    // The display value read for each position (also for parameters without a row, which
    // read-all does not store in the value table); nullopt where the drive never answered.
    std::vector<std::optional<double>> read;
    std::vector<int> gaveUp;  // positions given up after the attempts ran out, the sweep going on
    int attempts = 0;         // read exchanges in all
    // The link died (the port hung up, or the drive went silent): the sweep stopped at
    // `stoppedAt`, the first position not read; what was read before it is kept.
    bool linkLost = false;
    int stoppedAt = -1;
    // The motor or drive type read differs from the one the formula limits stand for.
    bool motorChanged = false;
    bool driveChanged = false;
    bool currentLimitsFollowedMpi = false;
    int formulaPasses = 0;
};

// One write of write-all and the drive's verdict: "P", "Q", or 0 when nothing came.
struct WriteRecord {
    int position = 0;
    uint8_t verdict = 0;
};

struct WriteAllResult {
    bool ran = false;                  // false: no drive connected, or no value known at all
    bool nothingKnown = false;         // refused as not one value is known (message 53)
    int written = 0;                   // writes sent
    int refused = 0;                   // "Q" verdicts
    int unanswered = 0;                // writes without any answer
    std::vector<int> failedPositions;  // refused or unanswered
    std::vector<WriteRecord> writes;   // every write in order
    // Writable parameters left out as their values are not known (message 90 names them).
    std::vector<int> skipped;
    // The link died: the sweep stopped at `stoppedAt`, the first position not written.
    bool linkLost = false;
    int stoppedAt = -1;
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
    // `readAttempts`: retries of one position before it is given up.
    Sweeps(link::DriveLink& link, params::ParameterModel& model,
           const params::MessageTable& messages, int readAttempts = kReadAttempts)
        : m_link(link), m_model(model), m_messages(messages), m_readAttempts(readAttempts) {}

    // Reads positions 0.. up to the first free one, retrying each until it answers or the
    // attempts run out (message 26 with the mnemonic); out-of-range raws become trunc(DefValue).
    // Values with a page row are stored and known from then on. When the port hangs up, or
    // three parameters in a row get no answer, the sweep stops with one message (message 92;
    // none after a hang-up, which the link reports) and keeps what it read. Afterwards: the
    // IFL/IWL/MPI rule, the previous-value copy, the formula passes when the drive reports
    // another motor or drive type than the limits stand for (not after a stop), value origin 1
    // and parameter-set state "RAM".
    ReadAllResult ReadParamAll(const SweepProgress& progress = {});

    // Writes every parameter whose `pType` is not "R" and whose value is known, logging each
    // verdict ("P", "Q" or none); no retries. The others are named in one message (90). With
    // not one value known nothing is written (message 53). Stops when the port hangs up or
    // three writes in a row get no answer (message 91).
    WriteAllResult writeAll(const WriteReport& report, const SweepProgress& progress = {});

private:
    std::optional<uint16_t> readRaw(const params::TPar& p);
    // The port hung up, or the drive went offline.
    bool linkGone() const;
    void showSweepMessage(int message, const std::string& tail) const;

    link::DriveLink& m_link;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    int m_readAttempts;
};

// Number of positions the sweeps walk: up to the first free one.
int sweepLength(const params::ParameterModel& model);

// trunc(value of position 0) × 65536 + trunc(value of position 1); a value that is no 16-bit
// raw value counts as 0.
long long serialNumber(const params::ParameterModel& model);

}  // namespace zrd::session
