// The engine's text is Latin-1, one byte per character; Qt's is UTF-16.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace tarvil {

// One byte per character; a character outside Latin-1 (a surrogate pair counts
// as one character) becomes "?".
QByteArray ToLatin1Lossy(QStringView text);

inline QString FromLatin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToLatin1String(QStringView text) {
    const QByteArray bytes = ToLatin1Lossy(text);
    return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

}  // namespace tarvil
