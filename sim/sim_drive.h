#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrd::params {
class ParameterModel;
}

namespace zrd::sim {

// What the drive knows about one of its indexes when it has a parameter database.
struct SimParameter {
    bool known = false;  // unknown indexes accept every write
    bool isSigned = false;
    bool readOnly = false;
    int32_t minVal = 0;
    int32_t maxVal = 0;
};

// The word the drive reports at index 240 when idle: ready (bit 7), at standstill (bit 3),
// servo off, no error or warning.
inline constexpr uint16_t kIdleStateWord = 0x0088;
// The hardware version it reports as "HVER" when the database gives it no default.
inline constexpr uint16_t kHardwareVersion = 210;

// Failure modes of the simulated drive, applied to the replies it sends.
enum class FaultKind {
    None,
    Silent,   // answer nothing
    Delay,    // answer after `value` ms
    Drop,     // drop byte number `value` of the reply
    Corrupt,  // flip the bits of byte number `value`
    Refuse,   // answer writes with "Q"
    Busy,     // answer commands with "p" status 3
    Split,    // send the first `at` bytes, pause `value` ms, send the rest
};

struct Fault {
    FaultKind kind = FaultKind::None;
    int value = 0;
    int at = 4;
    // Number of frames it applies to; negative: every frame from now on.
    int count = -1;
};

// Parses "silent", "delay=200", "drop=2", "corrupt=3", "refuse", "busy", "split=40" or
// "split=40@2"; nullopt on anything else.
std::optional<Fault> parseFault(const std::string& text);

// A reply as the drive sends it: the bytes and the pause before a second piece.
struct SimReply {
    std::vector<uint8_t> bytes;
    int delayMs = 0;     // before the first byte
    size_t splitAt = 0;  // 0: no split
    int splitPauseMs = 0;
};

// The drive's logic: raw parameter memory and the answer to each request frame.
class SimDrive {
public:
    static constexpr size_t kIndexCount = 256;

    // Answers one unescaped frame (command byte first, without start and end byte);
    // nullopt when the drive stays silent.
    std::optional<SimReply> answer(const std::vector<uint8_t>& frame);

    void setRaw(uint8_t index, uint16_t value) { m_raw[index] = value; }
    [[nodiscard]] uint16_t raw(uint8_t index) const { return m_raw[index]; }

    // Limits and access of one index; writes outside them are refused with "Q".
    void setParameter(uint8_t index, const SimParameter& p) { m_params[index] = p; }
    [[nodiscard]] const SimParameter& parameter(uint8_t index) const { return m_params[index]; }
    // Takes limits, access and defaults from a loaded database (the first record of each
    // index counts), sets the status words to an idle drive and "HVER" to the version.
    void loadParameters(const params::ParameterModel& model);
    // True when the drive takes this raw value for the index.
    [[nodiscard]] bool accepts(uint8_t index, uint16_t raw) const;

    // Adds a fault; faults apply in the order added, each until its count is used up.
    void addFault(const Fault& fault) { m_faults.push_back(fault); }
    void clearFaults() { m_faults.clear(); }

    [[nodiscard]] int framesAnswered() const { return m_framesAnswered; }
    [[nodiscard]] int framesSeen() const { return m_framesSeen; }

private:
    std::vector<uint8_t> replyTo(const std::vector<uint8_t>& frame, bool refuse, bool busy);
    void useUpFaults();

    std::array<uint16_t, kIndexCount> m_raw{};
    std::array<SimParameter, kIndexCount> m_params{};
    std::vector<Fault> m_faults;
    int m_framesAnswered = 0;
    int m_framesSeen = 0;
};

}  // namespace zrd::sim
