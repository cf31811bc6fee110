// Preview windows: sizes, scroll bars and ranges, the scroll rules, and the
// conversion of the shown part of the packed bitmap.
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include "runtime_ui/bitmap_region.h"
#include "runtime_ui/preview_window.h"

using namespace tarvil;

namespace {

// A packed bitmap as the image code builds one: header, colour table, rows bottom-up.
std::unique_ptr<Image> MakeImage(int width, int height, uint16_t bits, int tableEntries = -1) {
    auto image = std::make_unique<Image>();
    const int entries = tableEntries >= 0 ? tableEntries : (bits <= 8 ? 1 << bits : 0);
    const auto stride = static_cast<uint32_t>(RowStrideFor(width, bits));
    image->block.assign(
        40 + 4 * static_cast<size_t>(entries) + static_cast<size_t>(stride) * height, 0);
    image->SetHeaderInt32(bih::kSize, 40);
    image->SetHeaderInt32(bih::kWidth, width);
    image->SetHeaderInt32(bih::kHeight, height);
    image->SetHeaderUint16(bih::kPlanes, 1);
    image->SetHeaderUint16(bih::kBitCount, bits);
    image->PaletteCount = static_cast<uint16_t>(bits <= 8 ? 1 << bits : 0);
    image->RowStride = stride;
    image->pixelsOffset = 40 + 4 * static_cast<size_t>(entries);
    image->hasPixels = true;
    return image;
}

void SetEntry(Image& image, int k, uint8_t r, uint8_t g, uint8_t b) {
    const size_t at = 40 + 4 * static_cast<size_t>(k);
    image.block[at] = b;
    image.block[at + 1] = g;
    image.block[at + 2] = r;
}

// Byte `offset` of script row y (0 = top).
uint8_t& RowByte(Image& image, int y, size_t offset) {
    return image.block[image.pixelsOffset +
                       static_cast<size_t>(image.Height() - 1 - y) * image.RowStride + offset];
}

}  // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT
private slots:
    void scrollRules_data() {
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("extent");
        QTest::addColumn<int>("client");
        QTest::addColumn<int>("expected");
        const int lineBack = int(ScrollRequest::LineBack),
                  lineFwd = int(ScrollRequest::LineForward);
        const int pageBack = int(ScrollRequest::PageBack),
                  pageFwd = int(ScrollRequest::PageForward);
        QTest::newRow("line up at 25") << lineBack << 25 << 1500 << 1000 << 15;
        QTest::newRow("line up at 8 stays") << lineBack << 8 << 1500 << 1000 << 8;
        QTest::newRow("line up at 10 stays") << lineBack << 10 << 1500 << 1000 << 10;
        QTest::newRow("line down") << lineFwd << 100 << 1500 << 1000 << 110;
        QTest::newRow("line down near the end stays") << lineFwd << 490 << 1500 << 1000 << 490;
        QTest::newRow("line down one step short") << lineFwd << 489 << 1500 << 1000 << 499;
        QTest::newRow("page up") << pageBack << 450 << 1500 << 400 << 50;
        QTest::newRow("page up to the top") << pageBack << 400 << 1500 << 400 << 0;
        QTest::newRow("page down") << pageFwd << 100 << 2000 << 700 << 800;
        QTest::newRow("page down near the end") << pageFwd << 601 << 2000 << 700 << 1300;
        QTest::newRow("other keeps") << int(ScrollRequest::Other) << 123 << 2000 << 700 << 123;
    }
    void scrollRules() {
        QFETCH(int, request);
        QFETCH(int, position);
        QFETCH(int, extent);
        QFETCH(int, client);
        QFETCH(int, expected);
        QCOMPARE(
            NextScrollPosition(static_cast<ScrollRequest>(request), position, extent, client, true),
            expected);
    }

    void thumbAndImagesWithoutPixels() {
        QCOMPARE(NextScrollPosition(ScrollRequest::ThumbPosition, 5, 2000, 700, true, 640), 640);
        QCOMPARE(NextScrollPosition(ScrollRequest::LineForward, 5, 0, 700, false), 5);
        QCOMPARE(NextScrollPosition(ScrollRequest::PageForward, 5, 0, 700, false), 5);
        QCOMPARE(NextScrollPosition(ScrollRequest::LineBack, 25, 0, 700, false), 15);
        QCOMPARE(ScrollMaximum(2000, 1264), 736);
        QCOMPARE(ScrollMaximum(100, 108), 0);
        QCOMPARE(ClientSizeForOuter(QSize(108, 76), QMargins(4, 22, 4, 4)), QSize(100, 50));
    }

    void placement_data() {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QRect>("requested");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<bool>("vertical");
        const QRect screen(0, 0, 1024, 768);
        // The window manager's frame in these rows is 2 wide at the sides and
        // the bottom and 20 high at the top; scroll bars are 15 pixels.
        QTest::newRow("the default size shows exactly the image")
            << QSize(100, 50) << QRect(5, 5, 108, 76) << screen << QRect(5, 5, 104, 72)
            << QSize(100, 50) << false << false;
        QTest::newRow("a given size is the outer size")
            << QSize(100, 50) << QRect(5, 5, 150, 100) << screen << QRect(5, 5, 150, 100)
            << QSize(146, 78) << false << false;
        QTest::newRow("a given size smaller than the image scrolls")
            << QSize(300, 200) << QRect(0, 0, 200, 150) << screen << QRect(0, 0, 200, 150)
            << QSize(196, 128) << true << true;
        QTest::newRow("only the larger side scrolls")
            << QSize(300, 100) << QRect(0, 0, 200, 150) << screen << QRect(0, 0, 200, 150)
            << QSize(196, 128) << true << false;
        QTest::newRow("a position off the screen comes back")
            << QSize(100, 50) << QRect(65535, 65535, 108, 76) << screen << QRect(920, 696, 104, 72)
            << QSize(100, 50) << false << false;
        QTest::newRow("a position under a panel comes out")
            << QSize(100, 50) << QRect(0, 0, 150, 100) << QRect(0, 30, 1024, 738)
            << QRect(0, 30, 150, 100) << QSize(146, 78) << false << false;
        QTest::newRow("a window larger than the screen is cut to it")
            << QSize(2000, 1500) << QRect(0, 0, 1280, 1024) << screen << QRect(0, 0, 1024, 768)
            << QSize(1020, 746) << true << true;
        QTest::newRow("a default window too wide for the screen scrolls across")
            << QSize(1100, 500) << QRect(0, 0, 1108, 526) << screen << QRect(0, 0, 1024, 537)
            << QSize(1020, 515) << true << false;
        QTest::newRow("a default window too tall makes room for its bar")
            << QSize(300, 1000) << QRect(0, 0, 308, 1026) << screen << QRect(0, 0, 319, 768)
            << QSize(315, 746) << false << true;
    }
    void placement() {
        QFETCH(QSize, image);
        QFETCH(QRect, requested);
        QFETCH(QRect, available);
        QFETCH(QRect, frame);
        QFETCH(QSize, client);
        QFETCH(bool, horizontal);
        QFETCH(bool, vertical);
        const PreviewGeometry placed =
            PlacePreview(image, true, requested, QMargins(2, 20, 2, 2), available, QSize(15, 15));
        QCOMPARE(placed.frame, frame);
        QCOMPARE(placed.client, client);
        QCOMPARE(placed.horizontalBar, horizontal);
        QCOMPARE(placed.verticalBar, vertical);
        QVERIFY(available.contains(placed.frame));
    }

    void placementWithoutPixels() {
        const PreviewGeometry placed =
            PlacePreview(QSize(), false, QRect(10, 10, 200, 100), QMargins(2, 20, 2, 2),
                         QRect(0, 0, 1024, 768), QSize(15, 15));
        QCOMPARE(placed.frame, QRect(10, 10, 200, 100));
        QVERIFY(placed.horizontalBar && placed.verticalBar);
    }

    void defaultSizeShowsTheImageWithoutMargins() {
        auto image = MakeImage(100, 50, 24);
        image->preview = CreatePreviewWindow(*image, "Output", 5, 5, 108, 76, nullptr);
        auto* widget = static_cast<PreviewHandle*>(image->preview.get())->widget();
        QCOMPARE(widget->windowTitle(), QStringLiteral("Output"));
        QCOMPARE(widget->frameGeometry().topLeft(), QPoint(5, 5));
        QCOMPARE(widget->viewport()->size(), QSize(100, 50));
        QCOMPARE(widget->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(widget->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!(widget->windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(widget->windowFlags() & Qt::WindowMinMaxButtonsHint);
        QVERIFY(!widget->close());  // the user cannot close it
        const QImage shown = widget->viewport()->grab().toImage();
        QCOMPARE(shown.size(), QSize(100, 50));
        for (const QPoint at : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 49), QPoint(99, 49)})
            QCOMPARE(QColor(shown.pixel(at)), QColor(Qt::black));
        // Releasing the image closes its window.
        QPointer<PreviewWidget> watch(widget);
        image.reset();
        QVERIFY(watch.isNull());
    }

    void givenSizeShowsWhiteBesideASmallerImage() {
        auto image = MakeImage(100, 50, 24);
        auto handle = CreatePreviewWindow(*image, "Output", 5, 5, 150, 100, nullptr);
        PreviewWidget* widget = handle->widget();
        QCOMPARE(widget->frameGeometry(), QRect(5, 5, 150, 100));
        QCOMPARE(widget->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(widget->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        const QImage shown = widget->viewport()->grab().toImage();
        QVERIFY(shown.width() > 100 && shown.height() > 50);
        QCOMPARE(QColor(shown.pixel(50, 25)), QColor(Qt::black));
        QCOMPARE(QColor(shown.pixel(shown.width() - 1, 10)), QColor(Qt::white));
        QCOMPARE(QColor(shown.pixel(50, shown.height() - 1)), QColor(Qt::white));
        QCOMPARE(QColor(shown.pixel(99, 49)), QColor(Qt::black));
        QCOMPARE(QColor(shown.pixel(100, 49)), QColor(Qt::white));
    }

    void previewsStayOnTheScreen() {
        auto image = MakeImage(100, 50, 24);
        // -1 reaches the window as 65535.
        auto handle = CreatePreviewWindow(*image, "Far", 65535, 65535, 108, 76, nullptr);
        PreviewWidget* widget = handle->widget();
        const QRect screen = widget->screen()->availableGeometry();
        QVERIFY2(screen.contains(widget->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(widget->frameGeometry().x())
                                .arg(widget->frameGeometry().y())
                                .arg(widget->frameGeometry().width())
                                .arg(widget->frameGeometry().height())));
        QCOMPARE(widget->viewport()->size(), QSize(100, 50));

        auto tall = MakeImage(200, 3000, 8);
        auto tallHandle = CreatePreviewWindow(*tall, "Tall", 0, 0, 208, 1024, nullptr);
        PreviewWidget* tallWidget = tallHandle->widget();
        QVERIFY(screen.contains(tallWidget->frameGeometry()));
        QCOMPARE(tallWidget->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(tallWidget->viewport()->width(), 200);
        QCOMPARE(tallWidget->verticalScrollBar()->maximum(),
                 3000 - tallWidget->viewport()->height());
    }

    void largeImageGetsScrollBarsAndRanges() {
        auto image = MakeImage(2000, 1500, 8);
        auto handle = CreatePreviewWindow(*image, "Big", 0, 0, 1280, 1024, nullptr);
        PreviewWidget* widget = handle->widget();
        // As large as asked for, or as the screen where it is smaller.
        const QSize outer =
            QSize(1280, 1024).boundedTo(widget->screen()->availableGeometry().size());
        QCOMPARE(widget->frameGeometry().size(), outer);
        QCOMPARE(widget->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(widget->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QSize client = widget->viewport()->size();
        QVERIFY(client.width() < 1280);
        QCOMPARE(widget->horizontalScrollBar()->maximum(), 2000 - client.width());
        QCOMPARE(widget->verticalScrollBar()->maximum(), 1500 - client.height());
        QCOMPARE(widget->horizontalScrollBar()->minimum(), 0);

        // The scroll bars follow the rules, not Qt's own steps.
        QScrollBar* vertical = widget->verticalScrollBar();
        vertical->setValue(25);
        vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(vertical->value(), 15);
        vertical->setValue(8);
        vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(vertical->value(), 8);
        vertical->setValue(vertical->maximum() - 5);
        vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(vertical->value(), vertical->maximum() - 5);
        vertical->setValue(vertical->maximum() - client.height() + 1);
        vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(vertical->value(), 1500 - client.height());
        vertical->setValue(400);  // page up from less than a page: the top
        vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(vertical->value(), 0);
        vertical->setValue(3);
        vertical->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(vertical->value(), 3);

        // A later PREVIEW repaints but keeps caption, place, size and positions.
        handle->Refresh();
        QCOMPARE(widget->windowTitle(), QStringLiteral("Big"));
        QCOMPARE(widget->frameGeometry(), QRect(QPoint(0, 0), outer));
        QCOMPARE(vertical->value(), 3);
    }

    void previewsOfImagesStayAboveTheirOwner() {
        // X11 window managers keep only dialog-type windows above the window they
        // belong to; a preview of an image without pixels has no owner.
        QWidget owner;
        owner.show();
        auto image = MakeImage(20, 10, 24);
        auto handle = CreatePreviewWindow(*image, "Owned", 0, 0, 100, 100, &owner);
        QCOMPARE(handle->widget()->windowType(), Qt::Dialog);
        QCOMPARE(handle->widget()->windowHandle()->transientParent(), owner.windowHandle());
        QVERIFY(!(handle->widget()->windowFlags() & Qt::WindowCloseButtonHint));
        Image empty;
        auto loose = CreatePreviewWindow(empty, "Loose", 0, 0, 100, 100, &owner);
        QCOMPARE(loose->widget()->windowType(), Qt::Window);
        QCOMPARE(loose->widget()->windowHandle()->transientParent(), nullptr);
    }

    void imageWithoutPixelsShowsBothScrollBarsAndWhite() {
        Image empty;
        auto handle = CreatePreviewWindow(empty, "None", 10, 10, 200, 100, nullptr);
        QCOMPARE(handle->widget()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(handle->widget()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const QImage shown = handle->widget()->viewport()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(3, 3)), QColor(Qt::white));
    }

    void scrolledPaintShowsTheRightPart() {
        auto image = MakeImage(400, 300, 24);
        // A red pixel at (250, 200) from the top-left.
        RowByte(*image, 200, 3 * 250 + 2) = 255;
        auto handle = CreatePreviewWindow(*image, "Scroll", 0, 0, 200, 150, nullptr);
        PreviewWidget* widget = handle->widget();
        widget->horizontalScrollBar()->setValue(200);
        widget->verticalScrollBar()->setValue(150);
        const QImage shown = widget->viewport()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(50, 50)), QColor(Qt::red));
        QCOMPARE(QColor(shown.pixel(51, 50)), QColor(Qt::black));
    }

    void fullWindowPaintMatchesTheImageEverywhere() {
        // Wide enough that a repaint converts the window in many bands; the
        // window is scrolled so that the bands start inside the image.
        for (const uint16_t bits : {uint16_t{24}, uint16_t{8}, uint16_t{4}, uint16_t{1}}) {
            auto image = MakeImage(1500, 700, bits);
            for (int k = 0; k < (bits <= 8 ? 1 << bits : 0); ++k)
                SetEntry(*image, k, static_cast<uint8_t>(k * 7), static_cast<uint8_t>(255 - k),
                         static_cast<uint8_t>(k * 3));
            for (int y = 0; y < 700; ++y)
                for (size_t offset = 0; offset < image->RowStride; ++offset)
                    RowByte(*image, y, offset) = static_cast<uint8_t>(y * 31 + offset * 17);
            auto handle = CreatePreviewWindow(*image, "Bands", 0, 0, 1280, 600, nullptr);
            PreviewWidget* widget = handle->widget();
            widget->horizontalScrollBar()->setValue(123);
            widget->verticalScrollBar()->setValue(45);
            const QImage shown =
                widget->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const QImage expected =
                RenderBitmapRegion(*image, QRect(QPoint(123, 45), shown.size()));
            QCOMPARE(shown.size(), expected.size());
            QVERIFY2(shown == expected, qPrintable(QStringLiteral("depth %1").arg(bits)));
        }
    }

    void rendersEveryDepth() {
        // 1 bit: entry 0 black, entry 1 white; leftmost pixel is the top bit.
        auto mono = MakeImage(10, 2, 1);
        SetEntry(*mono, 1, 255, 255, 255);
        RowByte(*mono, 0, 0) = 0x80;
        RowByte(*mono, 1, 1) = 0x40;  // pixel 9 of the bottom row
        QImage part = RenderBitmapRegion(*mono, QRect(0, 0, 10, 2));
        QCOMPARE(part.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(part.pixel(1, 0), qRgb(0, 0, 0));
        QCOMPARE(part.pixel(9, 1), qRgb(255, 255, 255));

        // 4 bits: the even pixel is the high nibble.
        auto nibble = MakeImage(3, 1, 4);
        SetEntry(*nibble, 2, 10, 20, 30);
        SetEntry(*nibble, 15, 1, 2, 3);
        RowByte(*nibble, 0, 0) = 0x2F;
        RowByte(*nibble, 0, 1) = 0xF0;
        part = RenderBitmapRegion(*nibble, QRect(0, 0, 3, 1));
        QCOMPARE(part.pixel(0, 0), qRgb(10, 20, 30));
        QCOMPARE(part.pixel(1, 0), qRgb(1, 2, 3));
        QCOMPARE(part.pixel(2, 0), qRgb(1, 2, 3));

        // 8 bits with a short colour table (biClrUsed 4): other indices are white.
        auto byte = MakeImage(5, 3, 8, 4);
        byte->SetHeaderInt32(bih::kClrUsed, 4);
        SetEntry(*byte, 3, 200, 100, 50);
        RowByte(*byte, 2, 4) = 3;
        RowByte(*byte, 2, 3) = 9;
        part = RenderBitmapRegion(*byte, QRect(3, 2, 2, 1));
        QCOMPARE(part.size(), QSize(2, 1));
        QCOMPARE(part.pixel(1, 0), qRgb(200, 100, 50));
        QCOMPARE(part.pixel(0, 0), qRgb(255, 255, 255));

        // 24 bits: blue, green, red; rows bottom-up.
        auto rgb = MakeImage(2, 2, 24);
        RowByte(*rgb, 0, 3) = 1;
        RowByte(*rgb, 0, 4) = 2;
        RowByte(*rgb, 0, 5) = 3;
        part = RenderBitmapRegion(*rgb, QRect(1, 0, 1, 1));
        QCOMPARE(part.pixel(0, 0), qRgb(3, 2, 1));
    }

    void malformedImagesNeverReadOutsideTheBlock() {
        // A header that claims more rows than the block holds.
        auto image = MakeImage(4, 4, 24);
        image->block.resize(image->pixelsOffset + image->RowStride * 2);  // two rows left
        const QImage part = RenderBitmapRegion(*image, QRect(0, 0, 4, 4));
        QCOMPARE(part.size(), QSize(4, 4));
        QCOMPARE(part.pixel(0, 0), qRgb(255, 255, 255));  // top rows are missing
        QCOMPARE(part.pixel(0, 3), qRgb(0, 0, 0));

        auto odd = MakeImage(4, 4, 16);  // an unsupported depth
        QCOMPARE(RenderBitmapRegion(*odd, QRect(0, 0, 4, 4)).pixel(1, 1), qRgb(255, 255, 255));
        Image none;
        QVERIFY(RenderBitmapRegion(none, QRect(0, 0, 4, 4)).isNull());
        auto negative = MakeImage(4, 4, 8);
        negative->SetHeaderInt32(bih::kHeight, -4);
        QVERIFY(RenderBitmapRegion(*negative, QRect(0, 0, 4, 4)).isNull());
        // Outside the image gives nothing; a partial region is clipped.
        auto small = MakeImage(4, 4, 8);
        QVERIFY(RenderBitmapRegion(*small, QRect(10, 10, 4, 4)).isNull());
        QCOMPARE(RenderBitmapRegion(*small, QRect(2, 2, 10, 10)).size(), QSize(2, 2));
    }
};

QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
