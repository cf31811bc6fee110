// Many runs in one process through the desktop host: File New's script, with
// real file names, at every depth, plus a clipboard save and load and a
// PREVIEW of what came back. Resident memory must stay flat once warmed up:
// the tolerance is below what leaking even one input-sized image per run
// would add, and the test checks that about itself.
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "app/new_script_template.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/preview_window.h"

using namespace tarvil;

namespace {

constexpr int kDepths[] = {1, 4, 8, 24};
constexpr int kSide = 256;  // 1-bit: 8 KB of pixels, 24-bit: 192 KB
// AddressSanitizer keeps freed memory in quarantine, so resident memory grows
// there whatever the program does: that build runs fewer rounds and leaves
// leaks to LeakSanitizer, which checks the whole process at exit.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresResidentMemory = false;
constexpr int kMeasuredRounds = 2;
#else
constexpr bool kMeasuresResidentMemory = true;
constexpr int kMeasuredRounds = 10;  // 40 runs
#endif
constexpr int kWarmUpRounds = 2;  // a round runs every depth once
constexpr long kToleranceKb = 1024;

// Resident memory in KB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

int OpenPreviewCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<PreviewWidget*>(widget) != nullptr && widget->isVisible()) ++count;
    }
    return count;
}

// File New's script with real names; its closing DspMes would stop every run
// at a message box, so it goes. After the save the picture goes to the
// clipboard, comes back from there, is previewed and saved again.
QString SoakScript(const QString& folder, int depth) {
    QString script = QString::fromLatin1(NewScriptTemplate.data(),
                                         static_cast<qsizetype>(NewScriptTemplate.size()));
    const QString suffix = QString::number(depth) + QStringLiteral(".bmp");
    script.replace(QStringLiteral("\"input.bmp\""), '"' + folder + "/in" + suffix + '"');
    script.replace(QStringLiteral("\"output.bmp\""), '"' + folder + "/out" + suffix + '"');
    script.replace(QStringLiteral("DspMes(\"End\")\r\n"),
                   QStringLiteral("SaveImage(Obmp,\"CLIPBOARD\")\r\n"
                                  "Ibmp=LoadImage(\"Clipboard\")\r\n"
                                  "Preview(Ibmp,\"Clipboard\",5,5)\r\n"
                                  "SaveImage(Ibmp,\"%1/clip%2\")\r\n")
                       .arg(folder, suffix));
    return script;
}

}  // namespace

class SoakTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DesktopHost> m_host;
    QStringList m_boxes;  // texts of message boxes that came up (none should)
    QTimer m_boxCloser;
    QTimer m_otherProgram;
    int m_previewsSeen = 0;

    void run(const QString& script) {
        m_window->editor()->loadText(script);
        m_window->runScript();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_host = std::make_unique<DesktopHost>(*m_machine, m_window.get());
        Machine* machine = m_machine.get();
        m_window->setScriptRunner(
            [machine](std::string_view text) { return RunScript(*machine, text); });
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

        // Any message box would mean a failed run: note it and close it, so the
        // test fails instead of waiting.
        connect(&m_boxCloser, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_boxes << box->text();
                box->close();
            }
        });
        m_boxCloser.start(20);
        // "Another program": once a run has saved to the clipboard (the count is
        // then 0), copies that picture again, which the run's LOADIMAGE waits for.
        // It also counts the previews open at that moment.
        connect(&m_otherProgram, &QTimer::timeout, this, [this] {
            if (m_host->ClipboardChangeCount() != 0) return;
            m_previewsSeen += OpenPreviewCount();
            const QImage picture = QGuiApplication::clipboard()->image();
            if (!picture.isNull()) QGuiApplication::clipboard()->setImage(picture);
        });
        m_otherProgram.start(1);

        QString make = QStringLiteral("DevCon img\n");
        for (const int depth : kDepths) {
            make += QStringLiteral("img=CreateImage(%2,%2,%1)\nSaveImage(img,\"%3/in%1.bmp\")\n")
                        .arg(depth)
                        .arg(kSide)
                        .arg(m_dir.path());
        }
        run(make);
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
    }
    void cleanupTestCase() {
        m_otherProgram.stop();
        m_boxCloser.stop();
        m_window->editor()->document()->setModified(false);
        m_host.reset();
        m_window.reset();
        m_machine.reset();
    }

    void memoryStaysFlatOverManyRuns() {
        qint64 smallestLeakBytes = 0;  // one input image per measured run
        for (const int depth : kDepths) {
            const QFileInfo input(m_dir.filePath(QStringLiteral("in%1.bmp").arg(depth)));
            QVERIFY(input.exists());
            smallestLeakBytes += input.size() * kMeasuredRounds;
        }
        // The test must be able to see such a leak at all.
        if (kMeasuresResidentMemory) QVERIFY(smallestLeakBytes / 1024 > 2 * kToleranceKb);

        long before = 0;
        int runs = 0;
        QElapsedTimer clock;
        for (int round = 0; round < kWarmUpRounds + kMeasuredRounds; ++round) {
            if (round == kWarmUpRounds) {
                before = ResidentKb();
                runs = 0;
                clock.start();
            }
            for (const int depth : kDepths) {
                run(SoakScript(m_dir.path(), depth));
                ++runs;
                QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join('\n')));
                // Everything of the run is gone with it: variables and previews.
                QVERIFY(ItemAt(m_machine->VariableTable, 0) == nullptr);
                QCOMPARE(OpenPreviewCount(), 0);
                const QString suffix = QStringLiteral("%1.bmp").arg(depth);
                QCOMPARE(QFileInfo(m_dir.filePath("out" + suffix)).size(),
                         QFileInfo(m_dir.filePath("in" + suffix)).size());
                QVERIFY(QFileInfo(m_dir.filePath("clip" + suffix)).size() > 0);
            }
        }
        const long after = ResidentKb();
        QVERIFY(before > 0 && after > 0);
        qInfo(
            "soak: %d runs in %lld ms, VmRSS %ld kB before, %ld kB after (%+ld kB, %s %ld kB; "
            "one leaked input image per run would add %lld kB)",
            runs, static_cast<long long>(clock.elapsed()), before, after, after - before,
            kMeasuresResidentMemory ? "tolerance" : "unchecked under AddressSanitizer, tolerance",
            kToleranceKb, static_cast<long long>(smallestLeakBytes / 1024));
        if (kMeasuresResidentMemory) {
            QVERIFY2(
                after - before < kToleranceKb,
                qPrintable(QStringLiteral("resident memory grew by %1 kB").arg(after - before)));
        }
        // The previews were really shown (two per run at the clipboard hand-over).
        QVERIFY(m_previewsSeen >= runs);
        // Every save replaced its file: no temporaries are left.
        QStringList expected;
        for (const int depth : kDepths) {
            for (const char* stem : {"clip", "in", "out"})
                expected << QStringLiteral("%1%2.bmp").arg(QLatin1String(stem)).arg(depth);
        }
        expected.sort();
        QStringList names =
            QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        QCOMPARE(names, expected);
    }
};

QTEST_MAIN(SoakTest)
#include "soak_test.moc"
