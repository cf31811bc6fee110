// Icons of the application: from the desktop's icon theme where it has them,
// otherwise drawn here.
#pragma once

#include <QIcon>

namespace tarvil {

enum class AppIcon { Application, New, Open, Save, Cut, Copy, Paste, Run, Stop, Print, About };

QIcon MakeIcon(AppIcon which);

}  // namespace tarvil
