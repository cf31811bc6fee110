#include "app/script_document.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <span>

#include "engine/script_file.h"
#include "image/file_access.h"
#include "runtime_ui/latin1_text.h"

namespace tarvil {

QByteArray EditorTextToScript(const QString& editorText) {
    const QByteArray latin1 = ToLatin1Lossy(editorText);
    const std::string crlf =
        ToCrLf(std::string_view(latin1.constData(), static_cast<size_t>(latin1.size())));
    return QByteArray(crlf.data(), static_cast<qsizetype>(crlf.size()));
}

QString ScriptToEditorText(const QByteArray& latin1) {
    QString text = QString::fromLatin1(latin1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

ScriptLoadResult LoadScriptDocument(const QString& path) {
    ScriptLoadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QObject::tr("Cannot open %1:\n%2")
                           .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    // A document holds at most 4 + 1,048,575 bytes that count; the rest is ignored.
    const QByteArray bytes = file.read(4 + static_cast<qint64>(kMaxScriptCharacters));
    if (file.error() != QFileDevice::NoError) {
        result.error = QObject::tr("Cannot read %1:\n%2")
                           .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    const auto text = DecodeScriptDocument(std::span<const uint8_t>(
        reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())));
    if (!text) {
        result.error = QString::fromLatin1(kUnexpectedFileFormat);
        return result;
    }
    result.text =
        ScriptToEditorText(QByteArray(text->data(), static_cast<qsizetype>(text->size())));
    return result;
}

bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error) {
    FileSystemCalls system;
    return SaveScriptDocument(path, editorText, error, system);
}

bool SaveScriptDocument(const QString& path, const QString& editorText, QString* error,
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
        QFile::encodeName(path).toStdString(),
        std::string_view(text.constData(), static_cast<size_t>(text.size())), calls);
    if (failure != 0) {
        if (error)
            *error = QObject::tr("Cannot save %1:\n%2")
                         .arg(QDir::toNativeSeparators(path),
                              QString::fromLocal8Bit(std::strerror(failure)));
        return false;
    }
    return true;
}

}  // namespace tarvil
