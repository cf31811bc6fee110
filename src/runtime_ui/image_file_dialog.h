// The layout of Qt's own file dialog for GETFILENAME: large enough, and with
// columns wide enough, that the name, size, type and date of each file can be read.
#pragma once

#include <QStringList>

class QFileDialog;

namespace tarvil {

// The dialog's filters, in the order offered: every image format that
// LOADIMAGE reads (the default), then BMP alone, then every file.
QStringList ImageFileFilters();

// Offers ImageFileFilters() with the first selected. Patterns match names
// of any letter case: .bmp, .BMP and every mix.
void SetImageFileFilters(QFileDialog& dialog);

// Sizes the dialog (within the screen) and, each time a folder has been read,
// makes the size, type and date columns as wide as what they show, widening
// the dialog where they need more room; the name column takes the rest.
void FitFileDialogColumns(QFileDialog& dialog);

}  // namespace tarvil
