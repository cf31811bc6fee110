// Script files on disk, in the two forms batch mode reads: a script document
// (a 4-byte count of the text's bytes, then the text with CR LF line breaks,
// in UTF-8; older ones hold Latin-1) or plain text with any line ends, in
// UTF-8 or Latin-1. A file is written back in the form it was read in. The
// editor holds the text with "\n" breaks.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace tarvil {

class FileSystemCalls;

// The message a file that is no script in either form is refused with.
inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";

enum class LineEnd { Lf, CrLf, Cr };

// How a script file is stored.
struct ScriptFileForm {
    bool document = false;          // a script document; otherwise plain text
    bool latin1 = false;            // its text is Latin-1 (read so, or kept so)
    LineEnd lineEnd = LineEnd::Lf;  // plain text: the line ends it is written with
    bool byteOrderMark = false;     // plain text: it begins with a UTF-8 byte-order mark
    bool operator==(const ScriptFileForm&) const = default;
};

// A new script: plain UTF-8 text with LF line ends.
inline constexpr ScriptFileForm kNewScriptForm{};
// A script document, as older installations read them.
inline constexpr ScriptFileForm kScriptDocumentForm{true};

// The line end plain text is written with: the one it uses most often; on a
// tie the one it uses first; LF when it has no line break.
LineEnd PredominantLineEnd(std::string_view text);

// Editor text → a script document's text: UTF-8, CR LF breaks.
QByteArray EditorTextToScript(const QString& editorText);
// Stored text (UTF-8) → editor text: every CR LF, CR or LF becomes "\n".
QString ScriptToEditorText(const QByteArray& utf8);

struct ScriptLoadResult {
    std::optional<QString> text;  // the editor text, when the file is a script
    ScriptFileForm form;          // the form it is stored in
    bool readAsLatin1 = false;    // its text was not UTF-8 and was read as Latin-1
    QByteArray bytes;             // the file's bytes
    QString error;                // why not, otherwise
};

// Reads a script file in either form, as batch mode does: at most 16 MiB,
// a UTF-8 byte-order mark skipped, UTF-16 and UTF-32 refused. `nativePath` is
// the file name's bytes.
ScriptLoadResult LoadScriptFile(const std::string& nativePath);
ScriptLoadResult LoadScriptFile(const QString& path);

// Reads a regular file of at most 16 MiB whole; false with `error` set
// ("Cannot read PATH:" and the reason) otherwise.
bool ReadScriptFileBytes(const std::string& nativePath, QByteArray* bytes, QString* error);

// The status-bar note that the file `fileName` was read as Latin-1.
QString Latin1DocumentNote(const QString& fileName);

struct ScriptFileBytes {
    std::optional<QByteArray> bytes;  // nothing when the text does not fit the form
    ScriptFileForm form;              // the form the bytes are in
    QString error;
};

// The bytes of a file holding `editorText` in `form`. Script documents are
// written in UTF-8. Plain text keeps its line ends and byte-order mark, and
// stays Latin-1 while every character fits Latin-1 (and the bytes could not be
// mistaken for UTF-8 when read again); otherwise it is written in UTF-8.
ScriptFileBytes EncodeScriptFile(const QString& editorText, const ScriptFileForm& form);

struct ScriptSaveResult {
    bool saved = false;
    ScriptFileForm form;  // the form written
    QByteArray bytes;     // the bytes written
    QString error;  // "Cannot save PATH:" and the system's reason, or why the text does not fit
};

// Writes `editorText` in `form` to the file named by `nativePath` (the name's
// bytes), replacing the file only once the whole of it is written.
ScriptSaveResult SaveScriptFile(const std::string& nativePath, const QString& editorText,
                                const ScriptFileForm& form, FileSystemCalls& calls);

// Writes `editorText` as a script document. Returns false with `error` set on
// failure ("Cannot save PATH:" and the system's reason on a second line).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error);
// The same through `calls` (tests make them fail).
bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error,
                        FileSystemCalls& calls);
// The same to the file named by `nativePath` (the file name's bytes).
bool SaveScriptDocument(const std::string& nativePath, const QString& editorText, QString* error,
                        FileSystemCalls& calls);

}  // namespace tarvil
