// SIGINT, SIGTERM and SIGHUP in the desktop: the host's StopRequested takes a
// pending one at once and stops the run, the application still hears of it,
// and child processes start with the signals unblocked.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/machine.h"
#include "gui_test_support.h"
#include "runtime_ui/debug_dialog.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/stop_signals.h"

using namespace tarvil;

namespace {

bool Blocked(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

QString StopListFront(Machine& machine) {
    const Item* stop = ItemAt(machine.StopList, 0);
    return stop != nullptr && stop->name ? QString::fromStdString(*stop->name) : QString();
}

}  // namespace

class StopSignalsTest : public QObject {
    Q_OBJECT
private slots:
    void stopRequestedTakesAPendingSignal_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void stopRequestedTakesAPendingSignal() {
        QFETCH(int, signal);
        StopSignals stopSignals;
        QVERIFY(stopSignals.isOpen());
        QVERIFY(Blocked(signal));
        QList<int> heard;
        const auto watch = stopSignals.watch([&heard](int number) { heard << number; });
        Machine machine;
        DesktopHost host(machine, nullptr);
        QVERIFY(!host.StopRequested());  // no StopSignals yet
        host.setStopSignals(&stopSignals);
        QVERIFY(!host.StopRequested());
        QVERIFY(machine.StopList.empty());

        QCOMPARE(raise(signal), 0);
        QVERIFY(host.StopRequested());
        QCOMPARE(StopListFront(machine), QStringLiteral("Warning: Program stopped"));
        QVERIFY(heard.isEmpty());  // no event was handled
        QVERIFY(!host.StopRequested());
        // The application hears of it at its next look at events, once.
        QCoreApplication::processEvents();
        QCOMPARE(heard, QList<int>{signal});
        QCoreApplication::processEvents();
        QCOMPARE(heard, QList<int>{signal});
    }

    void onceEndingNoBoxOrDialogOpens() {
        Machine machine;
        DesktopHost host(machine, nullptr);
        host.endWithoutQuestions();
        QStringList opened;
        auto watch = [&opened] {
            return testing::WhenModalAppears([&opened](QWidget* modal) {
                opened << QString::fromLatin1(modal->metaObject()->className());
                modal->close();
            });
        };
        // Each call would wait for its window to close: a watcher closes any.
        auto withWatch = [&watch](const std::function<void()>& call) {
            const QPointer<QTimer> watcher = watch();
            call();
            if (watcher) watcher->deleteLater();
        };
        withWatch([&] { host.ShowMessage("Warning: Program stopped", MessageKind::System); });
        withWatch([&] { QCOMPARE(host.ShowDebugDialog(1, {}), DebugDialog::kContinue); });
        withWatch([&] { QCOMPARE(host.GetFileName("Pick"), std::string()); });
        QCOMPARE(opened, QStringList());
    }

    void theEventLoopHearsASignalThatNoRunTook() {
        StopSignals stopSignals;
        QList<int> heard;
        const auto watch = stopSignals.watch([&heard](int number) { heard << number; });
        QCOMPARE(raise(SIGTERM), 0);
        QTRY_COMPARE(heard, QList<int>{SIGTERM});
        QCOMPARE(stopSignals.take(), 0);
    }

    void theMaskIsRestoredAndPendingSignalsDropped() {
        QVERIFY(!Blocked(SIGTERM));
        {
            StopSignals stopSignals;
            QVERIFY(Blocked(SIGTERM) && Blocked(SIGINT) && Blocked(SIGHUP));
            // Left pending at the end: it must not end this process.
            QCOMPARE(raise(SIGTERM), 0);
        }
        QVERIFY(!Blocked(SIGTERM) && !Blocked(SIGINT) && !Blocked(SIGHUP));
    }

    void childProcessesStartWithTheSignalsUnblocked() {
        StopSignals stopSignals;
        QVERIFY(Blocked(SIGTERM));
        // fork(): the child reports which of the three it has blocked.
        const pid_t pid = fork();
        if (pid == 0) {
            _exit((Blocked(SIGINT) ? 1 : 0) | (Blocked(SIGTERM) ? 2 : 0) |
                  (Blocked(SIGHUP) ? 4 : 0));
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);

        // A program started as Qt starts a browser or a viewer.
        QTemporaryDir dir;
        const QString report = dir.filePath(QStringLiteral("mask"));
        QVERIFY(QProcess::startDetached(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("grep SigBlk /proc/self/status > %1.part && "
                                                  "mv %1.part %1")
                                       .arg(report)}));
        QTRY_VERIFY(QFile::exists(report));
        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bool ok = false;
        const qulonglong mask = file.readAll().trimmed().split('\t').last().toULongLong(&ok, 16);
        QVERIFY(ok);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP})
            QVERIFY2((mask & (1ull << (signal - 1))) == 0, qPrintable(QString::number(signal)));
    }
};

QTEST_MAIN(StopSignalsTest)
#include "stop_signals_test.moc"
