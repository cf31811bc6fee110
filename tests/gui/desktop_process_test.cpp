// The desktop application as a process: command-line arguments reach the
// script as the bytes they were, whatever the locale; a plain-text script
// runs from the command line; SIGINT, SIGTERM and SIGHUP stop a run and end
// the application in order, leaving no temporary file of a save behind; a
// start with a script never waits on the offer of changes an ended instance
// kept, while a start without one makes it; and a small stack is enough.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/recovery_store.h"
#include "app/script_document.h"
#include "image/file_access.h"

using namespace tarvil;

namespace {

// The names in a folder as the file system holds them.
std::vector<std::string> EntryNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Starts the desktop application in `folder` with `arguments` (bytes, after
// the program name) and `environment` in place of ours where it names the
// same variables, without QT_QPA_PLATFORM, so that its own -platform option
// must work.
pid_t StartDesktop(const std::string& folder, std::vector<std::string> arguments,
                   const std::vector<std::string>& environment, rlim_t stackLimit = 0) {
    arguments.insert(arguments.begin(), {TARVIL_EXECUTABLE, "-platform", "offscreen"});
    std::vector<std::string> variables;
    auto replaced = [&environment](const std::string& entry) {
        if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0) return true;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        return std::any_of(environment.begin(), environment.end(),
                           [&name](const std::string& given) { return given.rfind(name, 0) == 0; });
    };
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string entry = *variable;
        if (!replaced(entry)) variables.push_back(entry);
    }
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const rlimit stack{stackLimit, stackLimit};
    const pid_t pid = fork();
    if (pid == 0) {
        // Only calls that are safe between fork and exec.
        if (chdir(folder.c_str()) != 0) _exit(126);
        if (stackLimit != 0 && setrlimit(RLIMIT_STACK, &stack) != 0) _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Waits for `pid` to end, at most `timeoutMs`; kills it after that. Returns
// the wait status, or -1 when it had to be killed.
int WaitForEnd(pid_t pid, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (clock.elapsed() > timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return status;
}

void WriteScript(const std::string& path, const QString& text) {
    QString error;
    FileSystemCalls system;
    QVERIFY2(SaveScriptDocument(path, text, &error, system), qPrintable(error));
}

}  // namespace

class DesktopProcessTest : public QObject {
    Q_OBJECT
private slots:
    void argumentsReachTheScriptAsBytes_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("argument");
        QTest::addColumn<QByteArray>("locale");
        QTest::newRow("UTF-8 names under C")
            << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC.bas")
            << QByteArray("\xE4\xB8\xAD\xE5\x9B\xBD.bmp") << QByteArray("C");
        QTest::newRow("UTF-8 names under C.UTF-8")
            << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC.bas")
            << QByteArray("\xE4\xB8\xAD\xE5\x9B\xBD.bmp") << QByteArray("C.UTF-8");
        // Names from an older system, in Latin-1: no text encoding names them.
        QTest::newRow("Latin-1 names")
            << QByteArray("citt\xE0.bas") << QByteArray("p\xE8re.bmp") << QByteArray("C");
    }
    void argumentsReachTheScriptAsBytes() {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, argument);
        QFETCH(QByteArray, locale);
        QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        // The image is ClNum pixels wide and saved under ClArg[1]: Qt's own
        // options must not count.
        WriteScript(folder + "/" + script.toStdString(),
                    QStringLiteral("DevCon i\ni=CreateImage(ClNum,2,24)\n"
                                   "SaveImage(i,ClArg[1])\nEXIT\n"));
        const pid_t pid = StartDesktop(folder, {script.toStdString(), argument.toStdString()},
                                       {"LC_ALL=" + locale.toStdString()});
        const int status = WaitForEnd(pid, 30000);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        std::vector<std::string> expected{script.toStdString(), argument.toStdString()};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(EntryNames(folder), expected);
        const FileRead bmp = ReadFileBytes(folder + "/" + argument.toStdString());
        QVERIFY(bmp.status == FileRead::Status::Ok && bmp.bytes.size() > 26);
        QCOMPARE(bmp.bytes[18], uint8_t{2});  // width = ClNum: the script and one argument
        for (const std::string& name : EntryNames(folder))
            ::unlink((folder + "/" + name).c_str());  // QTemporaryDir cannot remove Latin-1 names
    }

    void plainTextScriptsRunFromTheCommandLine_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("LF") << QByteArray(
            "DevCon i\ni=CreateImage(ClNum,2,24)\nSaveImage(i,\"out.bmp\")\nEXIT\n");
        QTest::newRow("CR LF, Latin-1") << QByteArray(
            "' citt\xE0\r\nDevCon i\r\ni=CreateImage(ClNum,2,24)\r\n"
            "SaveImage(i,\"out.bmp\")\r\nEXIT\r\n");
    }
    void plainTextScriptsRunFromTheCommandLine() {
        QFETCH(QByteArray, script);
        QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        QFile file(dir.filePath(QStringLiteral("plain.bas")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        const pid_t pid = StartDesktop(folder, {"plain.bas", "x"}, {});
        const int status = WaitForEnd(pid, 30000);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 0);
        const FileRead bmp = ReadFileBytes(folder + "/out.bmp");
        QVERIFY(bmp.status == FileRead::Status::Ok && bmp.bytes.size() > 26);
        QCOMPARE(bmp.bytes[18], uint8_t{2});  // ClNum: the script and one argument
    }

    void recoveryIsOfferedOnlyWithoutAScript() {
        QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString recovery = QDir(data).filePath(QStringLiteral("Tarvil/Tarvil/recovery"));
        {
            // Changes an instance kept and never removed, as after a crash.
            RecoveryStore store(recovery);
            QVERIFY(store.write({{}, kNewScriptForm, QStringLiteral("kept"), {}, {}}));
        }
        const QStringList kept =
            QDir(recovery).entryList({QStringLiteral("*.recovery")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        const QString lock = QDir(recovery).filePath(
            kept[0].chopped(int(std::strlen(".recovery"))) + QStringLiteral(".lock"));
        const std::string environment = "XDG_DATA_HOME=" + QFile::encodeName(data).toStdString();

        // Started by another program with a script: it runs and ends without
        // asking anything, and the changes stay for a later start.
        WriteScript(folder + "/macro.bas", QStringLiteral("EXIT\n"));
        pid_t pid = StartDesktop(folder, {"macro.bas"}, {environment});
        int status = WaitForEnd(pid, 30000);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(QDir(recovery).entryList({QStringLiteral("*.recovery")}, QDir::Files), kept);

        // Started by the user: the offer takes the changes in hand (its lock
        // names the new instance) until it is answered; a signal ends it as
        // Later does.
        pid = StartDesktop(folder, {}, {environment});
        // Ended however the test ends: it would wait on the offer for ever.
        struct Ender {
            pid_t pid;
            ~Ender() {
                if (kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
            }
        } ender{pid};
        QElapsedTimer clock;
        clock.start();
        QByteArray holder;
        while (clock.elapsed() < 20000) {
            QFile file(lock);
            if (file.open(QIODevice::ReadOnly)) holder = file.readLine().trimmed();
            if (holder == QByteArray::number(pid)) break;
            QTest::qWait(50);
        }
        QCOMPARE(holder, QByteArray::number(pid));
        QCOMPARE(kill(pid, SIGTERM), 0);
        status = WaitForEnd(pid, 10000);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 128 + SIGTERM);
        QCOMPARE(QDir(recovery).entryList({QStringLiteral("*.recovery")}, QDir::Files), kept);
        QVERIFY(!QFile::exists(lock));
    }

    void signalsStopTheRunAndEndTheApplication_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("script");
        const QString loop = QStringLiteral("float i\nFor i=0 to 1000000000\nNext i\n");
        // Large enough that a signal is likely to come during a save.
        const QString saves = QStringLiteral(
            "DevCon i\nfloat k\ni=CreateImage(3000,3000,24)\n"
            "For k=0 to 1000000\nSaveImage(i,ClArg[1])\nNext k\n");
        QTest::newRow("SIGTERM in a loop") << SIGTERM << loop;
        QTest::newRow("SIGINT in a loop") << SIGINT << loop;
        QTest::newRow("SIGHUP in a loop") << SIGHUP << loop;
        QTest::newRow("SIGTERM while saving") << SIGTERM << saves;
        QTest::newRow("SIGINT while saving") << SIGINT << saves;
        // The box's own event loop ends too: nothing waits for an answer.
        QTest::newRow("SIGTERM at a message box")
            << SIGTERM << QStringLiteral("DspMes(\"waiting\")\nDspMes(\"not shown\")\n");
        QTest::newRow("SIGTERM at the debug dialog")
            << SIGTERM << QStringLiteral("float x\nDebug\nDspMes(\"not shown\")\n");
    }
    void signalsStopTheRunAndEndTheApplication() {
        QFETCH(int, signal);
        QFETCH(QString, script);
        QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        WriteScript(folder + "/run.bas", script);
        const pid_t pid = StartDesktop(folder, {"run.bas", "out.bmp"}, {});
        // Long enough for the window to come up and the run to start.
        QTest::qWait(1500);
        QCOMPARE(kill(pid, signal), 0);
        const int status = WaitForEnd(pid, 10000);
        // Not killed by the signal: the run stopped, the application ended on
        // its own, without waiting for an answer.
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 128 + signal);
        for (const std::string& name : EntryNames(folder))
            QVERIFY2(name == "run.bas" || name == "out.bmp", name.c_str());
    }

    void aSmallStackIsEnough() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer needs a larger stack");
#endif
        QTemporaryDir dir;
        const std::string folder = QFile::encodeName(dir.path()).toStdString();
        WriteScript(
            folder + "/small.bas",
            QStringLiteral("DevCon i\ni=CreateImage(3,2,24)\nSaveImage(i,\"out.bmp\")\nEXIT\n"));
        // ulimit -s 128
        const pid_t pid = StartDesktop(folder, {"small.bas"}, {}, 128 * 1024);
        const int status = WaitForEnd(pid, 30000);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(EntryNames(folder), (std::vector<std::string>{"out.bmp", "small.bas"}));
    }
};

QTEST_MAIN(DesktopProcessTest)
#include "desktop_process_test.moc"
