// The fixed-pitch font of the editor and the debug dialog's variable list.
#pragma once

#include <QFont>

namespace tarvil {

// The system's fixed font when it really is fixed-pitch. Some are not quite
// (Noto Sans Mono has a few wide glyphs), and columns must line up, so a truly
// fixed-pitch family wins then.
QFont FixedPitchFont();

}  // namespace tarvil
