// Numbers in the desktop application do not follow the user's locale. A Qt
// application takes the locale from the environment when it starts
// (setlocale(LC_ALL, "")), so this test makes a German locale, whose decimal
// separator is a comma, and sets it before the application object exists.
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstdlib>

#include "engine/machine.h"
#include "engine/run_driver.h"
#include "gui_test_support.h"
#include "runtime_ui/desktop_host.h"

using namespace tarvil;

namespace {

// Compiles the locale into `folder` with localedef; false when that failed.
bool MakeLocale(const QByteArray& folder, const char* name, const char* source) {
    const QByteArray target = folder + "/" + name;
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("localedef", "localedef", "-i", source, "-f", "UTF-8", target.constData(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace

class NumberLocaleTest : public QObject {
    Q_OBJECT
public:
    explicit NumberLocaleTest(bool localeMade) : m_localeMade(localeMade) {}

private:
    bool m_localeMade;

private slots:
    void theLocaleIsInEffect() {
        QVERIFY2(m_localeMade, "localedef could not make de_DE.UTF-8");
        QCOMPARE(QByteArray(localeconv()->decimal_point), QByteArray(","));
    }

    void dspmesReadsAndWritesNumbersWithAPoint() {
        QCOMPARE(QByteArray(localeconv()->decimal_point), QByteArray(","));
        Machine machine;
        DesktopHost host(machine, nullptr);
        auto box = testing::AnswerNextMessageBox();
        RunScript(machine, "float a\r\na=0.5\r\nDspMes(a,\" \",3.5,\"/\",2.5e-3)\r\n");
        QVERIFY(box->seen);
        QCOMPARE(box->text, QStringLiteral("0.5 3.5/0.0025"));
    }
};

int main(int argc, char** argv) {
    QTemporaryDir locales;
    const bool made =
        locales.isValid() && MakeLocale(QFile::encodeName(locales.path()), "de_DE.UTF-8", "de_DE");
    setenv("LOCPATH", QFile::encodeName(locales.path()).constData(), 1);
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    QApplication app(argc, argv);
    NumberLocaleTest test(made);
    return QTest::qExec(&test, argc, argv);
}

#include "number_locale_test.moc"
