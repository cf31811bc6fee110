// The drawn icons: drawn at the size asked for, greyed when disabled.
#include <QApplication>
#include <QImage>
#include <QtTest>

#include "app/app_icons.h"

using namespace tarvil;

namespace {

int OpaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    return count;
}

bool IsGrey(QRgb pixel) {
    return qAlpha(pixel) == 0 || (qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel));
}

}  // namespace

class AppIconsTest : public QObject {
    Q_OBJECT
private slots:
    void drawnAtEverySize_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("application") << int(AppIcon::Application);
        QTest::newRow("new") << int(AppIcon::New);
        QTest::newRow("open") << int(AppIcon::Open);
        QTest::newRow("save") << int(AppIcon::Save);
        QTest::newRow("cut") << int(AppIcon::Cut);
        QTest::newRow("copy") << int(AppIcon::Copy);
        QTest::newRow("paste") << int(AppIcon::Paste);
        QTest::newRow("run") << int(AppIcon::Run);
        QTest::newRow("stop") << int(AppIcon::Stop);
        QTest::newRow("print") << int(AppIcon::Print);
        QTest::newRow("about") << int(AppIcon::About);
    }
    void drawnAtEverySize() {
        QFETCH(int, which);
        const QIcon icon = MakeIcon(static_cast<AppIcon>(which));
        QVERIFY(!icon.isNull());
        int previous = 0;
        for (const int side : {16, 24, 32, 48, 128}) {
            const QImage image = icon.pixmap(side, side).toImage();
            QCOMPARE(image.size(), QSize(side, side));
            // Drawn anew at each size, the picture covers more pixels as it grows.
            const int opaque = OpaquePixels(image);
            QVERIFY2(opaque > previous,
                     qPrintable(QString("side %1: %2 opaque pixels").arg(side).arg(opaque)));
            previous = opaque;
        }
        // A window manager is offered the usual window-icon sizes.
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QVERIFY(icon.availableSizes().contains(QSize(128, 128)));
    }

    void disabledIconsAreGreyed() {
        const QIcon icon = MakeIcon(AppIcon::Run);
        const QImage normal = icon.pixmap(32, 32, QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(32, 32, QIcon::Disabled).toImage();
        QCOMPARE(disabled.size(), normal.size());
        QVERIFY(normal != disabled);
        bool coloured = false;
        for (int y = 0; y < normal.height(); ++y) {
            for (int x = 0; x < normal.width(); ++x)
                coloured = coloured || !IsGrey(normal.pixel(x, y));
        }
        QVERIFY(coloured);
        // The same size and mode asked for again gives the same picture.
        QCOMPARE(icon.pixmap(32, 32, QIcon::Disabled).toImage(), disabled);
    }

    void highDensityPixmapsHaveTheirPixels() {
        const QIcon icon = MakeIcon(AppIcon::Save);
        const QPixmap pixmap = icon.pixmap(QSize(16, 16), 2.0);
        QCOMPARE(pixmap.size(), QSize(32, 32));
        QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    }
};

QTEST_MAIN(AppIconsTest)
#include "app_icons_test.moc"
