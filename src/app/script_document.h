// Script documents on disk: a 4-byte character count, then the Latin-1 text
// with CR LF line breaks. The editor holds the text with "\n" breaks.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarvil {

class FileSystemCalls;

// The message a file that is not a script document is refused with.
inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";

// Editor text → stored text: Latin-1 ("?" for other characters), CR LF breaks.
QByteArray EditorTextToScript(const QString& editorText);
// Stored text → editor text: every CR LF, CR or LF becomes "\n".
QString ScriptToEditorText(const QByteArray& latin1);

struct ScriptLoadResult {
    std::optional<QString> text;  // the editor text, when the file is a script document
    QString error;                // why not, otherwise
};

// Reads a script document.
ScriptLoadResult LoadScriptDocument(const QString& path);

// Writes `editorText` as a script document, replacing the file only once the
// whole document is written. Returns false with `error` set on failure
// ("Cannot save PATH:" and the system's reason on a second line).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error);
// The same through `calls` (tests make them fail).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error,
                        FileSystemCalls& calls);

}  // namespace tarvil
