#pragma once
// Button captions that wrap onto several lines when they do not fit on one,
// as on the original platform ("GO On - I know what I am doing" in 18 point on
// a button 169 pixels wide). The button keeps its caption and access key; only
// its painting changes.
#include "ui/controls.h"

namespace ui {

void WrapCaption(Control& button);

}  // namespace ui
