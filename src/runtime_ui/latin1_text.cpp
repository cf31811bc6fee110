#include "runtime_ui/latin1_text.h"

#include <QStringView>

namespace tarvil {

QByteArray ToLatin1Lossy(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;  // one character, one "?"
            bytes.append('?');
        } else if (c.unicode() > 0xFF) {
            bytes.append('?');
        } else {
            bytes.append(static_cast<char>(c.unicode()));
        }
    }
    return bytes;
}

}  // namespace tarvil
