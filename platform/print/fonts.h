#pragma once
// The reports and screens name the workstation's classic fonts; on this system
// they are drawn with the metric-compatible Liberation families, so that
// character columns, line heights and page breaks come out as designed.
#include <string>
#include <string_view>

#include <QFont>

namespace platform {

// "Courier New" -> "Liberation Mono", "Times New Roman" -> "Liberation Serif",
// "Arial", "MS Sans Serif" and an empty name -> "Liberation Sans" (names
// compared without regard to case or surrounding blanks). Any other name is
// returned trimmed, as given.
std::string mapFontFamily(std::string_view name);

// The font a report or screen asks for, with the family mapped. Kerning and
// hinting are off so that a text measures the same at every resolution and
// its drawn width equals its measured width.
QFont printerFont(std::string_view name, double points, bool bold);

}  // namespace platform
