#pragma once

#include <QObject>
#include <array>
#include <cstdint>

#include "monitor/status.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

class QTabWidget;

namespace zrd::monitor {

class TStateFrame;

// The "Status" and "Appendix info" tabs of the group notebook: a page control each, holding
// the state frame of its three status words.
class TStatusPage : public QObject {
    Q_OBJECT
public:
    // Adds the two tabs at the end of the notebook.
    TStatusPage(const params::ParameterModel& model, const params::MessageTable& messages,
                QTabWidget* notebook);

    // Builds both frames from the bit tables (after each database load); a page control
    // without a named bit of its group stays hidden.
    void build();
    // Ticks the boxes of both frames as the status poll found the bits.
    void showBits(const FrameBits& state, const FrameBits& application);
    // Both frames' bit boxes live (a drive is polled) or greyed (offline).
    void showLive(bool live);
    // Sets the inversion boxes from a value without their click handlers running.
    void setInversion(uint16_t value);
    [[nodiscard]] uint16_t inversion() const;
    [[nodiscard]] TStateFrame* stateFrame(int f) const { return m_frames.at(f); }

    QTabWidget* PageControl6;
    QTabWidget* PageControl7;

signals:
    // The user ticked or unticked inversion box k.
    void inversionClicked(int bit, bool checked);

private:
    const params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    std::array<TStateFrame*, 2> m_frames{};
};

}  // namespace zrd::monitor
