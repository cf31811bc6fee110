// The open script's file changed by another program: the window offers to
// reload it (asking first when that would lose changes), says when it is
// gone, and stays quiet about its own saves and about a rewrite that leaves
// the bytes as they were.
#include <unistd.h>

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/script_editor.h"
#include "app/script_file_watcher.h"
#include "engine/machine.h"
#include "gui_test_support.h"

using namespace tarvil;

namespace {

enum class Outside { Rewrite, RewriteSame, ReplaceByRename, Delete, RemoveAndWrite, OwnSave };

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace

class FileWatchTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    QString m_file;

private slots:
    void init() {
        m_file = m_dir.filePath(QStringLiteral("watched.bas"));
        WriteFile(m_file, "a=1\n");
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_window->fileWatcher()->setSettleDelay(50);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QString error;
        QVERIFY2(m_window->loadFile(m_file, &error), qPrintable(error));
    }
    void cleanup() {
        m_window->editor()->document()->setModified(false);
        m_window.reset();
        m_machine.reset();
    }

    void answersAChangeOnDisk_data() {
        QTest::addColumn<int>("outside");
        QTest::addColumn<bool>("modified");  // the document has changes of its own
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("asked");  // the box's text, or "" for none
        QTest::addColumn<QString>("text");   // the editor's text afterwards
        QTest::addColumn<bool>("modifiedAfter");
        const QString reload = QStringLiteral(
            "watched.bas has been changed by another program.\n"
            "Reload it?");
        const QString reloadAndLose = QStringLiteral(
            "watched.bas has been changed by another program.\n"
            "Reload it and lose the changes made here?");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, ok = QMessageBox::Ok;
        QTest::newRow("rewritten, reloaded")
            << int(Outside::Rewrite) << false << yes << reload << QStringLiteral("a=2\n") << false;
        QTest::newRow("rewritten, kept")
            << int(Outside::Rewrite) << false << no << reload << QStringLiteral("a=1\n") << true;
        QTest::newRow("replaced by a rename, as editors save")
            << int(Outside::ReplaceByRename) << false << yes << reload << QStringLiteral("a=2\n")
            << false;
        QTest::newRow("modified here, reloaded")
            << int(Outside::Rewrite) << true << yes << reloadAndLose << QStringLiteral("a=2\n")
            << false;
        QTest::newRow("modified here, kept") << int(Outside::Rewrite) << true << no << reloadAndLose
                                             << QStringLiteral("a=1\nb=1") << true;
        // A checkout removes the file and writes it again.
        QTest::newRow("removed and written again") << int(Outside::RemoveAndWrite) << false << yes
                                                   << reload << QStringLiteral("a=2\n") << false;
        QTest::newRow("deleted") << int(Outside::Delete) << false << ok
                                 << QStringLiteral(
                                        "watched.bas has been deleted or moved by "
                                        "another program.\nThe script stays here; save "
                                        "it to write the file again.")
                                 << QStringLiteral("a=1\n") << true;
        QTest::newRow("rewritten with the same bytes")
            << int(Outside::RewriteSame) << false << ok << QString() << QStringLiteral("a=1\n")
            << false;
        QTest::newRow("our own save") << int(Outside::OwnSave) << true << ok << QString()
                                      << QStringLiteral("a=1\nb=1") << false;
    }
    void answersAChangeOnDisk() {
        QFETCH(int, outside);
        QFETCH(bool, modified);
        QFETCH(int, answer);
        QFETCH(QString, asked);
        QFETCH(QString, text);
        QFETCH(bool, modifiedAfter);
        if (modified) {
            m_window->editor()->moveCursor(QTextCursor::End);
            QTest::keyClicks(m_window->editor(), "b=1");
        }
        auto seen = testing::AnswerNextMessageBox(static_cast<QMessageBox::StandardButton>(answer));
        switch (static_cast<Outside>(outside)) {
            case Outside::Rewrite:
                WriteFile(m_file, "a=2\n");
                break;
            case Outside::RewriteSame:
                WriteFile(m_file, "a=1\n");
                break;
            case Outside::ReplaceByRename: {
                const QString temporary = m_dir.filePath(QStringLiteral(".watched.bas.new"));
                WriteFile(temporary, "a=2\n");
                QCOMPARE(::rename(QFile::encodeName(temporary).constData(),
                                  QFile::encodeName(m_file).constData()),
                         0);
                break;
            }
            case Outside::Delete:
                QVERIFY(QFile::remove(m_file));
                break;
            case Outside::RemoveAndWrite:
                QVERIFY(QFile::remove(m_file));
                WriteFile(m_file, "a=2\n");
                break;
            case Outside::OwnSave:
                QVERIFY(m_window->save());
                break;
        }
        if (asked.isEmpty()) {
            QTest::qWait(1000);
            QVERIFY2(!seen->seen, qPrintable(seen->text));
            seen->watch->stop();
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(seen->seen, 5000);
            QCOMPARE(seen->text, asked);
        }
        QCOMPARE(m_window->editor()->text(), text);
        QCOMPARE(m_window->editor()->document()->isModified(), modifiedAfter);
        QCOMPARE(m_window->currentFile(), m_file);
    }

    void noticesEveryChangeInTurn() {
        // The watch follows the file through reloads and through files
        // renamed over it.
        for (const QByteArray& text : {QByteArray("a=2\n"), QByteArray("a=3\n")}) {
            auto seen = testing::AnswerNextMessageBox(QMessageBox::Yes);
            const QString temporary = m_dir.filePath(QStringLiteral("new.tmp"));
            WriteFile(temporary, text);
            QCOMPARE(::rename(QFile::encodeName(temporary).constData(),
                              QFile::encodeName(m_file).constData()),
                     0);
            QTRY_VERIFY_WITH_TIMEOUT(seen->seen, 5000);
            QCOMPARE(m_window->editor()->text(), QString::fromLatin1(text));
            // As a window manager gives the focus back once the box is closed.
            m_window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        }
        // An untitled document watches nothing.
        m_window->newScript();
        auto seen = testing::AnswerNextMessageBox();
        WriteFile(m_file, "a=4\n");
        QTest::qWait(1000);
        QVERIFY(!seen->seen);
        seen->watch->stop();
    }

    void waitsForTheWindowToBeActive() {
        // Not while the user works in another program: once he is back.
        auto* other = new QWidget;
        other->show();
        other->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(other));
        auto seen = testing::AnswerNextMessageBox(QMessageBox::Yes);
        WriteFile(m_file, "a=2\n");
        QTest::qWait(1000);
        QVERIFY(!seen->seen);
        m_window->activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(seen->seen, 5000);
        QCOMPARE(m_window->editor()->text(), QStringLiteral("a=2\n"));
        delete other;
    }

    void waitsForTheRunToEnd() {
        // Not asked during a run: once it has ended.
        m_machine->RunInProgress = true;
        auto seen = testing::AnswerNextMessageBox(QMessageBox::Yes);
        WriteFile(m_file, "a=2\n");
        QTest::qWait(1000);
        QVERIFY(!seen->seen);
        m_machine->RunInProgress = false;
        QTRY_VERIFY_WITH_TIMEOUT(seen->seen, 5000);
        QCOMPARE(m_window->editor()->text(), QStringLiteral("a=2\n"));
    }
};

QTEST_MAIN(FileWatchTest)
#include "file_watch_test.moc"
