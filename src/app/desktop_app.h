// The desktop application: tarvil [SCRIPT [ARG ...]].
#pragma once

#include <QStringList>
#include <string>
#include <vector>

namespace tarvil {

// The ClArg values of a start: every argument after the program name, script
// path first, in Latin-1 ("?" for characters outside it).
std::vector<std::string> ScriptArguments(const QStringList& arguments);

// Opens the main window (and SCRIPT, if given), runs the script once, shows the
// splash, and returns the exit status when the window has closed. A SCRIPT that
// cannot be opened is reported and ends the application with status 1.
int RunDesktop(int argc, char** argv);

}  // namespace tarvil
