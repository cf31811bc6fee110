// Unsaved changes survive a crash: a modified document is written to a
// private recovery file a few seconds after typing pauses (and every few
// seconds while it goes on), a clean save or close removes the file, and an
// instance that ended otherwise (destroyed without closing, or killed with
// SIGKILL) has its changes offered at the next start, never those of an
// instance that still runs.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <cstring>

#include "app/document_autosave.h"
#include "app/main_window.h"
#include "app/recovery_dialog.h"
#include "app/recovery_store.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "gui_test_support.h"
#include "runtime_ui/engine_text.h"

using namespace tarvil;

namespace {

constexpr auto kKilledInstance = "--instance-to-kill";

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList RecoveryFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.recovery")}, QDir::Files);
}

int Mode(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
    return static_cast<int>(info.st_mode & 07777);
}

// A window with a recovery store, its autosave quick enough for a test.
struct Instance {
    Machine machine;
    RecoveryStore store;
    MainWindow window;
    explicit Instance(const QString& folder) : store(folder), window(machine) {
        window.setRecoveryStore(&store);
        window.autosave()->setDelays(50, 200);
    }
    void type(const QString& text) {
        window.editor()->moveCursor(QTextCursor::End);
        window.editor()->insertPlainText(text);
    }
};

// The answer to the recovery dialog: which row, and which button.
struct DialogSeen {
    QStringList rows;  // each row's columns joined by " | "
    QString note;
    bool seen = false;
};

std::shared_ptr<DialogSeen> AnswerRecoveryDialog(const char* button, int row = 0) {
    auto seen = std::make_shared<DialogSeen>();
    testing::WhenModalAppears([seen, button, row](QWidget* modal) {
        auto* dialog = qobject_cast<RecoveryDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        seen->seen = true;
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("recoveryList"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList columns;
            for (int column = 0; column < list->columnCount(); ++column)
                columns << list->topLevelItem(i)->text(column);
            seen->rows << columns.join(QStringLiteral(" | "));
        }
        list->setCurrentItem(list->topLevelItem(row));
        seen->note = dialog->findChild<QLabel*>(QStringLiteral("recoveryNote"))->text();
        dialog->findChild<QPushButton*>(QLatin1String(button))->click();
    });
    return seen;
}

// The child process of killedInstanceIsRecovered: opens `script`, changes
// it, and runs until it is killed.
int RunInstanceToKill(int argc, char** argv) {
    QApplication app(argc, argv);
    Instance instance(QString::fromLocal8Bit(argv[2]));
    QString error;
    if (!instance.window.loadFile(QString::fromLocal8Bit(argv[3]), &error)) return 2;
    instance.window.show();
    instance.type(QStringLiteral("DspMes(\"kept\")\n"));
    return QApplication::exec();
}

}  // namespace

class RecoveryTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_folder;

private slots:
    void init() {
        m_folder = m_dir.filePath(QStringLiteral("data/recovery"));
        QDir(m_folder).removeRecursively();
    }

    void modifiedDocumentIsWrittenAndACleanSaveRemovesIt() {
        const QString script = m_dir.filePath(QStringLiteral("edit.txt"));
        WriteFile(script, "x=1\r\n");
        Instance instance(m_folder);
        QVERIFY(instance.window.openFile(script));
        // Nothing to keep while the document is as saved: not even the folder.
        QTest::qWait(300);
        QVERIFY(!QDir(m_folder).exists());

        // Typing that never pauses is written all the same.
        QElapsedTimer clock;
        clock.start();
        QString typed;
        while (RecoveryFiles(m_folder).isEmpty() && clock.elapsed() < 3000) {
            instance.type(QStringLiteral("y"));
            typed += u'y';
            QTest::qWait(20);
        }
        QCOMPARE(RecoveryFiles(m_folder).size(), 1);
        QVERIFY(clock.elapsed() < 1000);
        const QString own = instance.store.ownFile();
        QCOMPARE(Mode(own), 0600);
        QCOMPARE(Mode(m_folder), 0700);
        // A few seconds of typing at most are missing from it.
        QTRY_COMPARE_WITH_TIMEOUT(ParseRecoveryEntry(ReadFile(own))->text,
                                  QStringLiteral("x=1\n") + typed, 2000);
        const std::optional<RecoveryEntry> entry = ParseRecoveryEntry(ReadFile(own));
        QCOMPARE(entry->path, FileNameBytes(script));
        QCOMPARE(entry->form, instance.window.currentForm());
        QCOMPARE(entry->form.lineEnd, LineEnd::CrLf);
        QVERIFY(qAbs(entry->written.secsTo(QDateTime::currentDateTimeUtc())) < 10);

        QVERIFY(instance.window.save());
        QVERIFY(!QFile::exists(own));
        // Undone back to the saved text: nothing to keep either.
        instance.type(QStringLiteral("z"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(own), 2000);
        instance.window.editor()->undo();
        QVERIFY(!instance.window.editor()->document()->isModified());
        QVERIFY(!QFile::exists(own));
        // A clean close, even one that drops the changes, leaves nothing.
        instance.type(QStringLiteral("z"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(own), 2000);
        auto seen = testing::AnswerNextMessageBox(QMessageBox::No);
        QVERIFY(instance.window.close());
        QVERIFY(seen->seen);
        QVERIFY(!QFile::exists(own));
        QCOMPARE(ReadFile(script), QByteArray("x=1\r\n") + typed.toLatin1());
    }

    void instanceThatEndedWithoutClosingIsOfferedAndRestored() {
        const QString script = m_dir.filePath(QStringLiteral("crash.bas"));
        WriteFile(script, "a=1\r\nb=2\r\n");
        QString own;
        {
            auto first = std::make_unique<Instance>(m_folder);
            QVERIFY(first->window.openFile(script));
            first->type(QStringLiteral("c=3"));
            own = first->store.ownFile();
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(own), 2000);
            // While it runs, another instance neither offers nor touches its file.
            Instance second(m_folder);
            QVERIFY(second.store.claimOrphans().empty());
            QVERIFY(!OfferRecovery(second.window, second.store));
            QVERIFY(QFile::exists(own));
            // Ended without the clean close: as a crash ends it.
            first.reset();
        }
        QVERIFY(QFile::exists(own));

        Instance next(m_folder);
        next.window.show();
        auto seen = AnswerRecoveryDialog("restoreButton");
        QVERIFY(OfferRecovery(next.window, next.store));
        QVERIFY(seen->seen);
        QCOMPARE(seen->rows.size(), 1);
        QVERIFY2(seen->rows[0].startsWith(QStringLiteral("crash.bas | ")),
                 qPrintable(seen->rows[0]));
        QVERIFY(
            seen->rows[0].endsWith(QStringLiteral(" | ") + QDir::toNativeSeparators(m_dir.path())));
        QVERIFY(seen->note.isEmpty());
        // Opened modified, as the file it came from, in its form.
        QCOMPARE(next.window.editor()->text(), QStringLiteral("a=1\nb=2\nc=3"));
        QCOMPARE(next.window.currentFile(), script);
        QVERIFY(next.window.editor()->document()->isModified());
        QVERIFY(next.window.isWindowModified());
        QCOMPARE(next.window.currentForm().lineEnd, LineEnd::CrLf);
        QVERIFY(!next.window.currentForm().document);
        // The changes are the new instance's now: the old file is gone, its own holds them.
        QVERIFY(!QFile::exists(own));
        QCOMPARE(ParseRecoveryEntry(ReadFile(next.store.ownFile()))->text,
                 QStringLiteral("a=1\nb=2\nc=3"));
        QVERIFY(next.store.claimOrphans().empty());
        // Save writes the original file.
        QVERIFY(next.window.save());
        QCOMPARE(ReadFile(script), QByteArray("a=1\r\nb=2\r\nc=3"));
        QVERIFY(RecoveryFiles(m_folder).isEmpty());
    }

    void laterKeepsAndDiscardRemoves() {
        // Two instances ended with changes: an untitled script and a document.
        const QString script = m_dir.filePath(QStringLiteral("older.bas"));
        QString error;
        QVERIFY(SaveScriptDocument(script, QStringLiteral("old"), &error));
        {
            RecoveryStore store(m_folder);
            QVERIFY(store.write({{}, kNewScriptForm, QStringLiteral("untitled text"), {}, {}}));
        }
        QTest::qWait(20);  // written later: listed first
        {
            RecoveryStore store(m_folder);
            QVERIFY(store.write(
                {FileNameBytes(script), kScriptDocumentForm, QStringLiteral("new"), {}, {}}));
        }
        QCOMPARE(RecoveryFiles(m_folder).size(), 2);

        Instance later(m_folder);
        later.window.show();
        auto seen = AnswerRecoveryDialog("laterButton");
        QVERIFY(!OfferRecovery(later.window, later.store));
        QCOMPARE(seen->rows.size(), 2);
        QVERIFY(seen->rows[0].startsWith(QStringLiteral("older.bas | ")));
        QVERIFY(seen->rows[1].startsWith(QStringLiteral("Untitled | ")));
        QCOMPARE(RecoveryFiles(m_folder).size(), 2);
        QVERIFY(later.window.editor()->text().isEmpty());

        // Discard asks, then removes the one selected; the other is still offered.
        Instance discarding(m_folder);
        discarding.window.show();
        auto confirmed = std::make_shared<testing::MessageBoxSeen>();
        seen = AnswerRecoveryDialog("discardButton", 1);
        QObject answers;  // its timers end with the test
        QTimer::singleShot(300, &answers, [&confirmed] {
            confirmed = testing::AnswerNextMessageBox(QMessageBox::Yes);
        });
        // The dialog stays open with the rest: Later closes it.
        QTimer::singleShot(1500, &answers, [] {
            if (auto* dialog = qobject_cast<RecoveryDialog*>(QApplication::activeModalWidget()))
                dialog->findChild<QPushButton*>(QStringLiteral("laterButton"))->click();
        });
        QVERIFY(!OfferRecovery(discarding.window, discarding.store));
        QVERIFY(confirmed->seen);
        QCOMPARE(confirmed->text,
                 QStringLiteral(
                     "Discard the kept changes to Untitled? They cannot be restored afterwards."));
        const QStringList left = RecoveryFiles(m_folder);
        QCOMPARE(left.size(), 1);
        QCOMPARE(ParseRecoveryEntry(ReadFile(QDir(m_folder).filePath(left[0])))->text,
                 QStringLiteral("new"));
    }

    void scriptSavedSinceIsToldOrDropped() {
        const QString script = m_dir.filePath(QStringLiteral("since.txt"));
        WriteFile(script, "a\n");
        {
            RecoveryStore store(m_folder);
            QVERIFY(store.write(
                {FileNameBytes(script), kNewScriptForm, QStringLiteral("a\nb"), {}, {}}));
        }
        QTest::qWait(1100);  // file times count in whole seconds on some file systems
        WriteFile(script, "a\nc");
        {
            // Saved again, with other text: offered, and the dialog says so.
            RecoveryStore store(m_folder);
            const std::vector<RecoveryEntry> entries = store.claimOrphans();
            QCOMPARE(entries.size(), size_t{1});
            QVERIFY2(
                RecoveryNote(entries[0]).startsWith(QStringLiteral("since.txt was saved again (")),
                qPrintable(RecoveryNote(entries[0])));
        }
        {
            // Saved with just the kept text: nothing is left to recover.
            WriteFile(script, "a\nb");
            RecoveryStore store(m_folder);
            QVERIFY(store.claimOrphans().empty());
            QVERIFY(RecoveryFiles(m_folder).isEmpty());
        }
        {
            RecoveryStore store(m_folder);
            QVERIFY(
                store.write({FileNameBytes(script), kNewScriptForm, QStringLiteral("x"), {}, {}}));
        }
        QVERIFY(QFile::remove(script));
        RecoveryStore store(m_folder);
        const std::vector<RecoveryEntry> entries = store.claimOrphans();
        QCOMPARE(entries.size(), size_t{1});
        QCOMPARE(RecoveryNote(entries[0]),
                 QStringLiteral("since.txt no longer exists; Save writes it again."));
    }

    void killedInstanceIsRecovered() {
        const QString script = m_dir.filePath(QStringLiteral("killed.bas"));
        WriteFile(script, "DspMes(1)\n");
        QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
        QByteArray mode(kKilledInstance);
        QByteArray folder = QFile::encodeName(m_folder);
        QByteArray path = QFile::encodeName(script);
        char* argv[] = {program.data(), mode.data(), folder.data(), path.data(), nullptr};
        const pid_t pid = fork();
        if (pid == 0) {
            execv(argv[0], argv);
            _exit(127);
        }
        QVERIFY(pid > 0);
        // Killed and reaped however the test ends.
        struct Reaper {
            pid_t pid;
            ~Reaper() {
                if (pid <= 0) return;
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        } reaper{pid};
        QTRY_VERIFY_WITH_TIMEOUT(RecoveryFiles(m_folder).size() == 1, 10000);
        const QString kept = QDir(m_folder).filePath(RecoveryFiles(m_folder)[0]);
        QTRY_VERIFY_WITH_TIMEOUT(ParseRecoveryEntry(ReadFile(kept)).has_value(), 5000);
        {
            // Its instance runs: no one else may take its changes.
            RecoveryStore other(m_folder);
            QVERIFY(other.claimOrphans().empty());
        }
        QCOMPARE(kill(pid, SIGKILL), 0);
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status));
        reaper.pid = -1;

        Instance next(m_folder);
        next.window.show();
        auto seen = AnswerRecoveryDialog("restoreButton");
        QVERIFY(OfferRecovery(next.window, next.store));
        QCOMPARE(seen->rows.size(), 1);
        QVERIFY(seen->rows[0].startsWith(QStringLiteral("killed.bas | ")));
        QCOMPARE(next.window.editor()->text(), QStringLiteral("DspMes(1)\nDspMes(\"kept\")\n"));
        QCOMPARE(next.window.currentFile(), script);
        QVERIFY(next.window.editor()->document()->isModified());
        QCOMPARE(ReadFile(script), QByteArray("DspMes(1)\n"));
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], kKilledInstance) == 0)
        return RunInstanceToKill(argc, argv);
    QApplication app(argc, argv);
    RecoveryTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "recovery_test.moc"
