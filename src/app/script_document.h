// Script documents on disk: a 4-byte count of the text's bytes, then the text
// with CR LF line breaks. Documents are written in UTF-8; older ones hold
// Latin-1 and are read as such. The editor holds the text with "\n" breaks.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

namespace tarvil {

class FileSystemCalls;

// The message a file that is not a script document is refused with.
inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";

// Editor text → stored text: UTF-8, CR LF breaks.
QByteArray EditorTextToScript(const QString& editorText);
// Stored text (UTF-8) → editor text: every CR LF, CR or LF becomes "\n".
QString ScriptToEditorText(const QByteArray& utf8);

struct ScriptLoadResult {
    std::optional<QString> text;  // the editor text, when the file is a script document
    bool readAsLatin1 = false;    // its text was not UTF-8 and was read as Latin-1
    QString error;                // why not, otherwise
};

// Reads a script document; `nativePath` is the file name's bytes.
ScriptLoadResult LoadScriptDocument(const std::string& nativePath);
ScriptLoadResult LoadScriptDocument(const QString& path);

// The status-bar note that the document `fileName` was read as Latin-1.
QString Latin1DocumentNote(const QString& fileName);

// Writes `editorText` as a script document, replacing the file only once the
// whole document is written. Returns false with `error` set on failure
// ("Cannot save PATH:" and the system's reason on a second line).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error);
// The same through `calls` (tests make them fail).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error,
                        FileSystemCalls& calls);
// The same to the file named by `nativePath` (the file name's bytes).
bool SaveScriptDocument(const std::string& nativePath, const QString& editorText, QString* error,
                        FileSystemCalls& calls);

}  // namespace tarvil
