// The splash: its language from the locale, its place, and what closes it.
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QtTest>

#include "app/splash_dialog.h"

using namespace tarvil;

class SplashTest : public QObject {
    Q_OBJECT
private slots:
    void language_data() {
        QTest::addColumn<QString>("lcAll");
        QTest::addColumn<QString>("lcMessages");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("italian");
        QTest::newRow("nothing set") << ""
                                     << ""
                                     << "" << true;
        QTest::newRow("C") << ""
                           << ""
                           << "C" << true;
        QTest::newRow("C.UTF-8") << "C.UTF-8"
                                 << ""
                                 << "" << true;
        QTest::newRow("POSIX") << ""
                               << "POSIX"
                               << "" << true;
        QTest::newRow("Italian") << ""
                                 << ""
                                 << "it_IT.UTF-8" << true;
        QTest::newRow("Swiss Italian") << ""
                                       << ""
                                       << "it_CH" << true;
        QTest::newRow("English") << ""
                                 << ""
                                 << "en_US.UTF-8" << false;
        QTest::newRow("German") << ""
                                << ""
                                << "de_DE@euro" << false;
        QTest::newRow("LC_ALL first") << "en_GB.UTF-8"
                                      << "it_IT"
                                      << "it_IT" << false;
        QTest::newRow("then LC_MESSAGES") << ""
                                          << "it_IT.UTF-8"
                                          << "en_US" << true;
        QTest::newRow("then LANG") << ""
                                   << ""
                                   << "it" << true;
        QTest::newRow("capitals are another language") << ""
                                                       << ""
                                                       << "IT_it" << false;
        QTest::newRow("unknown language") << ""
                                          << ""
                                          << "xx_YY" << false;
    }
    void language() {
        QFETCH(QString, lcAll);
        QFETCH(QString, lcMessages);
        QFETCH(QString, lang);
        QFETCH(bool, italian);
        const QByteArray a = lcAll.toUtf8(), m = lcMessages.toUtf8(), l = lang.toUtf8();
        const SplashLanguage chosen = ChooseSplashLanguage(a.isEmpty() ? nullptr : a.constData(),
                                                           m.isEmpty() ? nullptr : m.constData(),
                                                           l.isEmpty() ? nullptr : l.constData());
        QCOMPARE(chosen == SplashLanguage::Italian, italian);
    }

    void emptyVariablesCountAsUnset() {
        QCOMPARE(LocaleSetting("", "", "it_IT"), QStringLiteral("it_IT"));
        QCOMPARE(LanguageCode(QStringLiteral("it_IT.UTF-8")), QStringLiteral("ita"));
        QCOMPARE(LanguageCode(QStringLiteral("en_US")), QStringLiteral("eng"));
    }

    void readsTheEnvironment() {
        qputenv("LC_ALL", "");
        qputenv("LC_MESSAGES", "");
        qputenv("LANG", "en_US.UTF-8");
        QCOMPARE(SplashLanguageFromEnvironment(), SplashLanguage::English);
        qputenv("LC_MESSAGES", "it_IT.UTF-8");
        QCOMPARE(SplashLanguageFromEnvironment(), SplashLanguage::Italian);
    }

    void textsFollowTheLanguage() {
        SplashDialog italian(nullptr, SplashLanguage::Italian);
        SplashDialog english(nullptr, SplashLanguage::English);
        QVERIFY(italian.texts().join(' ').contains(QStringLiteral("Versione 1.7")));
        QVERIFY(english.texts().join(' ').contains(QStringLiteral("Version 1.7")));
        QVERIFY(italian.texts().contains(QStringLiteral("Tarvil")));
        QVERIFY(italian.windowFlags() & Qt::FramelessWindowHint);
    }

    void theTimerHidesTheSplash() {
        SplashDialog splash(nullptr, SplashLanguage::English);
        splash.showFor(100);
        QVERIFY(splash.isVisible());
        QVERIFY(!splash.isModal());
        QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 3000);
        QCOMPARE(splash.result(), 1);
    }

    void aClickOrAKeyClosesTheSplash() {
        SplashDialog clicked(nullptr, SplashLanguage::English);
        clicked.showFor(60000);
        QVERIFY(clicked.isVisible());
        QTest::mouseClick(&clicked, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!clicked.isVisible());
        QCOMPARE(clicked.result(), 1);

        // A key typed into another window closes the splash and still arrives.
        QLineEdit field;
        field.show();
        SplashDialog typed(nullptr, SplashLanguage::English);
        typed.showFor(60000);
        QTest::keyClick(&field, Qt::Key_A);
        QVERIFY(!typed.isVisible());
        QCOMPARE(field.text(), QStringLiteral("a"));
        // Once closed it stays closed.
        QTest::keyClick(&field, Qt::Key_B);
        QVERIFY(!typed.isVisible());
    }

    void theSplashKeepsOffTheMenuAndToolBars() {
        QMainWindow window;
        window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Open"));
        // Large tool bar buttons, as at a large scale or with large icons.
        QToolBar* tools = window.addToolBar(QStringLiteral("Tools"));
        tools->setIconSize(QSize(64, 64));
        tools->addAction(QIcon(), QStringLiteral("Run"));
        auto* editor = new QPlainTextEdit;
        window.setCentralWidget(editor);
        window.setGeometry(100, 100, 800, 600);
        window.show();
        SplashDialog splash(&window, SplashLanguage::English);
        splash.showFor(60000);

        const auto globalRect = [](const QWidget* widget) {
            return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        };
        const auto placedOverTheEditor = [&] {
            const QRect placed = splash.frameGeometry();
            return !placed.intersects(globalRect(window.menuBar())) &&
                   !placed.intersects(globalRect(tools)) &&
                   globalRect(editor).contains(placed.topLeft());
        };
        QVERIFY(placedOverTheEditor());
        // The window manager may move the main window after it is shown.
        window.move(150, 130);
        QTRY_VERIFY(placedOverTheEditor());
    }

    void theSplashClosesWhileAScriptShowsAMessage() {
        // A script started with the application may open a message box before
        // the splash's time is up; the splash still goes after its time.
        SplashDialog splash(nullptr, SplashLanguage::English);
        bool hiddenDuringTheBox = false;
        QTimer::singleShot(0, [&] {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Tarvil"), QStringLiteral("x"));
            QTimer watch;
            watch.setInterval(20);
            QElapsedTimer clock;
            clock.start();
            QObject::connect(&watch, &QTimer::timeout, [&] {
                if (!splash.isVisible()) hiddenDuringTheBox = true;
                if (hiddenDuringTheBox || clock.elapsed() > 3000) box.done(0);
            });
            watch.start();
            box.exec();
        });
        splash.showFor(150);
        QTRY_VERIFY_WITH_TIMEOUT(hiddenDuringTheBox, 5000);
    }
};

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
