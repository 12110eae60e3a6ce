#pragma once

// The interface language: the translation of the windows at start-up and the switch from the
// menu item "Language" of the special functions.

#include <QObject>
#include <string>

#include "params/dictionary.h"

class QWidget;

namespace zrd::app {

class TMainForm;
struct Program;

class TLanguageSwitch : public QObject {
    Q_OBJECT
public:
    explicit TLanguageSwitch(TMainForm& form);

    // Start-up, before the window shows: every window into the language of the setting when
    // it is not English. A missing dictionary leaves the designed texts without a word.
    void translateAtStartUp();

    // The window dictionary as last loaded.
    [[nodiscard]] const params::Dictionary& dictionary() const { return m_dictionary; }

public slots:
    // Asks for the new setting and brings the whole program over to it: database, pictures,
    // windows, type tables, status captions, function lists, scope selectors, then read-all.
    void Language1Click();

protected:
    // Windows made later (dialogs opened on demand) come up in the interface language too.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Every window of the program, translated in the direction given.
    void translateWindows(const std::string& direction);
    // One window and everything on it.
    void translateWindow(QWidget* window, const std::string& direction);
    [[nodiscard]] bool reloadDatabase();
    [[nodiscard]] bool reloadTypeTables();
    void rebuildScopeSelectors();
    // The message, then the program ends the way its "Exit" ends it.
    void endProgram(int message);

    TMainForm& m_form;
    Program& m_program;
    params::Dictionary m_dictionary;
    // Windows made after start-up are watched only once a translation is in force.
    bool m_watching = false;
};

}  // namespace zrd::app
