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

}  // namespace tarvil
