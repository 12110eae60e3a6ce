#pragma once

#include <optional>
#include <string>

namespace zrd {

// The one way the core reaches the user. Each front end implements it: the GUI with Qt,
// zrdctl on stderr, the tests by recording the calls.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box: caption and body already in the interface language.
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;

    // Lets the front end handle pending events during a long sequence.
    virtual void processEvents() = 0;

    // Pauses the caller for the given time (the front end may keep handling events).
    virtual void waitMs(int ms);

    // The front end's part of the idle state after a reply time-out: status and clock timers
    // running, "Start monitor" enabled, the online "Stop oscillogram" disabled.
    virtual void restoreIdleAfterTimeout() {}

    // The link was taken for an exchange: the periodic polls (status, clock) pause.
    virtual void pauseTimers() {}
    // The link is free again: the polls resume where the front end's state allows them.
    virtual void resumeTimers() {}

    // The port hung up (the device is gone): the link is closed and offline. The front end
    // tells the user once and shows the offline state.
    virtual void linkLost(const std::string& reason) { (void)reason; }

    // Shows a value text in the page row of the parameter at the given table position.
    virtual void updatePageRow(int position, const std::string& text) {
        (void)position;
        (void)text;
    }

    // Asks the user for a text; nullopt when the user cancels.
    virtual std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                               const std::string& preset) {
        (void)title;
        (void)prompt;
        return preset;
    }

    // Asks a Yes/No question; true for Yes. Without a person to answer it is No, which
    // leaves everything as it was.
    virtual bool askYesNo(const std::string& caption, const std::string& text) {
        (void)caption;
        (void)text;
        return false;
    }
};

// A front end that shows nothing and never waits for a person: background tools, benchmarks.
class SilentUserInterface : public UserInterface {
public:
    void showMessage(const std::string&, const std::string&) override {}
    void processEvents() override {}
};

}  // namespace zrd
