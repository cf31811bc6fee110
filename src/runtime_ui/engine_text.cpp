#include "runtime_ui/engine_text.h"

#include <QFile>
#include <algorithm>
#include <cstdint>

#include "engine/text_encoding.h"

namespace tarvil {

QString FromEngineText(std::string_view bytes) {
    const std::string utf8 = DisplayTextToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToEngineText(QStringView text) {
    const QByteArray utf8 = text.toUtf8();
    return {utf8.constData(), static_cast<size_t>(utf8.size())};
}

std::string FileNameBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

size_t Utf8CutLength(std::string_view bytes, size_t limit) {
    if (limit >= bytes.size()) return bytes.size();
    // Step back over the continuation bytes the cut falls among, to the byte
    // that leads them; cut before it only if its sequence runs past the cut.
    size_t lead = limit;
    while (lead > 0 && limit - lead < 3 && (static_cast<uint8_t>(bytes[lead]) & 0xC0) == 0x80)
        --lead;
    const auto first = static_cast<uint8_t>(bytes[lead]);
    size_t length = 1;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
    }
    if (lead < limit && lead + length > limit &&
        IsValidUtf8(bytes.substr(lead, std::min(length, bytes.size() - lead))))
        return lead;
    return limit;
}

}  // namespace tarvil
