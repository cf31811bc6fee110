// Script files: the document format, plain text, what is refused, UTF-8 text
// and older Latin-1 files, saving in the form a file came in, names that are
// not UTF-8, and the File New template.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/new_script_template.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "engine/machine.h"

using namespace tarvil;

namespace {

// The names in a folder as the file system holds them.
std::vector<std::string> EntryNames(const QString& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace

class ScriptDocumentTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    static void writeBytes(const QString& file, const QByteArray& bytes) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    static QByteArray readBytes(const QString& file) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly)) return {};
        return in.readAll();
    }

private slots:
    void templateIs925CharactersIn46Lines() {
        QCOMPARE(NewScriptTemplate.size(), size_t{925});
        const QByteArray text(NewScriptTemplate.data(),
                              static_cast<qsizetype>(NewScriptTemplate.size()));
        QCOMPARE(text.count("\r\n"), 46);
        QCOMPARE(text.count('\n'), 46);  // no bare line feeds
        QVERIFY(text.startsWith("\r\n' Effect xxxxx.\r\n"));
        QVERIFY(text.endsWith("DspMes(\"End\")\r\n\r\n"));
        QVERIFY(text.contains("\r\nRGB      pix\r\n"));
        QVERIFY(text.contains("\r\n  For y=0 to 255\r\n     pix=GetPalette(Ibmp,y)\r\n"));
    }

    void savingAbcWritesCountThenText() {
        const QString file = path("abc.bas");
        QString error;
        QVERIFY(SaveScriptDocument(file, QStringLiteral("abc"), &error));
        QCOMPARE(readBytes(file), QByteArray("\x03\x00\x00\x00"
                                             "abc",
                                             7));
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(*loaded.text, QStringLiteral("abc"));
    }

    void roundTripKeepsEveryCharacter() {
        const QString text =
            QStringLiteral("line one\nl\u00EDne tw\u00F6 \u65E5\u672C \u20AC\n\n") +
            QString::fromUcs4(U"  indented\u00A0nbsp \U0001F600");
        const QString file = path("round.bas");
        QString error;
        QVERIFY2(SaveScriptDocument(file, text, &error), qPrintable(error));
        const QByteArray bytes = readBytes(file);
        // UTF-8, breaks stored as CR LF, and the count counts bytes.
        const QByteArray stored = text.toUtf8().replace("\n", "\r\n");
        QCOMPARE(bytes.mid(4), stored);
        QCOMPARE(static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(stored.size()));
        QCOMPARE(StoredLength(text), stored.size());
        QVERIFY(bytes.contains("l\xC3\xADne tw\xC3\xB6 \xE6\x97\xA5\xE6\x9C\xAC \xE2\x82\xAC\r\n"));
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(*loaded.text, text);
        QVERIFY(!loaded.readAsLatin1);
    }

    void typedTextSavesAndReopensUnchanged() {
        Machine machine;
        MainWindow window(machine);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ScriptEditor* editor = window.editor();
        // Typed as a keyboard layout gives them: one key press per character.
        for (const QChar c : QStringLiteral("f=\"citt\u00E0 \u20AC \u65E5\u672C")) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(editor, &press);
        }
        // An emoji comes as an input method's commit (one character, two UTF-16 units).
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUcs4(U"\U0001F600"));
        QCoreApplication::sendEvent(editor, &commit);
        QTest::keyClicks(editor, QStringLiteral("\""));
        QTest::keyClick(editor, Qt::Key_Return);
        const QString typed =
            QString::fromUcs4(U"f=\"citt\u00E0 \u20AC \u65E5\u672C\U0001F600\"\n");
        QCOMPARE(editor->text(), typed);
        const QString file = path("typed.bas");
        QVERIFY(window.saveFile(file));
        MainWindow reopened(machine);
        QString error;
        QVERIFY2(reopened.loadFile(file, &error), qPrintable(error));
        QCOMPARE(reopened.editor()->text(), typed);
        // A new script is saved as plain UTF-8 text.
        QCOMPARE(readBytes(file), typed.toUtf8());
    }

    void documentsThatAreNotUtf8AreReadAsLatin1_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("readAsLatin1");
        QTest::newRow("ASCII") << QByteArray("DspMes(1)\r\n") << QStringLiteral("DspMes(1)\n")
                               << false;
        QTest::newRow("UTF-8") << QByteArray("f=\"citt\xC3\xA0.bmp\"")
                               << QStringLiteral("f=\"citt\u00E0.bmp\"") << false;
        QTest::newRow("an older Latin-1 document")
            << QByteArray("f=\"citt\xE0.bmp\"\r\n' \xA9")
            << QStringLiteral("f=\"citt\u00E0.bmp\"\n' \u00A9") << true;
        // One byte that cannot be UTF-8 makes the whole text Latin-1.
        QTest::newRow("mixed") << QByteArray("\xC3\xA0 \xE0")
                               << QStringLiteral("\u00C3\u00A0 \u00E0") << true;
    }
    void documentsThatAreNotUtf8AreReadAsLatin1() {
        QFETCH(QByteArray, text);
        QFETCH(QString, shown);
        QFETCH(bool, readAsLatin1);
        const QString file = path("old.bas");
        const uint32_t count = static_cast<uint32_t>(text.size());
        writeBytes(file, QByteArray(reinterpret_cast<const char*>(&count), 4) + text);
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(*loaded.text, shown);
        QCOMPARE(loaded.readAsLatin1, readAsLatin1);

        // The window says so in its status bar, and saving writes UTF-8.
        Machine machine;
        MainWindow window(machine);
        QString error;
        QVERIFY2(window.loadFile(file, &error), qPrintable(error));
        QCOMPARE(window.editor()->text(), shown);
        QCOMPARE(window.statusBar()->currentMessage(),
                 readAsLatin1 ? QStringLiteral("old.bas: not UTF-8, read as Latin-1 (ISO 8859-1)")
                              : QStringLiteral("Ready"));
        QVERIFY(window.save());
        QCOMPARE(readBytes(file).mid(4), EditorTextToScript(shown));
        QCOMPARE(QString::fromUtf8(readBytes(file).mid(4)).replace("\r\n", "\n"), shown);
    }

    void nameThatIsNotUtf8OpensAndSavesInPlace() {
        // A name in Latin-1, as an older system wrote it: no QString names it.
        QTemporaryDir dir;
        const std::string name = QFile::encodeName(dir.path()).toStdString() + "/citt\xE0.bas";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "\x03\0\0\0abc", 7), ssize_t{7});
        ::close(fd);
        Machine machine;
        MainWindow window(machine);
        QString error;
        QVERIFY2(window.loadFile(name, &error), qPrintable(error));
        QCOMPARE(window.editor()->text(), QStringLiteral("abc"));
        QCOMPARE(QFileInfo(window.currentFile()).fileName(), QStringLiteral("citt\u00E0.bas"));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("citt\u00E0.bas")));
        window.editor()->loadText(QStringLiteral("\u65E5"));
        QVERIFY(window.save());
        char stored[16] = {};
        const int in = ::open(name.c_str(), O_RDONLY);
        QVERIFY(in >= 0);
        QCOMPARE(::read(in, stored, sizeof stored), ssize_t{7});
        ::close(in);
        QCOMPARE(QByteArray(stored, 7), QByteArray("\x03\0\0\0\xE6\x97\xA5", 7));
        // The same file, and no temporary beside it (QDir does not list such names).
        QCOMPARE(EntryNames(dir.path()), std::vector<std::string>{"citt\xE0.bas"});
        ::unlink(name.c_str());  // QTemporaryDir cannot remove it
    }

    // What batch mode runs opens; what it refuses is "Unexpected file format.".
    void opensWhatBatchModeReads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("document");
        QTest::addColumn<bool>("latin1");
        QTest::addColumn<int>("lineEnd");
        QTest::addColumn<bool>("byteOrderMark");
        const int lf = int(LineEnd::Lf), crlf = int(LineEnd::CrLf), cr = int(LineEnd::Cr);
        QTest::newRow("a script document")
            << QByteArray("\x0E\x00\x00\x00x=1\r\nDspMes(x)", 18) << true
            << QStringLiteral("x=1\nDspMes(x)") << true << false << lf << false;
        QTest::newRow("plain text, CR LF")
            << QByteArray("Dspmes(\"hello\")\r\n") << true << QStringLiteral("Dspmes(\"hello\")\n")
            << false << false << crlf << false;
        QTest::newRow("plain text, LF")
            << QByteArray("x=1\ny=2\n") << true << QStringLiteral("x=1\ny=2\n") << false << false
            << lf << false;
        QTest::newRow("plain text, CR")
            << QByteArray("x=1\ry=2") << true << QStringLiteral("x=1\ny=2") << false << false << cr
            << false;
        QTest::newRow("mixed line ends: the most used")
            << QByteArray("a\nb\r\nc\r\nd\r") << true << QStringLiteral("a\nb\nc\nd\n") << false
            << false << crlf << false;
        QTest::newRow("mixed line ends, a tie: the first")
            << QByteArray("a\rb\nc") << true << QStringLiteral("a\nb\nc") << false << false << cr
            << false;
        QTest::newRow("a UTF-8 byte-order mark")
            << QByteArray("\xEF\xBB\xBF' \xE2\x82\xAC\n") << true << QStringLiteral("' \u20AC\n")
            << false << false << lf << true;
        QTest::newRow("Latin-1 plain text")
            << QByteArray("f=\"citt\xE0\"\n") << true << QStringLiteral("f=\"citt\u00E0\"\n")
            << false << true << lf << false;
        QTest::newRow("an empty file")
            << QByteArray() << true << QString() << false << false << lf << false;
        QTest::newRow("a count over the editor limit is plain text")
            << (QByteArray("\x00\x00\x10\x00", 4) + "abc") << true
            << (QString(2, QChar(0)) + QChar(0x10) + QChar(0) + QStringLiteral("abc")) << false
            << false << lf << false;
        QTest::newRow("a document of UTF-16 text")
            << QByteArray(
                   "\x04\x00\x00\x00"
                   "a\x00"
                   "b\x00",
                   8)
            << false << QString() << false << false << lf << false;
        QTest::newRow("UTF-16 text with its byte-order mark")
            << QByteArray(
                   "\xFF\xFE"
                   "x\x00"
                   "=\x00"
                   "1\x00",
                   8)
            << false << QString() << false << false << lf << false;
        QTest::newRow("UTF-32 text") << QByteArray("x\x00\x00\x00=\x00\x00\x00", 8) << false
                                     << QString() << false << false << lf << false;
        // Short files of a letter and a NUL read as UTF-16, in batch mode too.
        QTest::newRow("a count past the end")
            << QByteArray(
                   "\x05\x00\x00\x00"
                   "abc",
                   7)
            << false << QString() << false << false << lf << false;
    }
    void opensWhatBatchModeReads() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        QFETCH(QString, text);
        QFETCH(bool, document);
        QFETCH(bool, latin1);
        QFETCH(int, lineEnd);
        QFETCH(bool, byteOrderMark);
        const QString file = path("script.bas");
        writeBytes(file, bytes);
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QCOMPARE(loaded.text.has_value(), opens);
        if (!opens) {
            QCOMPARE(loaded.error, QStringLiteral("Unexpected file format."));
            return;
        }
        QCOMPARE(*loaded.text, text);
        QCOMPARE(loaded.form.document, document);
        QCOMPARE(loaded.form.latin1, latin1);
        QCOMPARE(loaded.readAsLatin1, latin1);
        if (!document) {
            QCOMPARE(int(loaded.form.lineEnd), lineEnd);
            QCOMPARE(loaded.form.byteOrderMark, byteOrderMark);
        }
    }

    void filesOver16MiBAreRefused() {
        // Batch mode's limit: 16 MiB open, a byte more does not.
        const QString file = path("large.txt");
        QByteArray lines;
        while (lines.size() < (16 << 20)) lines += QByteArray(63, '\'') + '\n';
        lines.truncate(16 << 20);
        writeBytes(file, lines);
        QVERIFY(LoadScriptFile(file).text.has_value());
        {
            QFile grow(file);
            QVERIFY(grow.open(QIODevice::Append));
            grow.write("x");
        }
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QVERIFY(!loaded.text.has_value());
        QCOMPARE(loaded.error, QStringLiteral("Unexpected file format."));
        // A folder is no script either.
        QVERIFY(LoadScriptFile(m_dir.path()).error.contains(m_dir.path()));
    }

    // Save writes a file back in the form it was opened in.
    void savesInTheFormItCameIn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("status");
        QTest::newRow("LF") << "a.bas" << QByteArray("a\nb\n") << QStringLiteral("a\nb\nc\n")
                            << QByteArray("a\nb\nc\n") << QString();
        QTest::newRow("CR LF") << "a.bas" << QByteArray("a\r\nb") << QStringLiteral("a\nb\nc")
                               << QByteArray("a\r\nb\r\nc") << QString();
        QTest::newRow("CR") << "a.txt" << QByteArray("a\rb\r") << QStringLiteral("a\nb\nc\n")
                            << QByteArray("a\rb\rc\r") << QString();
        QTest::newRow("mixed: the most used")
            << "a.bas" << QByteArray("a\r\nb\nc\r\n") << QStringLiteral("a\nb\nc\nd")
            << QByteArray("a\r\nb\r\nc\r\nd") << QString();
        QTest::newRow("a byte-order mark stays") << "a.bas"
                                                 << QByteArray(
                                                        "\xEF\xBB\xBF"
                                                        "a\n")
                                                 << QStringLiteral("a\nb")
                                                 << QByteArray(
                                                        "\xEF\xBB\xBF"
                                                        "a\nb")
                                                 << QString();
        QTest::newRow("Latin-1 stays Latin-1")
            << "old.bas" << QByteArray("f=\"citt\xE0\"\r\n")
            << QStringLiteral("f=\"citt\u00E0\"\n' \u00E8")
            << QByteArray("f=\"citt\xE0\"\r\n' \xE8") << QString();
        QTest::newRow("Latin-1 gaining a euro sign")
            << "old.bas" << QByteArray("f=\"citt\xE0\"\n")
            << QStringLiteral("f=\"citt\u00E0\"\n' \u20AC")
            << QByteArray("f=\"citt\xC3\xA0\"\n' \xE2\x82\xAC")
            << QStringLiteral("old.bas: saved in UTF-8, as it holds characters that Latin-1 lacks");
        // C3 A9 would read back as the UTF-8 of one character.
        QTest::newRow("Latin-1 that would read as UTF-8")
            << "old.bas" << QByteArray("\xE0\n") << QStringLiteral("\u00C3\u00A9\n")
            << QByteArray("\xC3\x83\xC2\xA9\n")
            << QStringLiteral("old.bas: saved in UTF-8, as it holds characters that Latin-1 lacks");
        QTest::newRow("a script document") << "doc.bas"
                                           << QByteArray(
                                                  "\x03\x00\x00\x00"
                                                  "abc",
                                                  7)
                                           << QStringLiteral("abc\nd")
                                           << QByteArray(
                                                  "\x06\x00\x00\x00"
                                                  "abc\r\nd",
                                                  10)
                                           << QString();
        QTest::newRow("an older Latin-1 document")
            << "doc.bas"
            << QByteArray(
                   "\x02\x00\x00\x00\xE0"
                   "b",
                   6)
            << QStringLiteral("\u00E0bc")
            << QByteArray(
                   "\x04\x00\x00\x00\xC3\xA0"
                   "bc",
                   8)
            << QStringLiteral("doc.bas: saved in UTF-8, as script documents are");
    }
    void savesInTheFormItCameIn() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, edited);
        QFETCH(QByteArray, saved);
        QFETCH(QString, status);
        const QString file = path(name);
        writeBytes(file, bytes);
        Machine machine;
        MainWindow window(machine);
        QString error;
        QVERIFY2(window.loadFile(file, &error), qPrintable(error));
        window.editor()->replaceText(edited);
        QVERIFY(window.save());
        QCOMPARE(readBytes(file), saved);
        if (!status.isEmpty()) {
            QCOMPARE(window.statusBar()->currentMessage(), status);
        } else {
            QVERIFY(
                !window.statusBar()->currentMessage().contains(QStringLiteral("saved in UTF-8")));
        }
        // It reads back as it was typed, and saving again changes nothing.
        const ScriptLoadResult reloaded = LoadScriptFile(file);
        QVERIFY(reloaded.text.has_value());
        QCOMPARE(*reloaded.text, edited);
        QCOMPARE(reloaded.form, window.currentForm());
        window.editor()->document()->setModified(true);
        QVERIFY(window.save());
        QCOMPARE(readBytes(file), saved);
    }

    void acceptsTheLargestDocumentAndIgnoresTrailingBytes() {
        const QString file = path("big.bas");
        writeBytes(file, QByteArray("\xFF\xFF\x0F\x00", 4) + QByteArray(0xFFFFF, 'y') + "trailing");
        const ScriptLoadResult loaded = LoadScriptFile(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(loaded.text->size(), 0xFFFFF);
        QVERIFY(!loaded.text->contains(u't'));
    }

    void missingFileIsReportedWithItsName() {
        const ScriptLoadResult loaded = LoadScriptFile(path("missing.bas"));
        QVERIFY(!loaded.text.has_value());
        QVERIFY(loaded.error.contains(QStringLiteral("missing.bas")));
    }

    void failedSaveLeavesTheOldFile() {
        const QString file = path("keep.bas");
        QString error;
        QVERIFY(SaveScriptDocument(file, QStringLiteral("old"), &error));
        // A text too long for the format is refused before anything is written.
        QVERIFY(!SaveScriptDocument(file, QString(0x100000, u'z'), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readBytes(file), QByteArray("\x03\x00\x00\x00"
                                             "old",
                                             7));
        // An unwritable place is reported.
        QVERIFY(!SaveScriptDocument(path("no/such/folder/x.bas"), QStringLiteral("x"), &error));
    }

    void runTextIsTheWholeText() {
        QCOMPARE(RunText(QStringLiteral("a\nb")), QByteArray("a\r\nb"));
        // Breaks count as the two characters they are stored as; nothing is cut.
        const QByteArray lines = RunText(QString(20000, u'\n') + QStringLiteral("abc\u20AC"));
        QCOMPARE(lines.size(), 40006);
        QVERIFY(lines.endsWith("\r\nabc\xE2\x82\xAC"));
        QCOMPARE(RunText(QString(100000, u'x')), QByteArray(100000, 'x'));
    }
};

QTEST_MAIN(ScriptDocumentTest)
#include "script_document_test.moc"
