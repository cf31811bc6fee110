// Engine text in the desktop's windows and back: message boxes, the progress
// dialog, debug lines and preview titles show the engine's bytes as UTF-8 (a
// byte that is not shows as its Latin-1 character), and GETFILENAME hands the
// script the chosen path as UTF-8 while it fits a script text.
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "engine/image_record.h"
#include "engine/machine.h"
#include "gui_test_support.h"
#include "runtime_ui/debug_dialog.h"
#include "runtime_ui/desktop_host.h"
#include "runtime_ui/engine_text.h"
#include "runtime_ui/preview_window.h"
#include "runtime_ui/progress_dialog.h"

using namespace tarvil;
using testing::AnswerNextMessageBox;
using testing::WhenModalAppears;

class EngineTextTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Machine> m_machine;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<DesktopHost> m_host;

private slots:
    void init() {
        m_machine = std::make_unique<Machine>();
        m_window = std::make_unique<MainWindow>(*m_machine);
        m_host = std::make_unique<DesktopHost>(*m_machine, m_window.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() {
        m_host.reset();
        m_window.reset();
        m_machine.reset();
    }

    void windowsShowEngineText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("UTF-8 beyond Latin-1")
            << QByteArray("\xE6\x97\xA5\xE6\x9C\xAC.bmp") << QStringLiteral("\u65E5\u672C.bmp");
        QTest::newRow("UTF-8 Latin letters")
            << QByteArray("citt\xC3\xA0") << QStringLiteral("citt\u00E0");
        QTest::newRow("a Latin-1 byte") << QByteArray("citt\xE0") << QStringLiteral("citt\u00E0");
        QTest::newRow("a sequence cut short")
            << QByteArray("\xE6\x97 x") << QStringLiteral("\u00E6\u0097 x");
        QTest::newRow("both in one text")
            << QByteArray("\xE2\x82\xAC \xA4") << QStringLiteral("\u20AC \u00A4");
    }
    void windowsShowEngineText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const std::string text = bytes.toStdString();
        QCOMPARE(FromEngineText(text), shown);

        auto box = AnswerNextMessageBox();
        m_host->ShowMessage(text, MessageKind::Script);
        QVERIFY(box->seen);
        QCOMPARE(box->text, shown);

        m_host->UpdateProgress(text.c_str(), 10);
        QVERIFY(m_host->progress().dialog() != nullptr);
        QCOMPARE(m_host->progress().dialog()->textLabelText(), shown);
        m_host->UpdateProgress(nullptr, 0);

        QString line;
        WhenModalAppears([&line](QWidget* modal) {
            auto* dialog = qobject_cast<DebugDialog*>(modal);
            if (dialog != nullptr) line = dialog->variableList()->item(0)->text();
            modal->close();
        });
        const std::vector<std::string> lines{"string          f = '" + text + "'"};
        m_host->ShowDebugDialog(1, lines);
        QCOMPARE(line, QStringLiteral("string          f = '") + shown + u'\'');

        Image image;
        const auto preview = m_host->CreatePreview(image, text, 0, 0, 100, 100);
        QCOMPARE(static_cast<PreviewHandle*>(preview.get())->widget()->windowTitle(), shown);
    }

    void progressTextIsCutBetweenCharacters() {
        // 254 bytes, then a three-byte character across the 255-byte limit.
        const std::string text = std::string(254, 'a') + "\xE2\x82\xAC";
        m_host->UpdateProgress(text.c_str(), 1);
        QCOMPARE(m_host->progress().dialog()->shownText(), QByteArray(254, 'a'));
        QCOMPARE(m_host->progress().dialog()->textLabelText(), QString(254, u'a'));
        m_host->UpdateProgress(nullptr, 0);
    }

    void cutLengths_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("cut");
        QTest::newRow("shorter than the limit") << QByteArray("abc") << 5 << 3;
        QTest::newRow("between ASCII letters") << QByteArray("abcd") << 2 << 2;
        QTest::newRow("after a whole character") << QByteArray("a\xC3\xA0z") << 3 << 3;
        QTest::newRow("inside two bytes") << QByteArray("a\xC3\xA0z") << 2 << 1;
        QTest::newRow("inside three bytes, after one") << QByteArray("a\xE2\x82\xAC") << 2 << 1;
        QTest::newRow("inside three bytes, after two") << QByteArray("a\xE2\x82\xAC") << 3 << 1;
        QTest::newRow("inside four bytes") << QByteArray("\xF0\x9F\x98\x80!") << 3 << 0;
        // Bytes that are not UTF-8 are characters of their own.
        QTest::newRow("Latin-1 bytes") << QByteArray("\xE0\xE8\xEC") << 2 << 2;
        QTest::newRow("stray continuation bytes") << QByteArray("\x80\x80\x80\x80\x80") << 4 << 4;
        QTest::newRow("a lead byte without its sequence") << QByteArray("\xE2x\x82") << 2 << 2;
    }
    void cutLengths() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, limit);
        QFETCH(int, cut);
        QCOMPARE(Utf8CutLength(bytes.toStdString(), static_cast<size_t>(limit)),
                 static_cast<size_t>(cut));
    }

    void getFileNameGivesTheChosenPathInUtf8_data() {
        QTest::addColumn<QString>("folder");  // inside a fresh temporary folder
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        QTest::newRow("outside Latin-1") << QString() << QStringLiteral("\u65E5\u672C.bmp") << true;
        QTest::newRow("Latin-1") << QString() << QStringLiteral("citt\u00E0.BMP") << true;
        QTest::newRow("an emoji") << QString() << QString::fromUcs4(U"\U0001F600.bmp") << true;
        // Fewer than 254 characters, more than 254 bytes.
        QTest::newRow("longer than a script text")
            << QString(60, u'\u65E5') << QString(30, u'\u672C') + QStringLiteral(".bmp") << false;
    }
    void getFileNameGivesTheChosenPathInUtf8() {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(bool, fits);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(folder.isEmpty() ? QStringLiteral(".") : folder));
        const QString path = QDir(dir.filePath(folder)).filePath(name);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
        file.close();

        QString title;
        std::shared_ptr<testing::MessageBoxSeen> warning;
        WhenModalAppears([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr) {
                modal->close();
                return;
            }
            title = dialog->windowTitle();
            // Typed into the name field, as a user may do.
            auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (nameField == nullptr) {
                dialog->reject();
                return;
            }
            nameField->setText(path);
            // A path too long brings a warning.
            warning = AnswerNextMessageBox();
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const std::string chosen = m_host->GetFileName("Pick \xE6\x97\xA5 or citt\xE0");
        QCOMPARE(title, QStringLiteral("Pick \u65E5 or citt\u00E0"));
        QVERIFY(warning != nullptr);
        if (fits) {
            QCOMPARE(QString::fromStdString(chosen), path);
            QCOMPARE(chosen, path.toUtf8().toStdString());
            if (warning->watch) warning->watch->deleteLater();
            QVERIFY(!warning->seen);
        } else {
            QVERIFY(path.size() < 254 && path.toUtf8().size() > 254);
            QCOMPARE(chosen, std::string());
            QVERIFY(warning->seen);
            QVERIFY2(warning->text.startsWith(QStringLiteral(
                         "The path of the chosen file is longer than the 254 bytes")),
                     qPrintable(warning->text));
            QVERIFY(warning->text.endsWith(path));
        }
    }
};

QTEST_MAIN(EngineTextTest)
#include "engine_text_test.moc"
