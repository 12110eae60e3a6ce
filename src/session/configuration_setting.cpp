#include "session/configuration_setting.h"

#include <array>

#include "core/number_text.h"
#include "core/text_file.h"
#include "formula/formula_error.h"
#include "session/link_busy_guard.h"
#include "session/type_follow_up.h"

namespace zrd::session {

namespace pm = zrd::params;
namespace fm = zrd::formula;

namespace {

// What a parameter shows before and after: value, limits and default in display units.
struct Shown {
    std::array<double, 4> fields{};
};
constexpr std::array<const char*, 4> kFields = {"value", "min", "max", "default"};

Shown shown(const pm::ParameterModel& model, int position) {
    const pm::TPar& p = model.parameter(position);
    return {{model.value(position), pm::minDisplay(p), pm::maxDisplay(p), pm::defaultDisplay(p)}};
}

int tableLength(const pm::ParameterModel& model) {
    int n = 0;
    while (n < pm::kParameterCount && !model.parameter(n).Pname.empty())
        ++n;
    return n;
}

class Setting {
public:
    Setting(link::DriveLink& link, ParameterAccess& access, pm::ParameterModel& model,
            const pm::MessageTable& messages, const pm::TypeTables& tables)
        : m_link(link), m_access(access), m_model(model), m_messages(messages), m_tables(tables) {
        const int n = tableLength(model);
        for (int position = 0; position < n; ++position)
            m_before.push_back(shown(model, position));
    }

    void run(const ConfigurationRequest& request, ConfigurationResult& r) {
        const bool connected = m_link.state().connected != 0;
        setDrive(request.drive, connected, r);
        setMotor(request.motor, r);
        if (!r.driveChanged && !r.motorChanged)
            return;
        r.formulaPasses =
            fm::reevaluateFormulas(m_model, fm::kConfigurationFormulaPasses, m_link.ui());
        r.marks = fm::changeMarks(m_model);
        if (connected && request.sendCalcPara) {
            r.calcPara = calcParaExchange(m_link, m_model, m_messages, kCalcParaDialogWorkMs);
            if (r.calcPara.outcome != ServiceOutcome::Done) {
                r.keepOpen = true;
                return;
            }
        }
        if (!connected)
            return;
        for (const fm::ChangeMark& mark : r.marks) {
            // The drive computes its read-only values itself (CALCPARA); a write would be refused.
            if (mark.mark < fm::kMarkDefault ||
                m_model.parameter(mark.position).pType == pm::kReadOnly)
                continue;
            m_model.setCurrentParameter(mark.position);
            write(mark.position, r);
            if (m_link.state().hungUp)
                return;
        }
    }

    void listChanges(ConfigurationResult& r) const {
        for (size_t position = 0; position < m_before.size(); ++position) {
            const Shown now = shown(m_model, static_cast<int>(position));
            for (size_t f = 0; f < kFields.size(); ++f) {
                if (now.fields[f] == m_before[position].fields[f])
                    continue;
                r.changes.push_back({static_cast<int>(position),
                                     m_model.parameter(static_cast<int>(position)).Pname,
                                     kFields[f], m_before[position].fields[f], now.fields[f]});
            }
        }
    }

private:
    // Writes the current parameter, which is at `position`, and notes a value not taken.
    void write(int position, ConfigurationResult& r) {
        m_access.SetParam();
        ++r.writes;
        if (m_access.lastReply() != link::kReplyAccepted)
            r.notTaken.push_back(position);
    }

    void setDrive(std::string_view text, bool connected, ConfigurationResult& r) {
        const std::string_view name = trimmed(text);
        const std::optional<double> value = driveTypeValue(m_tables, name);
        const std::optional<int> dt = m_model.knownPosition(pm::KnownParameter::DT);
        if (!value || !dt || *value == m_model.value(*dt))
            return;
        m_model.setCurrentParameter(*dt);
        m_model.setKnownValue(*dt, *value);
        if (connected)
            write(*dt, r);
        if (m_model.hasPageRow(*dt))
            m_link.ui().updatePageRow(*dt, pm::valueText(m_model.value(*dt)));
        r.driveChanged = true;
        r.driveName = std::string(name);
    }

    void setMotor(std::string_view text, ConfigurationResult& r) {
        const std::optional<int> line = motorTypeLine(m_tables, trimmed(text));
        const std::optional<int> mt = m_model.knownPosition(pm::KnownParameter::MT);
        if (!line || !mt)
            return;
        const std::vector<std::string> words = pm::splitWords(m_tables.motorTypes().line(*line));
        const std::optional<double> code = words.size() > 1 ? parseNumber(words[1]) : std::nullopt;
        if (!code)
            throw fm::FormulaError(fm::FormulaErrorKind::Conversion,
                                   "the motor type of " + words.front() + " is no number");
        if (*code == m_model.value(*mt))
            return;
        const MotorTypeApplied applied = applyMotorType(m_link, m_access, m_model, m_tables, *line);
        r.writes += applied.written;
        r.notTaken.insert(r.notTaken.end(), applied.notTaken.begin(), applied.notTaken.end());
        r.motorChanged = true;
        r.motorLine = applied.line;
        r.motorName = applied.name;
    }

    link::DriveLink& m_link;
    ParameterAccess& m_access;
    pm::ParameterModel& m_model;
    const pm::MessageTable& m_messages;
    const pm::TypeTables& m_tables;
    std::vector<Shown> m_before;
};

}  // namespace

std::optional<double> driveTypeValue(const pm::TypeTables& tables, std::string_view name) {
    for (int k = 1; k < pm::kDriveTypeLines; ++k) {
        const std::string& line = tables.driveTypes().line(k);
        if (line.empty())
            break;
        const std::vector<std::string> words = pm::splitWords(line);
        if (words.empty() || words.front() != name)
            continue;
        const std::optional<double> value = words.size() > 1 ? parseNumber(words[1]) : std::nullopt;
        if (!value)
            throw fm::FormulaError(fm::FormulaErrorKind::Conversion,
                                   "the drive type of " + words.front() + " is no number");
        return value;
    }
    return std::nullopt;
}

std::optional<int> motorTypeLine(const pm::TypeTables& tables, std::string_view name) {
    for (int k = 1; k <= pm::kMotorMatchLastLine; ++k) {
        const std::string& line = tables.motorTypes().line(k);
        if (line.empty())
            break;
        const std::vector<std::string> words = pm::splitWords(line);
        if (!words.empty() && words.front() == name)
            return k;
    }
    return std::nullopt;
}

ConfigurationResult applyConfiguration(link::DriveLink& link, ParameterAccess& access,
                                       pm::ParameterModel& model, const pm::MessageTable& messages,
                                       const pm::TypeTables& tables,
                                       const ConfigurationRequest& request) {
    ConfigurationResult r;
    const LinkBusyGuard guard(link);
    if (!guard)
        return r;
    r.ran = true;
    Setting setting(link, access, model, messages, tables);
    setting.run(request, r);
    link.state().readCount = link::kDefaultReadCount;
    setting.listChanges(r);
    if (r.driveName.empty()) {
        if (const auto dt = model.knownPosition(pm::KnownParameter::DT))
            r.driveName = tables.driveSelectorText(model.value(*dt)).value_or("");
    }
    return r;
}

std::string changeText(const ParameterChange& change) {
    std::string text = change.mnemonic;
    if (change.field != kFields[0])
        text += " " + change.field;
    return text + " " + pm::valueText(change.before) + " -> " + pm::valueText(change.after);
}

}  // namespace zrd::session
