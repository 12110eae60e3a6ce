#pragma once

// Translating a window's designed texts: every caption, hint, item and title a person reads,
// handed one by one to a translation and set to what it returns.

#include <QString>
#include <functional>

class QWidget;

namespace zrd::ui {

// Gives the text to show for a designed text (the text itself when it has no translation).
using TextTranslation = std::function<QString(const QString&)>;

// Marks a control whose items or text come from the data files (signal and parameter
// selectors, names of signals): the data brings its own language, the dictionary leaves it.
void markDataText(QWidget* control);

// A designed text a window composes other texts from (a caption followed by a number): kept
// with the window, translated with its other texts.
void setTextPart(QWidget* window, const QString& text);
QString textPart(const QWidget* window);

// Hands every text of the window and of everything it holds (windows it owns included) to
// the translation and shows what comes back: window titles, menu items and their hints,
// buttons, labels, group boxes, edit fields (text, placeholder, hint), combo box items, tab
// captions and hints, table headers, chart titles, axis titles and series names, text parts.
void translateTexts(QWidget* window, const TextTranslation& translate);

}  // namespace zrd::ui
