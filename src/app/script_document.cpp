#include "app/script_document.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstring>
#include <span>

#include "engine/script_file.h"
#include "image/file_access.h"
#include "runtime_ui/engine_text.h"

namespace tarvil {

namespace {

QString ShownPath(const std::string& nativePath) {
    return QDir::toNativeSeparators(FromEngineText(nativePath));
}

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QByteArray EditorTextToScript(const QString& editorText) {
    const QByteArray utf8 = editorText.toUtf8();
    const std::string crlf =
        ToCrLf(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    return QByteArray(crlf.data(), static_cast<qsizetype>(crlf.size()));
}

QString ScriptToEditorText(const QByteArray& utf8) {
    QString text = QString::fromUtf8(utf8);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

ScriptLoadResult LoadScriptDocument(const QString& path) {
    return LoadScriptDocument(FileNameBytes(path));
}

ScriptLoadResult LoadScriptDocument(const std::string& nativePath) {
    ScriptLoadResult result;
    // Opened by its bytes: a name that is not UTF-8 has no QString that names it.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error =
            QObject::tr("Cannot open %1:\n%2").arg(ShownPath(nativePath), SystemReason(errno));
        return result;
    }
    // A document holds at most 4 + 1,048,575 bytes that count; the rest is ignored.
    QByteArray bytes(4 + static_cast<qsizetype>(kMaxScriptCharacters), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int failure = errno;
            ::close(fd);
            result.error = QObject::tr("Cannot read %1:\n%2")
                               .arg(ShownPath(nativePath), SystemReason(failure));
            return result;
        }
        if (n == 0) break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    const ScriptText script = DecodeScriptText(std::span<const uint8_t>(
        reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
    // Plain text files, and documents whose text is UTF-16 or UTF-32, are refused.
    if (!script.isDocument || !script.error.empty()) {
        result.error = QString::fromLatin1(kUnexpectedFileFormat);
        return result;
    }
    result.text = ScriptToEditorText(
        QByteArray(script.text.data(), static_cast<qsizetype>(script.text.size())));
    result.readAsLatin1 = script.readAsLatin1;
    return result;
}

QString Latin1DocumentNote(const QString& fileName) {
    // The batch mode's line for the same case, without its program-name prefix.
    std::string note = Latin1Notice(ToEngineText(fileName));
    constexpr std::string_view kPrefix = "tarvil: ";
    if (std::string_view(note).substr(0, kPrefix.size()) == kPrefix) note.erase(0, kPrefix.size());
    return QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size()));
}

bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error) {
    FileSystemCalls system;
    return SaveScriptDocument(FileNameBytes(path), editorText, error, system);
}

bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error,
                        FileSystemCalls& calls) {
    return SaveScriptDocument(FileNameBytes(path), editorText, error, calls);
}

bool SaveScriptDocument(const std::string& nativePath, const QString& editorText, QString* error,
                        FileSystemCalls& calls) {
    const QByteArray text = EditorTextToScript(editorText);
    if (text.size() > static_cast<qsizetype>(kMaxScriptCharacters)) {
        // Such a file could not be opened again.
        if (error)
            *error =
                QObject::tr("The script is longer than %1 characters.").arg(kMaxScriptCharacters);
        return false;
    }
    const int failure = WriteScriptDocument(
        nativePath, std::string_view(text.constData(), static_cast<size_t>(text.size())), calls);
    if (failure != 0) {
        if (error)
            *error = QObject::tr("Cannot save %1:\n%2")
                         .arg(ShownPath(nativePath), SystemReason(failure));
        return false;
    }
    return true;
}

}  // namespace tarvil
