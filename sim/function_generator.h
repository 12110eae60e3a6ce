#pragma once

#include <array>
#include <string_view>

namespace zrd::sim {

// The generator's signal types as "IIT" numbers them (any other value runs as constant).
enum class SignalType { Constant = 1, Square = 2, Sine = 3, Chirp = 4 };

// What the generator plays, in the plant's command units (rpm, or A in current mode) and
// seconds; the drive converts its parameters into it when the generator starts.
struct GeneratorSettings {
    SignalType type = SignalType::Constant;
    double amplitude = 0.0;  // peak
    double offset = 0.0;     // not used by the constant
    double periodS = 0.0;    // square and sine; 0 holds the offset
    double widthS = 0.0;     // square: the part of the period at offset + amplitude
    double startHz = 0.0;    // chirp: linear sweep from startHz to endHz in sweepS
    double endHz = 0.0;
    double sweepS = 0.0;
    int repeat = 0;  // periods (sweeps) after which it stops by itself; 0 endless
};

// The seconds of a time unit flag of "IIP3U"/"IIP4U": 0 ms, 1 s, 2 min (others as ms).
double timeUnitSeconds(int flag);

// The offline recorder's length of one record (2048 ticks of 0.25 ms × 2^code) for a tick
// code of "RCFREQ"; a chirp sweeps once over it.
double recordSeconds(int tickCode);

// The drive's function generator: a signal of time since its start. Pure: time advances only
// through step().
class FunctionGenerator {
public:
    void start(const GeneratorSettings& settings);
    void stop() { m_running = false; }
    [[nodiscard]] bool running() const { return m_running; }
    [[nodiscard]] const GeneratorSettings& settings() const { return m_settings; }

    // The signal at the present time, then advances it by dt; after the last repeat the
    // generator stops by itself. 0 when it does not run.
    double step(double dt);

private:
    // Length of one repeat; 0 when the signal has none (it then runs until stopped).
    [[nodiscard]] double cycleSeconds() const;
    [[nodiscard]] double signalAt(double t) const;

    GeneratorSettings m_settings;
    bool m_running = false;
    double m_timeS = 0.0;
};

// The generator's parameters, by mnemonic (as the database names them).
inline constexpr std::array<std::string_view, 11> kGeneratorMnemonics = {
    "IIT",   "IIP1V", "IIP2V", "IIP3V", "IIP4V", "IIP1U",
    "IIP2U", "IIP3U", "IIP4U", "PCRT",  "RCFREQ"};

}  // namespace zrd::sim
