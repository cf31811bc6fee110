// The engine's text is bytes, UTF-8 wherever it meets the system; Qt's is
// UTF-16. Windows show engine text through these helpers and hand the engine
// UTF-8, so that no character is lost or changed on the way.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "engine/text_encoding.h"

namespace tarvil {

// Engine bytes for a window: well-formed UTF-8 as it is, any other byte as its
// Latin-1 character (never U+FFFD or "?").
QString FromEngineText(std::string_view bytes);

// Text for the engine: UTF-8.
std::string ToEngineText(QStringView text);

// A file name as the file system holds it (the bytes the engine works on).
std::string FileNameBytes(const QString& path);

}  // namespace tarvil
