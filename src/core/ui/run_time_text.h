#pragma once

// Texts a window composes while the program runs (status lines, progress, captions with
// numbers, chart legends): composed in the interface language and composed again when the
// language changes, so that nothing stays in the language it was first shown in.

#include <QString>
#include <functional>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QObject;
class QWidget;

namespace zrd::ui {

// A designed text ("Peak %1 Hz") in the interface language: the window dictionary's
// translation while the program speaks Russian, the text itself otherwise.
QString translated(const char* english);
QString translated(const QString& english);

using ComposeText = std::function<QString()>;

// Shows the composed text now and again after every language change, for as long as the
// control still shows it (a text set later by other means ends it).
void showText(QLabel* label, ComposeText compose);
void showText(QAbstractButton* button, ComposeText compose);
void showText(QLineEdit* field, ComposeText compose);

// Runs `again` after every language change while `owner` lives: for charts, tables and lists
// that a window fills as a whole. A second call for the same owner and role replaces the first.
void onLanguageChange(QObject* owner, const char* role, std::function<void()> again);

// The language switch's part: every composed text of the window and of what it owns, once the
// new language is in force.
void recomposeTexts(QWidget* window);

}  // namespace zrd::ui
