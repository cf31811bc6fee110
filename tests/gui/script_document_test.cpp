// Script documents: the file format, its refusals, the Latin-1 conversion and
// the File New template.
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/new_script_template.h"
#include "app/script_document.h"

using namespace tarvil;

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

    void roundTripKeepsLinesAndLatin1() {
        const QString text = QStringLiteral("line one\nl\u00EDne tw\u00F6\n\n  indented\u00A0nbsp");
        const QString file = path("round.bas");
        QString error;
        QVERIFY2(SaveScriptDocument(file, text, &error), qPrintable(error));
        const QByteArray bytes = readBytes(file);
        // Breaks are stored as CR LF and counted: 36 characters of text + 3 extra CRs.
        QCOMPARE(bytes.size(), 4 + text.size() + 3);
        QCOMPARE(static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(text.size() + 3));
        QVERIFY(bytes.contains("l\xEDne tw\xF6\r\n\r\n"));
        const ScriptLoadResult loaded = LoadScriptDocument(file);
        QVERIFY(loaded.text.has_value());
        QCOMPARE(*loaded.text, text);
    }

    void charactersOutsideLatin1BecomeQuestionMarks() {
        // A euro sign, a CJK character and an emoji (a surrogate pair): one "?" each.
        const QString text =
            QStringLiteral("a\u20ACb\u4E2Dc") + QString::fromUcs4(U"\U0001F600") + "d";
        QCOMPARE(EditorTextToScript(text), QByteArray("a?b?c?d"));
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
    }
};

QTEST_MAIN(ScriptDocumentTest)
#include "script_document_test.moc"
