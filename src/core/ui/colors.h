#pragma once

#include <QColor>
#include <QWidget>

namespace zrd::ui {

// The colours the drive-state area speaks in; a lamp or field means the same in every window.
namespace colors {
inline constexpr QRgb kLime = 0xFF00FF00;
inline constexpr QRgb kRed = 0xFFFF0000;
inline constexpr QRgb kYellow = 0xFFFFFF00;
inline constexpr QRgb kFuchsia = 0xFFFF00FF;
inline constexpr QRgb kAqua = 0xFF00FFFF;
inline constexpr QRgb kSilver = 0xFFC0C0C0;
inline constexpr QRgb kGrey = 0xFF808080;
inline constexpr QRgb kWhite = 0xFFFFFFFF;
// The face colour of buttons and panels in their normal state.
inline constexpr QRgb kButtonFace = 0xFFF0F0F0;
}  // namespace colors

// Fills a field, panel or button with a state colour (the text stays readable on it).
void paintState(QWidget* widget, QRgb colour);
// The colour a field or panel was last filled with.
QRgb stateColour(const QWidget* widget);

}  // namespace zrd::ui
