// The debug dialog: its fields, and the answers of its buttons and keys.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "app/app_icons.h"
#include "gui_test_support.h"
#include "runtime_ui/debug_dialog.h"

using namespace tarvil;

class DebugDialogTest : public QObject {
    Q_OBJECT
private:
    const std::vector<std::string> m_lines{"devcon       Ibmp = x=640 y=480 bit=8 res=96",
                                           "float           x = 2.5", "string      s = 'citt\xE0'"};

    int answerWith(const std::function<void(DebugDialog*)>& act) {
        testing::WhenModalAppears([act](QWidget* modal) {
            auto* dialog = qobject_cast<DebugDialog*>(modal);
            if (dialog == nullptr) {
                modal->close();
                return;
            }
            act(dialog);
        });
        return RunDebugDialog(nullptr, 7, m_lines);
    }

private slots:
    void showsLineAndVariablesInTheOrderGiven() {
        DebugDialog dialog(nullptr, 7, m_lines);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarvil: Debug"));
        QCOMPARE(dialog.lineField()->text(), QStringLiteral("7"));
        QVERIFY(dialog.lineField()->isReadOnly());
        QCOMPARE(dialog.variableList()->count(), 3);
        QCOMPARE(dialog.variableList()->item(0)->text(),
                 QStringLiteral("devcon       Ibmp = x=640 y=480 bit=8 res=96"));
        QCOMPARE(dialog.variableList()->item(2)->text(),
                 QStringLiteral("string      s = 'citt\u00E0'"));
        QVERIFY(dialog.variableList()->font().fixedPitch() ||
                QFontInfo(dialog.variableList()->font()).fixedPitch());
        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
        for (const char* heading : {"Variables state", "line:", "Type", "Name", "Contents"}) {
            QVERIFY2(labels.contains(QLatin1String(heading)), heading);
        }
        QCOMPARE(dialog.continueButton()->text(), QStringLiteral("Continue"));
        QCOMPARE(dialog.stopButton()->text(), QStringLiteral("Stop"));
        QVERIFY(dialog.continueButton()->isDefault());
    }

    void theIconIsShownWhole() {
        // The application's icon, as the desktop application sets it.
        QApplication::setWindowIcon(MakeIcon(AppIcon::Application));
        DebugDialog dialog(nullptr, 7, m_lines);
        const QLabel* icon = nullptr;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (!label->pixmap().isNull()) icon = label;
        }
        QVERIFY(icon != nullptr);
        const QSize shown = icon->pixmap().deviceIndependentSize().toSize();
        QVERIFY2(shown.width() >= 16, "the icon is drawn at a readable size");
        QVERIFY2(icon->contentsRect().contains(QRect(QPoint(0, 0), shown)),
                 qPrintable(QStringLiteral("a %1x%2 icon in a %3x%4 field")
                                .arg(shown.width())
                                .arg(shown.height())
                                .arg(icon->contentsRect().width())
                                .arg(icon->contentsRect().height())));
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label != icon)
                QVERIFY2(!label->geometry().intersects(icon->geometry()),
                         qPrintable(label->text()));
        }
    }

    void answers_data() {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("answer");
        QTest::newRow("Continue button") << 0 << 1;
        QTest::newRow("Enter key") << 1 << 1;
        QTest::newRow("Stop button") << 2 << 2;
        QTest::newRow("Escape key") << 3 << 2;
        QTest::newRow("close box") << 4 << 2;
    }
    void answers() {
        QFETCH(int, how);
        QFETCH(int, answer);
        const int result = answerWith([how](DebugDialog* dialog) {
            switch (how) {
                case 0:
                    dialog->continueButton()->click();
                    break;
                case 1:
                    QTest::keyClick(dialog->variableList(), Qt::Key_Return);
                    break;
                case 2:
                    dialog->stopButton()->click();
                    break;
                case 3:
                    QTest::keyClick(dialog, Qt::Key_Escape);
                    break;
                default:
                    dialog->close();
                    break;
            }
        });
        QCOMPARE(result, answer);
    }
};

QTEST_MAIN(DebugDialogTest)
#include "debug_dialog_test.moc"
