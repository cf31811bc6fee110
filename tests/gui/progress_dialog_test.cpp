// The progress dialog: bar geometry and text, the clock, opening, updating,
// closing and the Stop! button.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "runtime_ui/progress_dialog.h"

using namespace tarvil;

class ProgressDialogTest : public QObject {
    Q_OBJECT
private:
    uint32_t m_now = 1000;
    int m_dispatches = 0;
    std::unique_ptr<ProgressController> makeController() {
        return std::make_unique<ProgressController>([] { return static_cast<QWidget*>(nullptr); },
                                                    [this] { ++m_dispatches; },
                                                    [this] { return m_now; });
    }

private slots:
    void barLayout_data() {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QRect>("grey");
        QTest::addColumn<QRect>("white");
        QTest::addColumn<QPoint>("text");
        QTest::addColumn<QString>("label");
        // Client 202 × 24: inner rectangle from x = 1 to R' = 200, F = 1 + 199 × p / 100.
        // The outline-less fills leave their right and bottom edges uncovered, so
        // column F - 1 belongs to neither.
        QTest::newRow("37 %") << QSize(202, 24) << 37 << QRect(QPoint(1, 1), QPoint(72, 22))
                              << QRect(QPoint(74, 1), QPoint(198, 22)) << QPoint(90, 6) << "37%";
        QTest::newRow("5 %") << QSize(202, 24) << 5 << QRect(QPoint(1, 1), QPoint(8, 22))
                             << QRect(QPoint(10, 1), QPoint(198, 22)) << QPoint(90, 6) << " 5%";
        QTest::newRow("100 % drops the sign")
            << QSize(202, 24) << 100 << QRect(QPoint(1, 1), QPoint(198, 22)) << QRect()
            << QPoint(90, 6) << "100";
        QTest::newRow("250 % runs past the end")
            << QSize(100, 16) << 250 << QRect(QPoint(1, 1), QPoint(241, 14)) << QRect()
            << QPoint(44, 4) << "250";
    }
    void barLayout() {
        QFETCH(QSize, client);
        QFETCH(int, percent);
        QFETCH(QRect, grey);
        QFETCH(QRect, white);
        QFETCH(QPoint, text);
        QFETCH(QString, label);
        const ProgressBarLayout layout =
            LayoutProgressBar(client, static_cast<uint16_t>(percent), true);
        QCOMPARE(layout.frame, QRect(QPoint(0, 0), client));
        QCOMPARE(layout.grey, grey);
        if (white.isNull()) {
            QVERIFY(layout.white.isEmpty());
        } else {
            QCOMPARE(layout.white, white);
        }
        QCOMPARE(layout.textTopLeft, text);
        QCOMPARE(layout.text, label.left(3));
    }

    void frameModeFillsNothing() {
        const ProgressBarLayout layout = LayoutProgressBar(QSize(202, 24), 0, false);
        QVERIFY(layout.grey.isEmpty());
        QVERIFY(layout.white.isEmpty());
        QCOMPARE(layout.text, QStringLiteral(" 0%"));
    }

    void clockFormat_data() {
        QTest::addColumn<uint>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0u << "00:00:00";
        QTest::newRow("3723 s") << 3723000u << "01:02:03";
        QTest::newRow("59.999 s") << 59999u << "00:00:59";
        QTest::newRow("hours not wrapped") << 4294967295u << "1193:02:47";
    }
    void clockFormat() {
        QFETCH(uint, ms);
        QFETCH(QString, text);
        QCOMPARE(FormatElapsed(ms), text);
    }

    void opensShowsTextAndClosesOnEmptyText() {
        auto controller = makeController();
        m_dispatches = 0;
        QCOMPARE(controller->Update("Converting", 0), 0);
        ProgressDialog* dialog = controller->dialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Tarvil"));
        QCOMPARE(dialog->textLabelText(), QStringLiteral("Converting"));
        QCOMPARE(dialog->clockText(), QStringLiteral("00:00:00"));
        QCOMPARE(dialog->bar()->percent(), uint16_t{0});
        QCOMPARE(m_dispatches, 1);

        m_now += 3723000;
        QCOMPARE(controller->Update("Converting", 37), 0);
        QCOMPARE(dialog->clockText(), QStringLiteral("01:02:03"));
        QCOMPARE(dialog->bar()->percent(), uint16_t{37});
        QCOMPARE(controller->dialog(), dialog);

        controller->Update("Saving", 37);
        QCOMPARE(dialog->textLabelText(), QStringLiteral("Saving"));

        QCOMPARE(controller->Update("", 0), 0);
        QVERIFY(controller->dialog() == nullptr);
        QCOMPARE(m_dispatches, 4);
        // An empty text with no dialog opens nothing and still dispatches.
        controller->Update(nullptr, 0);
        QVERIFY(controller->dialog() == nullptr);
        QCOMPARE(m_dispatches, 5);
    }

    void longTextsAreCutAt255Characters() {
        auto controller = makeController();
        const QByteArray text(300, 'a');
        controller->Update(text.constData(), 1);
        QCOMPARE(controller->dialog()->shownText().size(), 255);
        QCOMPARE(controller->dialog()->textLabelText().size(), 255);
    }

    void latin1TextIsShown() {
        auto controller = makeController();
        controller->Update("Citt\xE0", 1);
        QCOMPARE(controller->dialog()->textLabelText(), QStringLiteral("Citt\u00E0"));
    }

    void stopRaisesTheRequestUntilTheDialogOpensAgain() {
        auto controller = makeController();
        QCOMPARE(controller->Update("Working", 10), 0);
        QTest::mouseClick(controller->dialog()->stopButton(), Qt::LeftButton);
        QCOMPARE(controller->Update("Working", 20), 1);
        QCOMPARE(controller->Update("Working", 30), 1);
        QVERIFY(controller->dialog()->isVisible());  // Stop! leaves it open
        QCOMPARE(controller->Update("", 0), 1);      // kept across closing
        QCOMPARE(controller->Update(nullptr, 0), 1);
        QCOMPARE(controller->Update("Again", 0), 0);  // opening clears it
    }

    void enterDoesNothing() {
        auto controller = makeController();
        int runStops = 0;
        controller->setStopRun([&runStops] { ++runStops; });
        controller->Update("Keys", 50);
        ProgressDialog* dialog = controller->dialog();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(dialog, key);
            QVERIFY(dialog->isVisible());
            QCOMPARE(controller->Update("Keys", 50), 0);
        }
        QCOMPARE(runStops, 0);
    }

    // "Stop!" asks the script, and says so; a second click, the close box or
    // Escape then stops the run itself. The close box and Escape stop it at
    // once, without the first click.
    void stopShowsItWasPressedAndThenStopsTheRun_data() {
        QTest::addColumn<bool>("clickFirst");
        QTest::addColumn<QString>("how");
        QTest::newRow("a second click") << true << "click";
        QTest::newRow("close box after a click") << true << "close";
        QTest::newRow("Escape after a click") << true << "escape";
        QTest::newRow("close box") << false << "close";
        QTest::newRow("Escape") << false << "escape";
    }
    void stopShowsItWasPressedAndThenStopsTheRun() {
        QFETCH(bool, clickFirst);
        QFETCH(QString, how);
        auto controller = makeController();
        int runStops = 0;
        controller->setStopRun([&runStops] { ++runStops; });
        controller->Update("Working", 10);
        ProgressDialog* dialog = controller->dialog();
        QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(dialog->notice()->isHidden());
        const QSize before = dialog->size();
        if (clickFirst) {
            QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
            QCOMPARE(controller->Update("Working", 20), 1);
            QCOMPARE(runStops, 0);  // the script decides
            QVERIFY(dialog->notice()->isVisible());
            QCOMPARE(dialog->notice()->text(), QStringLiteral("The script was asked to stop."));
            QCOMPARE(dialog->stopButton()->text(), QStringLiteral("Stop now"));
            QVERIFY(dialog->stopButton()->isEnabled());
            QVERIFY(dialog->height() > before.height());  // the notice has a line of its own
            QCOMPARE(dialog->width(), before.width());
            QCOMPARE(dialog->textLabelText(), QStringLiteral("Working"));
        }
        if (how == QLatin1String("click")) {
            QTest::mouseClick(dialog->stopButton(), Qt::LeftButton);
        } else if (how == QLatin1String("close")) {
            QVERIFY(!dialog->close());  // it stays until the run's end closes it
        } else {
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
        QCOMPARE(runStops, 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->notice()->text(), QStringLiteral("Stopping the script\u2026"));
        QCOMPARE(dialog->stopButton()->text(), QStringLiteral("Stopping\u2026"));
        QVERIFY(!dialog->stopButton()->isEnabled());
        // The button's text fits it, and its right edge stays where it was.
        QVERIFY(dialog->stopButton()->width() >= dialog->stopButton()->sizeHint().width());
        QCOMPARE(controller->Update("Working", 30), 1);
        // Asked once: more requests while the run ends change nothing.
        dialog->close();
        QTest::keyClick(dialog, Qt::Key_Escape);
        QCOMPARE(runStops, 1);
        // A dialog opened again starts afresh.
        controller->Update("", 0);
        controller->Update("Again", 0);
        QVERIFY(controller->dialog()->notice()->isHidden());
        QCOMPARE(controller->dialog()->stopButton()->text(), QStringLiteral("Stop!"));
    }

    void barPaintsGreyUpToTheFill() {
        auto controller = makeController();
        controller->Update("Paint", 50);
        ProgressBarWidget* bar = controller->dialog()->bar();
        const QImage picture = bar->grab().toImage();
        const ProgressBarLayout layout = LayoutProgressBar(bar->size(), 50, true);
        const int y = bar->height() - 3;  // below the percentage text
        QCOMPARE(QColor(picture.pixel(layout.grey.left() + 1, y)), QColor(Qt::gray));
        QCOMPARE(QColor(picture.pixel(layout.white.right() - 1, y)), QColor(Qt::white));
        QCOMPARE(QColor(picture.pixel(0, 0)), QColor(Qt::black));  // the outline
        // Repainting (an exposed window) keeps the fill.
        bar->repaint();
        QCOMPARE(QColor(bar->grab().toImage().pixel(layout.grey.left() + 1, y)), QColor(Qt::gray));
    }
};

QTEST_MAIN(ProgressDialogTest)
#include "progress_dialog_test.moc"
