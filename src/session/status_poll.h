#pragma once

// The status poll: the drive's status words read into the two state frames, and the monitor
// values.

#include <array>
#include <optional>

#include "link/drive_link.h"
#include "monitor/status.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"

namespace zrd::session {

// The status poll: reads word 240 and, by its bits, the other five; keeps the two frames and
// the failure count.
class StatusPoll {
public:
    StatusPoll(link::DriveLink& link, params::ParameterModel& model,
               const params::MessageTable& messages)
        : m_link(link), m_model(model), m_messages(messages) {}

    // Reads one status word by its cached table position. The reply is escape-decoded like a
    // parameter read, so that a status byte of E1, E2 or E4 is read at its right place.
    // nullopt when the word is unknown or the reply is not a read reply.
    [[nodiscard]] std::optional<uint16_t> readWord(int word);

    // One tick's exchanges and decoding. The caller holds the link-busy flag and shows the
    // outcome; on WentOffline it also clears the connected flag as the display goes offline.
    monitor::StatusTick tick();

    [[nodiscard]] const monitor::FrameBits& frame(int f) const { return m_frames.at(f); }
    monitor::FrameBits& frame(int f) { return m_frames.at(f); }
    [[nodiscard]] int failures() const { return m_failures; }
    void resetFailures() { m_failures = 0; }

private:
    void readInto(int frame, int column, int word);

    link::DriveLink& m_link;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    std::array<monitor::FrameBits, 2> m_frames{};
    int m_failures = 0;
};

// One monitor tick as read: a value is nullopt when it was not read this time (the database
// lacks a parameter it needs, or the drive did not answer).
struct MonitorSample {
    std::optional<double> speedCommand, speedActual;
    std::optional<double> currentCommand, currentActual;
    std::optional<double> torqueCommand, torqueActual;
    std::optional<double> positionCommand, positionActual;
    std::optional<double> analogIn, pulseIn, followError;
    int requested = 0;  // reads sent
    int answered = 0;   // reads the drive answered
};

// The fourteen reads in their order.
MonitorSample readMonitorSample(ParameterAccess& access, params::ParameterModel& model);

// The same for the monitor fields: a failed read leaves the last value, a parameter the
// database lacks reads 0.
monitor::MonitorValues readMonitorValues(ParameterAccess& access, params::ParameterModel& model);

}  // namespace zrd::session
