// The layout of Qt's own file dialog for GETFILENAME: large enough, and with
// columns wide enough, that the name, size, type and date of each file can be read.
#pragma once

class QFileDialog;

namespace tarvil {

// Sizes the dialog (within the screen) and, each time a folder has been read,
// makes the size, type and date columns as wide as what they show, widening
// the dialog where they need more room; the name column takes the rest.
void FitFileDialogColumns(QFileDialog& dialog);

}  // namespace tarvil
