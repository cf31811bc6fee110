#include "runtime_ui/fixed_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QList>

namespace tarvil {

QFont FixedPitchFont() {
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    system.setStyleHint(QFont::Monospace);
    QList<QFont> candidates{system};
    for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Courier New"}) {
        QFont font(QLatin1String(family), system.pointSize());
        font.setStyleHint(QFont::TypeWriter);
        candidates << font;
    }
    for (const QFont& font : candidates)
        if (QFontInfo(font).fixedPitch()) return font;
    return system;
}

}  // namespace tarvil
