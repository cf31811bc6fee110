// The desktop's text limits at their edges, through the main window: the Run
// command hands the engine the whole editor text, however long, and a script
// document of 1,048,575 characters opens while a count of 1,048,576 makes the
// file plain text, as batch mode reads it.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "../unit/fake_host.h"
#include "app/main_window.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "engine/machine.h"

using namespace tarvil;

namespace {

// Comment lines, then `lastLine`, so that the text as stored (CR LF breaks) is
// `storedLength` characters long.
QString ScriptEndingWith(const QString& lastLine, qsizetype storedLength) {
    QString text;
    const qsizetype fillerLength = storedLength - lastLine.size();
    while (StoredLength(text) + 60 < fillerLength) text += QString(58, u'\'') + u'\n';
    text += QString(fillerLength - StoredLength(text) - 2, u'\'') + u'\n';
    text += lastLine;
    return text;
}

QByteArray DocumentBytes(uint32_t count, const QByteArray& text) {
    QByteArray bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes.append(static_cast<char>(count >> shift));
    return bytes + text;
}

}  // namespace

class EditorLimitsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<testing::FakeHost> m_host;
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_runTexts;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    static void writeBytes(const QString& file, const QByteArray& bytes) {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), bytes.size());
    }
    static QByteArray readBytes(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

private slots:
    void init() {
        m_host = std::make_unique<testing::FakeHost>();
        m_machine = std::make_unique<Machine>(m_host.get());
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_runTexts.clear();
        m_window->setScriptRunner([this](std::string_view text) {
            m_runTexts.emplace_back(text);
            return RunScript(*m_machine, text);
        });
    }
    void cleanup() {
        m_window->editor()->document()->setModified(false);
        m_window.reset();
        m_machine.reset();
        m_host.reset();
    }

    void runHandsOverTheWholeText_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("messages");
        const QString lastLine = QStringLiteral("DspMes(7)");
        const QString fits = ScriptEndingWith(lastLine, 16383);
        QTest::newRow("16,383 characters") << fits << QStringList{"7"};
        QTest::newRow("a break after the 16,383rd") << fits + u'\n' << QStringList{"7"};
        // The closing bracket is the 16,384th character: it runs too.
        QTest::newRow("16,384 characters")
            << ScriptEndingWith(QStringLiteral("DspMes(77)"), 16384) << QStringList{"77"};
        QTest::newRow("a line across the 16,383rd")
            << ScriptEndingWith(lastLine, 16382) + QStringLiteral("\nDspMes(8)")
            << QStringList{"7", "8"};
        // Far longer: the end of the script runs as its start does.
        QTest::newRow("a script of 200,000 characters")
            << ScriptEndingWith(lastLine, 200000) + QStringLiteral("\nDspMes(8)")
            << QStringList{"7", "8"};
    }
    void runHandsOverTheWholeText() {
        QFETCH(QString, script);
        QFETCH(QStringList, messages);
        m_window->editor()->loadText(script);
        m_window->runScript();
        QCOMPARE(m_runTexts.size(), size_t{1});
        QCOMPARE(static_cast<qsizetype>(m_runTexts.front().size()), StoredLength(script));
        QStringList shown;
        for (const std::string& message : m_host->messages)
            shown << QString::fromStdString(message);
        QCOMPARE(shown, messages);
        QCOMPARE(m_window->editor()->text(), script);
    }

    void largestDocumentOpensAndSavesUnchanged() {
        // CR LF pairs count as the two characters they are.
        QByteArray text;
        while (text.size() + 64 < 0xFFFFF) text += QByteArray(62, 'a') + "\r\n";
        text += QByteArray(0xFFFFF - text.size(), 'z');
        QCOMPARE(text.size(), 0xFFFFF);
        const QString file = path("largest.bas");
        writeBytes(file, DocumentBytes(0xFFFFF, text));
        QString error;
        QVERIFY2(m_window->loadFile(file, &error), qPrintable(error));
        QCOMPARE(m_window->editor()->storedLength(), kEditorCharacterLimit);
        QCOMPARE(m_window->currentFile(), file);
        // Full: typing adds nothing.
        m_window->editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(m_window->editor(), "q");
        QCOMPARE(m_window->editor()->storedLength(), kEditorCharacterLimit);
        QVERIFY(m_window->saveFile(file));
        QCOMPARE(readBytes(file), DocumentBytes(0xFFFFF, text));
    }

    void documentOneCharacterLongerIsPlainText() {
        // Its count does not fit: batch mode reads the file as plain text, a
        // NUL on its first line, and so does the editor.
        m_window->editor()->loadText(QStringLiteral("kept"));
        const QString file = path("too_long.bas");
        writeBytes(file, DocumentBytes(0x100000, QByteArray(0x100000, 'a')));
        QString error;
        QVERIFY2(m_window->loadFile(file, &error), qPrintable(error));
        QCOMPARE(m_window->editor()->text().size(), 4 + 0x100000);
        QVERIFY(m_window->editor()->text().endsWith(QStringLiteral("aaa")));
        QVERIFY(!m_window->currentForm().document);
        QCOMPARE(m_window->currentFile(), file);
    }

    void largestDocumentWithLoneLineFeedsOpensButSavesOnlyOnceShortened() {
        // Lone LFs are one character in the file but become CR LF on saving:
        // such a document opens, and saving it says why it cannot be stored
        // until it is shortened, leaving the file as it was.
        QByteArray text;
        while (text.size() + 8 < 0xFFFFF) text += QByteArray(7, 'b') + "\n";
        text += QByteArray(0xFFFFF - text.size(), 'z');
        const QString file = path("lone_lf.bas");
        const QByteArray bytes = DocumentBytes(0xFFFFF, text);
        writeBytes(file, bytes);
        QString error;
        QVERIFY2(m_window->loadFile(file, &error), qPrintable(error));
        QVERIFY(m_window->editor()->storedLength() > kEditorCharacterLimit);
        QVERIFY(!SaveScriptDocument(file, m_window->editor()->text(), &error));
        QCOMPARE(error, QStringLiteral("The script is longer than 1048575 characters."));
        QCOMPARE(readBytes(file), bytes);
    }

    void theLimitCountsUtf8Bytes_data() {
        QTest::addColumn<int>("room");  // bytes left below the limit
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("a letter in the last byte") << 1 << QStringLiteral("a") << true;
        QTest::newRow("two bytes, one left") << 1 << QStringLiteral("\u00E0") << false;
        QTest::newRow("two bytes, two left") << 2 << QStringLiteral("\u00E0") << true;
        QTest::newRow("three bytes, two left") << 2 << QStringLiteral("\u20AC") << false;
        QTest::newRow("three bytes, three left") << 3 << QStringLiteral("\u20AC") << true;
        QTest::newRow("four bytes, three left") << 3 << QString::fromUcs4(U"\U0001F600") << false;
        QTest::newRow("four bytes, four left") << 4 << QString::fromUcs4(U"\U0001F600") << true;
    }
    void theLimitCountsUtf8Bytes() {
        QFETCH(int, room);
        QFETCH(QString, typed);
        QFETCH(bool, taken);
        // Mostly three-byte characters, so that the text is far shorter in
        // characters than in bytes.
        const QString line = QString(40, u'\u65E5') + u'\n';
        const qsizetype lines = (kEditorCharacterLimit - 200) / StoredLength(line);
        QString text = line.repeated(lines);
        text += QString(kEditorCharacterLimit - room - lines * StoredLength(line), u'x');
        ScriptEditor* editor = m_window->editor();
        editor->loadText(text);
        QCOMPARE(editor->storedLength(), kEditorCharacterLimit - room);
        editor->moveCursor(QTextCursor::End);
        QInputMethodEvent commit;
        commit.setCommitString(typed);
        QCoreApplication::sendEvent(editor, &commit);
        QCOMPARE(editor->text().endsWith(typed), taken);
        QVERIFY(editor->storedLength() <= kEditorCharacterLimit);
        // What the editor holds saves to a document that opens again.
        const QString file = path("bytes.bas");
        QVERIFY(m_window->saveFile(file.toStdString(), kScriptDocumentForm));
        QCOMPARE(readBytes(file).size(), 4 + editor->storedLength());
        QVERIFY(LoadScriptFile(file).form.document);
    }

    void editorTextOverTheLimitIsNotSaved() {
        // A text can only get this long through code; the save refuses it rather
        // than write a document that would not open again.
        const QString file = path("limit.bas");
        QString error;
        QVERIFY(SaveScriptDocument(file, QStringLiteral("old"), &error));
        const QByteArray old = readBytes(file);
        QVERIFY(
            !SaveScriptDocument(file, QString(kEditorCharacterLimit - 1, u'x') + u'\n', &error));
        QCOMPARE(error, QStringLiteral("The script is longer than 1048575 characters."));
        QCOMPARE(readBytes(file), old);
        QVERIFY(SaveScriptDocument(file, QString(kEditorCharacterLimit - 2, u'x') + u'\n', &error));
        QCOMPARE(readBytes(file).size(), 4 + 0xFFFFF);
        // Bytes are counted: 0x7FFFF two-byte characters fit, one more does not.
        QVERIFY(SaveScriptDocument(file, QString(0x7FFFF, u'\u00E0') + u'x', &error));
        QCOMPARE(readBytes(file).size(), 4 + 0xFFFFF);
        QVERIFY(!SaveScriptDocument(file, QString(0x80000, u'\u00E0'), &error));
        QCOMPARE(error, QStringLiteral("The script is longer than 1048575 characters."));
    }
};

QTEST_MAIN(EditorLimitsTest)
#include "editor_limits_test.moc"
