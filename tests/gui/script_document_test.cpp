// Script documents: the file format, its refusals, UTF-8 text and older
// Latin-1 documents, names that are not UTF-8, and the File New template.
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
        const ScriptLoadResult loaded = LoadScriptDocument(file);
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
        const ScriptLoadResult loaded = LoadScriptDocument(file);
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
        QCOMPARE(reopened.editor()->storedLength(), readBytes(file).size() - 4);
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
        const ScriptLoadResult loaded = LoadScriptDocument(file);
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

    void refusesFilesThatAreNotScriptDocuments_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain text") << QByteArray("Dspmes(\"hello\")\r\n");
        QTest::newRow("count beyond the end") << QByteArray(
            "\x05\x00\x00\x00"
            "abc",
            7);
        QTest::newRow("count over the editor limit")
            << (QByteArray("\x00\x00\x10\x00", 4) + QByteArray(0x100000, 'x'));
        QTest::newRow("shorter than a count") << QByteArray("\x01\x00", 2);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("a document of UTF-16 text") << QByteArray(
            "\x04\x00\x00\x00"
            "a\x00"
            "b\x00",
            8);
    }
    void refusesFilesThatAreNotScriptDocuments() {
        QFETCH(QByteArray, bytes);
        const QString file = path("bad.bas");
        writeBytes(file, bytes);
        const ScriptLoadResult loaded = LoadScriptDocument(file);
        QVERIFY(!loaded.text.has_value());
        QCOMPARE(loaded.error, QStringLiteral("Unexpected file format."));
    }

    void acceptsTheLargestDocumentAndIgnoresTrailingBytes() {
        const QString file = path("big.bas");
        writeBytes(file, QByteArray("\xFF\xFF\x0F\x00", 4) + QByteArray(0xFFFFF, 'y') + "trailing");
        const ScriptLoadResult loaded = LoadScriptDocument(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(loaded.text->size(), 0xFFFFF);
        QVERIFY(!loaded.text->contains(u't'));
    }

    void missingFileIsReportedWithItsName() {
        const ScriptLoadResult loaded = LoadScriptDocument(path("missing.bas"));
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

    void runTextIsCappedAt16383Characters() {
        QCOMPARE(RunText(QStringLiteral("a\nb")), QByteArray("a\r\nb"));
        const QByteArray longText = RunText(QString(20000, u'x'));
        QCOMPARE(longText.size(), 16383);
        // Breaks count as the two characters they are stored as.
        const QByteArray lines = RunText(QString(8191, u'\n') + QStringLiteral("abc"));
        QCOMPARE(lines.size(), 16383);
        QVERIFY(lines.endsWith("\r\na"));
        // A cut never falls inside a character: the euro sign's three bytes
        // would end at the 16,384th, so it is left out whole.
        const QByteArray euro = RunText(QString(16381, u'x') + QStringLiteral("\u20ACy"));
        QCOMPARE(euro, QByteArray(16381, 'x'));
        QCOMPARE(RunText(QString(16380, u'x') + QStringLiteral("\u20ACy")),
                 QByteArray(16380, 'x') + "\xE2\x82\xAC");
        const QByteArray emoji = RunText(QString(16380, u'x') + QString::fromUcs4(U"\U0001F600"));
        QCOMPARE(emoji, QByteArray(16380, 'x'));
    }
};

QTEST_MAIN(ScriptDocumentTest)
#include "script_document_test.moc"
