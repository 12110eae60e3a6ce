#pragma once

// The oscillogram: the buffer both scopes record into, the channel and rate selections they
// share, and the capture's header. One instance lives for the whole run.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zrd::scope {

inline constexpr int kRecordCount = 10000;        // records of the buffer, and of an online capture
inline constexpr int kOfflineRecordCount = 2049;  // records of an offline capture
inline constexpr int kOfflineSamples = 2048;      // samples an offline capture shows and exports
inline constexpr int kSlotCount = 6;
inline constexpr int kChannelCount = 4;
inline constexpr int kOnlineChannelCount = 2;
// Slot 4 holds the drive's sample index of an offline record, slot 5 its tick in seconds.
inline constexpr int kSampleIndexSlot = 4;
inline constexpr int kTickSlot = 5;
// The channel name of a channel without a signal.
inline constexpr std::string_view kNoChannel = "N";
// Longest start or stop stamp.
inline constexpr size_t kStampLength = 32;

// Which scope filled the buffer; the numbers are the first line of an oscillogram file.
enum class ScopeKind { Offline = 0, Online = 1 };

// Records held by a capture of the kind.
constexpr int recordCount(ScopeKind kind) {
    return kind == ScopeKind::Online ? kRecordCount : kOfflineRecordCount;
}

// One rate of the online scope (and, by its code, the offline tick selection).
struct Rate {
    int code;
    double frequency;  // Hz
    double tick;       // s
};
inline constexpr std::array<Rate, 4> kRates = {{
    {1, 1000.0, 0.001},
    {2, 500.0, 0.002},
    {3, 250.0, 0.004},
    {4, 125.0, 0.008},
}};
// The rate of a code 1..4; nullopt for any other code.
std::optional<Rate> rateOfCode(int code);

using Record = std::array<double, kSlotCount>;

// A fixed table of records. Positions outside 0..9999 and slots outside 0..5 throw
// std::out_of_range: nothing is written past the table.
class RecordTable {
public:
    RecordTable() { zeroAll(); }

    [[nodiscard]] double value(int record, int slot) const { return at(record).at(slotAt(slot)); }
    void setValue(int record, int slot, double v) { at(record).at(slotAt(slot)) = v; }
    [[nodiscard]] const Record& record(int position) const { return at(position); }

    // Channel c (1..4) is slot c − 1.
    [[nodiscard]] double channel(int record, int c) const { return value(record, c - 1); }

    void zeroAll();
    // Zeroes slots 0..3 of every record (the channels), keeping sample indexes and ticks.
    void zeroChannels();
    // Copies slot `slot` of every record from another table.
    void copySlot(const RecordTable& from, int slot);

private:
    Record& at(int position) { return m_records.at(static_cast<size_t>(position)); }
    const Record& at(int position) const { return m_records.at(static_cast<size_t>(position)); }
    static size_t slotAt(int slot) { return static_cast<size_t>(slot); }

    std::array<Record, kRecordCount> m_records;
};

// What one channel records: set by the channel selection of either scope page, or by a file.
struct ChannelSelection {
    int signal = 0;  // entry of the scope signal list; 0 none
    double scale = 1.0;
    std::string name = std::string(kNoChannel);  // the signal's mnemonic, "N" when none
    std::string unit;                            // in the interface language
};

// The capture's header: stamps (date " / " time), frequency and tick.
struct OscillogramHeader {
    std::string startStamp;
    std::string stopStamp;
    double frequency = kRates[0].frequency;
    double tick = kRates[0].tick;
};

// The stamp of a date and a time as the header keeps it ("date / time", at most 32 characters).
std::string makeStamp(std::string_view date, std::string_view time);

// The header text shown by the viewers' information box and written to oscillogram files:
// "Start time : S\r\nStop time : S\r\nFrequency = F\r\nTick = T", the frequency with two
// decimals, the tick with three (online) or five (offline) decimals.
std::string headerText(const OscillogramHeader& header, ScopeKind kind);

// The program's oscillogram: the buffer, the channel backup that the viewers and the
// frequency response restore from, the shared selections and the header. Large: allocate it
// once (it is about a megabyte) and pass it by reference.
struct Oscillogram {
    RecordTable buffer;
    RecordTable backup;
    ScopeKind kind = ScopeKind::Online;
    std::array<ChannelSelection, kChannelCount> channels{};
    // One code per scope: the online rate code 1..4 (also the byte of the online start frame,
    // as "MDFRQ" numbers it) and the offline tick code 0..9 ("RCFREQ").
    int rateCode = kRates[0].code;
    int tickCode = 0;
    OscillogramHeader header;
    std::string comments;  // lines ended by CR LF

    ChannelSelection& channel(int c) { return channels.at(static_cast<size_t>(c - 1)); }
    const ChannelSelection& channel(int c) const { return channels.at(static_cast<size_t>(c - 1)); }
    // Records of the current capture's kind.
    [[nodiscard]] int records() const { return recordCount(kind); }
    [[nodiscard]] std::string headerText() const { return scope::headerText(header, kind); }
};

}  // namespace zrd::scope
