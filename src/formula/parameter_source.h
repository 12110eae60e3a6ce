#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zrd::formula {

// What a parameter reference reads: the display value and the display factor of a parameter.
struct ParameterRef {
    double value = 0;  // display units (raw × scale)
    double scale = 1;  // never 0
};

// Where `ParseString` looks up references such as p12. The parameter table implements it
// by its `Numpar` keys; the formula engine knows nothing else of it.
class ParameterSource {
public:
    virtual ~ParameterSource() = default;

    // The first record whose `Numpar` equals the name exactly (case included); nullopt when
    // none does.
    [[nodiscard]] virtual std::optional<ParameterRef> findByNumpar(
        std::string_view numpar) const = 0;
};

// A small in-memory source, searched in the order the entries were added.
class ParameterList : public ParameterSource {
public:
    void add(std::string numpar, double value, double scale = 1.0);
    [[nodiscard]] std::optional<ParameterRef> findByNumpar(std::string_view numpar) const override;

private:
    struct Entry {
        std::string numpar;
        ParameterRef ref;
    };
    std::vector<Entry> m_entries;
};

}  // namespace zrd::formula
