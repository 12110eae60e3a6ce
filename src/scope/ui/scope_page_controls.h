#pragma once

// What the online and offline scope pages share: their read-only fields and buttons, the date
// and time stamps, and the channel selectors with their name fields.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"

class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QTimer;
class QWidget;

namespace zrd::scope {

inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

inline constexpr int kStampFieldWidth = 74;

// A read-only field the user cannot focus.
QLineEdit* readOnlyField(const char* name, QWidget* parent, int width = kStampFieldWidth);
QPushButton* pageButton(const char* name, const char* caption, QWidget* parent);

// A caption and a date and a time field side by side, added to the row.
struct StampFields {
    QLineEdit* date = nullptr;
    QLineEdit* time = nullptr;
};
StampFields addStamp(QHBoxLayout* row, QWidget* parent, const char* caption, const char* labelName,
                     const char* dateName, const char* timeName);
// Puts the current date and time into the fields; the stamp text "date / time".
std::string stampNow(const StampFields& fields);
// Copies the main window's clock into the fields; the stamp text "date / time".
std::string stampFrom(const StampFields& fields, const QLineEdit* date, const QLineEdit* time);

// Fills a channel selector with the scope signal list in the style given (after a load 30
// lines drop down, after a language switch all of them); it invites a choice until one is made.
void fillChannelSelector(QComboBox* combo, const params::ParameterModel& model,
                         const params::MessageTable& messages, params::ScopeListStyle style);
// The selection of the line the selector closed on, its name shown in the field (no line: the
// empty signal).
ChannelSelection selectorChoice(QComboBox* combo, QLineEdit* name,
                                const params::ParameterModel& model);
// Shows a signal of the drive's table: its description in the name field and the selector on
// it, or with `prompt` the invitation. nullopt for a number outside the list (nothing changes).
std::optional<ChannelSelection> showSignal(QComboBox* combo, QLineEdit* name,
                                           const params::ParameterModel& model, int signal,
                                           bool prompt);

// Watches the port of a capture that listens: a notifier for readiness and a single-shot timer
// for the capture's deadline. The capture's work runs in the callbacks; the notifier keeps
// quiet while they run, so that a message box shown from inside cannot feed it twice.
class PortWatch : public QObject {
public:
    PortWatch(std::function<void()> readable, std::function<void()> deadline, QObject* parent);
    // Starts watching the descriptor (a negative one: only the deadline counts).
    void watch(int fd);
    // Arms the deadline timer for the given milliseconds from now; nullopt: no deadline.
    void armDeadline(std::optional<int> ms);
    void stop();
    // While paused the port's data waits for someone else's exchange.
    void setPaused(bool paused);
    [[nodiscard]] bool watching() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_readable;
    std::function<void()> m_deadline;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer;
    bool m_paused = false;
};

}  // namespace zrd::scope
