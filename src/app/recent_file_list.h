// The recent-file list of the File menu: six entries, newest first, kept in
// the settings under "Recent File List" as File1 ... File6.
#pragma once

#include <QString>
#include <QStringList>

class QSettings;

namespace tarvil {

inline constexpr int kRecentFileCount = 6;
inline constexpr int kRecentFileShownLength = 30;

// `path` put in front of `list` (an older entry of it removed), at most `limit` entries.
QStringList WithRecentFile(QStringList list, const QString& path, int limit = kRecentFileCount);

// The path as the menu shows it, at most `maxLength` characters where that is
// possible: the root, "...", and as many trailing folders as fit before the
// file name; a file name that alone is too long is shown whole.
QString AbbreviateRecentFile(const QString& path, int maxLength = kRecentFileShownLength);

QStringList ReadRecentFiles(QSettings& settings);
void WriteRecentFiles(QSettings& settings, const QStringList& files);

}  // namespace tarvil
