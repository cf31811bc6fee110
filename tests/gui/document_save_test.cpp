// Saving script documents when the file system fails: a failure injected at
// each call in turn, named failures with the reason the editor shows, and a
// real failure (the file size limit) through the main window's Save. The old
// document stays byte-identical and no temporary is left in its folder.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "../unit/failing_file_system.h"
#include "app/main_window.h"
#include "app/script_document.h"
#include "app/script_editor.h"
#include "engine/machine.h"
#include "gui_test_support.h"

using namespace tarvil;
using testing::FailingFileSystem;
using testing::FsCall;

namespace {

const QString kNewText =
    QStringLiteral("float x\nx=1\nDspMes(x)\n' a longer text than the old one\n");

QString CannotSave(const QString& path, int error) {
    return QStringLiteral("Cannot save %1:\n%2")
        .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

class DocumentSaveTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    static QByteArray readBytes(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }
    QStringList names() const {
        // System lists dangling links too.
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QByteArray writeOld(const QString& file) {
        QString error;
        if (!SaveScriptDocument(file, QStringLiteral("old"), &error)) return {};
        return readBytes(file);
    }

private slots:
    void init() {
        for (const QString& name : names()) QFile::remove(path(name));
    }

    void everyCallFailingInTurnKeepsTheOldDocument() {
        const QString file = path("script.bas");
        const QByteArray old = writeOld(file);
        QVERIFY(!old.isEmpty());
        int failAt = 1;
        for (;; ++failAt) {
            FailingFileSystem calls;
            calls.failAt = failAt;
            QString error;
            const bool saved = SaveScriptDocument(file, kNewText, &error, calls);
            const std::string trace = calls.Trace();
            if (failAt > static_cast<int>(calls.made.size())) {
                QVERIFY2(saved, trace.c_str());
                break;
            }
            if (calls.made[static_cast<size_t>(failAt - 1)] == FsCall::Fchown) {
                // An owner that cannot be kept does not stop the save.
                QVERIFY2(saved, trace.c_str());
                QVERIFY(!writeOld(file).isEmpty());
                continue;
            }
            QVERIFY2(!saved, trace.c_str());
            QCOMPARE(error, CannotSave(file, EIO));
            QCOMPARE(readBytes(file), old);
            QCOMPARE(names(), QStringList{"script.bas"});
        }
        // open, fstat, open, the writes in pieces of 16, fchown, fchmod, fsync, close, rename.
        QVERIFY(failAt > 10);
        QCOMPARE(readBytes(file).mid(4), EditorTextToScript(kNewText));
    }

    void namedFailuresShowTheirReason_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("target read-only") << int(FsCall::Open) << EACCES;
        QTest::newRow("disk full") << int(FsCall::Write) << ENOSPC;
        QTest::newRow("flush fails") << int(FsCall::Fsync) << EIO;
        QTest::newRow("close fails") << int(FsCall::Close) << EIO;
        QTest::newRow("rename fails") << int(FsCall::Rename) << EXDEV;
    }
    void namedFailuresShowTheirReason() {
        QFETCH(int, kind);
        QFETCH(int, error);
        const QString file = path("named.bas");
        const QByteArray old = writeOld(file);
        FailingFileSystem calls;
        calls.failByKind = true;
        calls.failKind = static_cast<FsCall>(kind);
        calls.failErrno = error;
        QString shown;
        QVERIFY(!SaveScriptDocument(file, kNewText, &shown, calls));
        QCOMPARE(shown, CannotSave(file, error));
        QCOMPARE(readBytes(file), old);
        QCOMPARE(names(), QStringList{"named.bas"});
    }

    void missingFolderIsReported() {
        const QString file = path("no/such/folder/x.bas");
        QString error;
        QVERIFY(!SaveScriptDocument(file, kNewText, &error));
        QCOMPARE(error, CannotSave(file, ENOENT));
        QVERIFY(names().isEmpty());
    }

    void symbolicLinkStaysALink() {
        const QString real = path("real.bas");
        const QString link = path("link.bas");
        QVERIFY(!writeOld(real).isEmpty());
        QVERIFY(QFile::link(real, link));
        QString error;
        QVERIFY2(SaveScriptDocument(link, kNewText, &error), qPrintable(error));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(real).mid(4), EditorTextToScript(kNewText));
        QCOMPARE(names(), (QStringList{"link.bas", "real.bas"}));
    }

    void refusedLinksShowWhy_data() {
        QTest::addColumn<QString>("target");    // where link.bas leads at first
        QTest::addColumn<QString>("relinked");  // where it leads once the save opens it, or ""
        QTest::addColumn<int>("error");
        QTest::newRow("dangling") << "missing.bas"
                                  << "" << ENOENT;
        QTest::newRow("pointed elsewhere as it is opened") << "real.bas"
                                                           << "other.bas" << EAGAIN;
    }
    void refusedLinksShowWhy() {
        QFETCH(QString, target);
        QFETCH(QString, relinked);
        QFETCH(int, error);
        const QByteArray old = writeOld(path("real.bas"));
        QCOMPARE(writeOld(path("other.bas")), old);
        const QString link = path("link.bas");
        QCOMPARE(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()),
            0);
        FailingFileSystem calls;
        if (!relinked.isEmpty()) {
            calls.beforeOpeningTarget = [&] {
                QFile::remove(link);
                QVERIFY(::symlink(QFile::encodeName(relinked).constData(),
                                  QFile::encodeName(link).constData()) == 0);
            };
        }
        QString shown;
        QVERIFY(!SaveScriptDocument(link, kNewText, &shown, calls));
        QCOMPARE(shown, CannotSave(link, error));
        QCOMPARE(readBytes(path("real.bas")), old);
        QCOMPARE(readBytes(path("other.bas")), old);
        QCOMPARE(names(), (QStringList{"link.bas", "other.bas", "real.bas"}));
    }

    void mainWindowSaveThatFailsShowsWhyAndKeepsTheDocument() {
        const QString file = path("window.bas");
        const QByteArray old = writeOld(file);
        Machine machine;
        MainWindow window(machine);
        QString error;
        QVERIFY2(window.loadFile(file, &error), qPrintable(error));
        window.editor()->replaceText(QString(4000, u'x'));  // modified; 4 KB exceed the limit below
        QVERIFY(window.isWindowModified());

        // A file size limit makes the writes fail part-way, as a full disk would.
        struct rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        auto seen = testing::AnswerNextMessageBox();
        const bool savedOk = window.save();
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);

        QVERIFY(!savedOk);
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, CannotSave(file, EFBIG));
        QCOMPARE(readBytes(file), old);
        QCOMPARE(names(), QStringList{"window.bas"});
        QVERIFY(window.isWindowModified());
        window.editor()->document()->setModified(false);
    }
};

QTEST_MAIN(DocumentSaveTest)
#include "document_save_test.moc"
