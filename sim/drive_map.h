#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zrd::params {
class ParameterModel;
}

namespace zrd::sim {

// The parameters the simulated drive works with, by mnemonic. Their drive indexes and units
// come from the database, so the drive follows whatever index map the database states.
// clang-format off
enum class Slot : uint8_t {
    // Settings and command inputs.
    ENMOD, OPMOD, INST, DINLEV, DIN1, DIN2, DIN3, DIN4, DIN5, DIN6, DIN7, DIN8,
    KPV, KIV, VLIM, ACC, DEC, VFILT, IFL, ILIMP, ILIMN, ICONT,
    MKT, MJ, JRATIO, MKE, MRES, MPOLES, MTHTC, MBRAKE, ENCR, KPP, KVFFP,
    AINOFF, AINDB, AINFLT, AINSCV, AINSCI, GEARN, GEARD, DVBUS,
    VZERO, VREACH, INPOSW, MOVSPD, PERRMX, PERRWL, OSCMOD,
    // Process values the drive reports.
    VSET, VACT, VERR, ISET, IACT, TSET, TACT, IQ, ID, IU, IV, UD, UQ, VBUS, THETA,
    PRREV, PRCTS, PFREV, PFCTS, PRINC, PFINC, PERR, AINVOL, PINFRQ, PINCNT,
    TDRV, TMOT, I2T, APXSTA,
    Count
};
// clang-format on
inline constexpr size_t kSlotCount = static_cast<size_t>(Slot::Count);

inline constexpr std::array<std::string_view, kSlotCount> kSlotNames = {
    "ENMOD",  "OPMOD",  "INST",   "DINLEV", "DIN1",  "DIN2",  "DIN3",   "DIN4",   "DIN5",
    "DIN6",   "DIN7",   "DIN8",   "KPV",    "KIV",   "VLIM",  "ACC",    "DEC",    "VFILT",
    "IFL",    "ILIMP",  "ILIMN",  "ICONT",  "MKT",   "MJ",    "JRATIO", "MKE",    "MRES",
    "MPOLES", "MTHTC",  "MBRAKE", "ENCR",   "KPP",   "KVFFP", "AINOFF", "AINDB",  "AINFLT",
    "AINSCV", "AINSCI", "GEARN",  "GEARD",  "DVBUS", "VZERO", "VREACH", "INPOSW", "MOVSPD",
    "PERRMX", "PERRWL", "OSCMOD", "VSET",   "VACT",  "VERR",  "ISET",   "IACT",   "TSET",
    "TACT",   "IQ",     "ID",     "IU",     "IV",    "UD",    "UQ",     "VBUS",   "THETA",
    "PRREV",  "PRCTS",  "PFREV",  "PFCTS",  "PRINC", "PFINC", "PERR",   "AINVOL", "PINFRQ",
    "PINCNT", "TDRV",   "TMOT",   "I2T",    "APXSTA"};

// Where each slot lives in the drive's memory, and the mnemonics of the loaded database.
class DriveMap {
public:
    struct Entry {
        int index = -1;  // -1: the database does not name it
        double scale = 1.0;
        bool isSigned = false;
    };

    // Takes the first record of each mnemonic, as the drive's limits do.
    void build(const params::ParameterModel& model);

    [[nodiscard]] const Entry& entry(Slot s) const { return m_entries[static_cast<size_t>(s)]; }
    [[nodiscard]] bool has(Slot s) const { return entry(s).index >= 0; }
    // The drive index of a mnemonic (any case) of the database.
    [[nodiscard]] std::optional<uint8_t> find(std::string_view mnemonic) const;
    // Index, scale and sign of any mnemonic of the database; an entry with index -1 when it
    // has none.
    [[nodiscard]] Entry entryOf(std::string_view mnemonic) const;

private:
    std::array<Entry, kSlotCount> m_entries{};
    std::map<std::string, uint8_t, std::less<>> m_names;
    std::map<std::string, Entry, std::less<>> m_byName;
};

}  // namespace zrd::sim
