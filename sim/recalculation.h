#pragma once

// What the drive does on CALCPARA: it recalculates the values that follow its motor and power
// stage data with the formulas of the database it was built with — the limits of the dependent
// parameters and its own read-only ratings (continuous and peak current, bus voltage).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zrd::params {
class ParameterModel;
}

namespace zrd::sim {

struct SimParameter;

class Recalculation {
public:
    // Takes the formula entries and the references (Numpar to drive index) of the database.
    void load(const params::ParameterModel& model);

    // Evaluates the formulas pass by pass on the memory as it stands: limits into `params`,
    // defaults of read-only indexes into `raw`. A formula that fails leaves its value alone.
    // Returns the number of limits and values that changed.
    int run(std::array<uint16_t, 256>& raw, std::array<SimParameter, 256>& params) const;

    bool refuse = false;  // the control channel's order: answer CALCPARA with status 3
    int runs = 0;         // recalculations done

private:
    struct Entry {
        uint8_t index = 0;
        int pass = 0;
        bool readOnly = false;
        std::string minVal;
        std::string maxVal;
        std::string defValue;
    };
    struct Reference {
        std::string numpar;
        uint8_t index = 0;
        bool isSigned = false;
    };
    std::vector<Entry> m_entries;
    std::vector<Reference> m_references;
};

}  // namespace zrd::sim
