#include "app/script_document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>

#include "engine/script_file.h"
#include "engine/text_encoding.h"
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

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

LineEnd PredominantLineEnd(std::string_view text) {
    size_t counts[3] = {0, 0, 0};  // LF, CR LF, CR
    int first = -1;
    for (size_t i = 0; i < text.size(); ++i) {
        int kind;
        if (text[i] == '\n') {
            kind = 0;
        } else if (text[i] == '\r') {
            kind = i + 1 < text.size() && text[i + 1] == '\n' ? 1 : 2;
            if (kind == 1) ++i;
        } else {
            continue;
        }
        ++counts[kind];
        if (first < 0) first = kind;
    }
    if (first < 0) return LineEnd::Lf;
    int best = first;
    for (int kind = 0; kind < 3; ++kind) {
        if (counts[kind] > counts[best]) best = kind;
    }
    return static_cast<LineEnd>(best);
}

bool ReadScriptFileBytes(const std::string& nativePath, QByteArray* bytes, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error) *error = QObject::tr("Cannot read %1:\n%2").arg(ShownPath(nativePath), reason);
        return false;
    };
    auto tooLarge = [&] {
        if (error) *error = QString::fromLatin1(kUnexpectedFileFormat);
        return false;
    };
    // Opened by its bytes: a name that is not UTF-8 has no QString that names
    // it. Not blocking, so that a FIFO is refused rather than waited on.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (error)
            *error =
                QObject::tr("Cannot open %1:\n%2").arg(ShownPath(nativePath), SystemReason(errno));
        return false;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(SystemReason(errno));
    if (S_ISDIR(info.st_mode)) return fail(SystemReason(EISDIR));
    if (!S_ISREG(info.st_mode)) return fail(QObject::tr("not a regular file"));
    if (static_cast<uint64_t>(info.st_size) > kMaxScriptFileBytes) return tooLarge();
    QByteArray read(static_cast<qsizetype>(info.st_size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == read.size()) {
            // The file grew while it was read.
            if (static_cast<size_t>(read.size()) > kMaxScriptFileBytes) return tooLarge();
            read.resize(std::min<qsizetype>(read.size() * 2,
                                            static_cast<qsizetype>(kMaxScriptFileBytes) + 1));
        }
        const ssize_t n = ::read(fd, read.data() + got, static_cast<size_t>(read.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(SystemReason(errno));
        if (n == 0) break;
        got += n;
    }
    if (static_cast<size_t>(got) > kMaxScriptFileBytes) return tooLarge();
    read.truncate(got);
    *bytes = std::move(read);
    return true;
}

ScriptLoadResult LoadScriptFile(const QString& path) {
    return LoadScriptFile(FileNameBytes(path));
}

ScriptLoadResult LoadScriptFile(const std::string& nativePath) {
    ScriptLoadResult result;
    if (!ReadScriptFileBytes(nativePath, &result.bytes, &result.error)) return result;
    const auto* data = reinterpret_cast<const uint8_t*>(result.bytes.constData());
    const ScriptText script =
        DecodeScriptText(std::span<const uint8_t>(data, static_cast<size_t>(result.bytes.size())));
    // What batch mode refuses: UTF-16 and UTF-32 texts.
    if (!script.error.empty()) {
        result.error = QString::fromLatin1(kUnexpectedFileFormat);
        return result;
    }
    result.form.document = script.isDocument;
    result.form.latin1 = script.readAsLatin1;
    if (!script.isDocument) {
        std::string_view raw(result.bytes.constData(), static_cast<size_t>(result.bytes.size()));
        result.form.byteOrderMark = raw.substr(0, kByteOrderMark.size()) == kByteOrderMark;
        if (result.form.byteOrderMark) raw.remove_prefix(kByteOrderMark.size());
        result.form.lineEnd = PredominantLineEnd(raw);
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

namespace {

// `text` in Latin-1 with "\n" breaks made `lineEnd`, when every character fits
// and the bytes read back as the same text (bytes that happen to be UTF-8
// would be read as UTF-8).
std::optional<QByteArray> AsLatin1(const QString& text, const QByteArray& lineEnd) {
    QByteArray bytes;
    bytes.reserve(text.size() + text.size() / 16);
    bool nonAscii = false;
    for (const QChar c : text) {
        if (c == u'\n') {
            bytes += lineEnd;
        } else if (c.unicode() <= 0xFF) {
            nonAscii = nonAscii || c.unicode() >= 0x80;
            bytes += static_cast<char>(c.unicode());
        } else {
            return std::nullopt;
        }
    }
    if (nonAscii &&
        IsValidUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))))
        return std::nullopt;
    return bytes;
}

QByteArray LineEndBytes(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::CrLf:
            return QByteArrayLiteral("\r\n");
        case LineEnd::Cr:
            return QByteArrayLiteral("\r");
        case LineEnd::Lf:
            break;
    }
    return QByteArrayLiteral("\n");
}

}  // namespace

ScriptFileBytes EncodeScriptFile(const QString& editorText, const ScriptFileForm& form) {
    ScriptFileBytes result;
    if (form.document) {
        result.form = kScriptDocumentForm;
        const QByteArray text = EditorTextToScript(editorText);
        if (text.size() > static_cast<qsizetype>(kMaxScriptCharacters)) {
            // Such a document could not be opened again.
            result.error =
                QObject::tr("The script is longer than %1 characters.").arg(kMaxScriptCharacters);
            return result;
        }
        const std::vector<uint8_t> bytes = EncodeScriptDocument(
            std::string_view(text.constData(), static_cast<size_t>(text.size())));
        result.bytes = QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                  static_cast<qsizetype>(bytes.size()));
        return result;
    }
    result.form = form;
    const QByteArray lineEnd = LineEndBytes(form.lineEnd);
    std::optional<QByteArray> text;
    if (form.latin1) text = AsLatin1(editorText, lineEnd);
    if (!text) {
        result.form.latin1 = false;
        QByteArray utf8 = editorText.toUtf8();
        if (form.lineEnd != LineEnd::Lf) utf8.replace('\n', lineEnd);
        text = std::move(utf8);
    }
    if (form.byteOrderMark)
        text->prepend(kByteOrderMark.data(), static_cast<qsizetype>(kByteOrderMark.size()));
    if (static_cast<size_t>(text->size()) > kMaxScriptFileBytes) {
        // Such a file could not be opened again.
        result.error = QObject::tr("The script is larger than 16 MiB, which no script file is.");
        return result;
    }
    result.bytes = std::move(text);
    return result;
}

ScriptSaveResult SaveScriptFile(const std::string& nativePath, const QString& editorText,
                                const ScriptFileForm& form, FileSystemCalls& calls) {
    ScriptSaveResult result;
    ScriptFileBytes encoded = EncodeScriptFile(editorText, form);
    result.form = encoded.form;
    if (!encoded.bytes) {
        result.error = encoded.error;
        return result;
    }
    const auto* data = reinterpret_cast<const uint8_t*>(encoded.bytes->constData());
    const int failure = ReplaceFile(
        nativePath, std::span<const uint8_t>(data, static_cast<size_t>(encoded.bytes->size())),
        calls);
    if (failure != 0) {
        result.error =
            QObject::tr("Cannot save %1:\n%2").arg(ShownPath(nativePath), SystemReason(failure));
        return result;
    }
    result.saved = true;
    result.bytes = std::move(*encoded.bytes);
    return result;
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
    const ScriptSaveResult result =
        SaveScriptFile(nativePath, editorText, kScriptDocumentForm, calls);
    if (!result.saved && error) *error = result.error;
    return result.saved;
}

}  // namespace tarvil
