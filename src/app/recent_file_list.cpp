#include "app/recent_file_list.h"

#include <QSettings>

namespace tarvil {

namespace {
constexpr auto kGroup = "Recent File List";
}

QStringList WithRecentFile(QStringList list, const QString& path, int limit) {
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > limit) list.removeLast();
    return list;
}

QString AbbreviateRecentFile(const QString& path, int maxLength) {
    if (path.size() <= maxLength) return path;
    const qsizetype lastSlash = path.lastIndexOf(u'/');
    const QString name = lastSlash < 0 ? path : path.mid(lastSlash + 1);
    const QString root = path.startsWith(u'/') ? QStringLiteral("/") : QString();
    const QString dots = QStringLiteral("...");
    // Root, dots, and the longest tail of folders + name that fits.
    QString tail = QStringLiteral("/") + name;
    if (root.size() + dots.size() + tail.size() > maxLength) return name;
    const QString folders = path.left(std::max<qsizetype>(0, lastSlash));
    const QStringList parts = folders.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const QString longer = QStringLiteral("/") + parts[i] + tail;
        if (root.size() + dots.size() + longer.size() > maxLength) break;
        tail = longer;
    }
    return root + dots + tail;
}

QStringList ReadRecentFiles(QSettings& settings) {
    QStringList files;
    settings.beginGroup(QLatin1String(kGroup));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty()) files << file;
    }
    settings.endGroup();
    return files;
}

void WriteRecentFiles(QSettings& settings, const QStringList& files) {
    settings.beginGroup(QLatin1String(kGroup));
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files.size()) {
            settings.setValue(key, files[i - 1]);
        } else {
            settings.remove(key);
        }
    }
    settings.endGroup();
}

}  // namespace tarvil
