// The Qt clipboard adapter, on Qt's offscreen platform (an in-process clipboard).
#include "runtime_ui/system_clipboard.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <memory>

#include "engine/image_record.h"
#include "image/bmp_file.h"
#include "image/packed_dib.h"

namespace tarvil {
namespace {

class SystemClipboardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Never the user's real clipboard.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "system_clipboard_test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    static void TearDownTestSuite() { application_.reset(); }
    void SetUp() override { Clipboard()->clear(); }

    static QClipboard* Clipboard() { return QGuiApplication::clipboard(); }

    // Another program's data: not put through SystemClipboard.
    static void PutForeign(const QString& format, const QByteArray& bytes) {
        auto data = std::make_unique<QMimeData>();
        data->setData(format, bytes);
        Clipboard()->setMimeData(data.release());
    }

    static inline std::unique_ptr<QGuiApplication> application_;
};

// A packed 3 × 2 bitmap of 8 bits with a grey colour table: pixel index = 40 × (x + 3y).
std::vector<uint8_t> EightBitDib() {
    std::vector<uint8_t> dib(40 + 1024 + 8, 0);
    dib[0] = 40;
    dib[4] = 3;
    dib[8] = 2;
    dib[12] = 1;
    dib[14] = 8;
    for (int k = 0; k < 256; ++k) dib[40 + 4 * k] = dib[41 + 4 * k] = dib[42 + 4 * k] = k;
    // Bottom row (y = 1) first.
    const uint8_t rows[8] = {120, 160, 200, 0, 0, 40, 80, 0};
    std::copy(std::begin(rows), std::end(rows), dib.begin() + 1064);
    return dib;
}

std::span<const uint8_t> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())};
}

TEST_F(SystemClipboardTest, CountStartsAtOneAndRisesForOtherProgramsChanges) {
    SystemClipboard clipboard;
    int notices = 0;
    QObject::connect(&clipboard, &SystemClipboard::changed, [&notices] { ++notices; });
    EXPECT_EQ(clipboard.changeCount(), 1);
    Clipboard()->setText("text");
    EXPECT_EQ(clipboard.changeCount(), 2);
    Clipboard()->setImage(QImage(2, 2, QImage::Format_RGB32));
    EXPECT_EQ(clipboard.changeCount(), 3);
    EXPECT_EQ(notices, 2);
    clipboard.setChangeCount(0xFFFF);
    Clipboard()->clear();
    EXPECT_EQ(clipboard.changeCount(), 0) << "16 bits, wrapping";
}

TEST_F(SystemClipboardTest, OwnChangesDoNotCountButAnotherTarvilsDo) {
    SystemClipboard clipboard;
    ASSERT_TRUE(clipboard.put(EightBitDib()));
    EXPECT_EQ(clipboard.changeCount(), 1);
    clipboard.clear();
    EXPECT_EQ(clipboard.changeCount(), 1);
    clipboard.setChangeCount(0);

    SystemClipboard other;
    ASSERT_TRUE(other.put(EightBitDib()));
    EXPECT_EQ(clipboard.changeCount(), 1);
    EXPECT_EQ(other.changeCount(), 1);
}

TEST_F(SystemClipboardTest, PutOffersABmpFileAnImageAndAPng) {
    SystemClipboard clipboard;
    const auto dib = EightBitDib();
    ASSERT_TRUE(clipboard.put(dib));
    const QMimeData* data = Clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    const QByteArray bmp = data->data("image/bmp");
    ASSERT_EQ(static_cast<size_t>(bmp.size()), 14 + dib.size());
    EXPECT_EQ(bmp.left(2), QByteArray("BM"));
    const auto expected = BmpFileFromPackedDib(dib);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), Bytes(bmp).begin()));

    // The decoded image and a PNG are there for programs that do not read BMP.
    EXPECT_TRUE(data->formats().contains("image/png"));
    for (const QImage& image : {QImage::fromData(data->data("image/png"), "PNG"),
                                qvariant_cast<QImage>(data->imageData())}) {
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(3, 2));
        EXPECT_EQ(qRed(image.pixel(1, 0)), 40);
        EXPECT_EQ(qGreen(image.pixel(2, 1)), 200);
    }

    const ClipboardOffer offer = clipboard.offer();
    EXPECT_TRUE(offer.packedDib);
    EXPECT_TRUE(offer.bitmap);
    EXPECT_EQ(clipboard.takePackedDib(), dib) << "the same bytes come back";
}

TEST_F(SystemClipboardTest, EmptyClipboardOffersNothing) {
    SystemClipboard clipboard;
    const ClipboardOffer offer = clipboard.offer();
    EXPECT_FALSE(offer.packedDib);
    EXPECT_FALSE(offer.bitmap);
    EXPECT_FALSE(clipboard.takePackedDib().has_value());
    EXPECT_FALSE(clipboard.takeBitmap().has_value());
    Clipboard()->setText("no image");
    EXPECT_FALSE(clipboard.offer().packedDib);
    EXPECT_FALSE(clipboard.offer().bitmap);
}

TEST_F(SystemClipboardTest, ForeignBmpIsTakenWithoutItsFileHeader) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(10, 20, 30));
    source.setPixel(2, 0, qRgb(200, 100, 50));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&buffer, "BMP"));
    PutForeign("image/bmp", bmp);

    SystemClipboard clipboard;
    EXPECT_TRUE(clipboard.offer().packedDib);
    auto dib = clipboard.takePackedDib();
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->size(), static_cast<size_t>(bmp.size()) - 14);
    Image image;
    ASSERT_TRUE(AdoptPackedDib(ImageBlock(dib->begin(), dib->end()), image));
    EXPECT_EQ(image.Width(), 3);
    // Top-right pixel: the last pixel of the row stored last (rows are bottom-up).
    const size_t at = image.pixelsOffset + image.RowStride + 2 * (image.BitCount() / 8);
    EXPECT_EQ(image.block[at], 50);
    EXPECT_EQ(image.block[at + 2], 200);
}

TEST_F(SystemClipboardTest, ForeignPngIsTakenAsItsBytes) {
    QImage source(3, 2, QImage::Format_RGB32);
    source.fill(qRgb(10, 20, 30));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(source.save(&buffer, "PNG"));
    PutForeign("image/png", png);

    SystemClipboard clipboard;
    EXPECT_TRUE(clipboard.offer().png);
    EXPECT_FALSE(clipboard.offer().packedDib);
    const auto taken = clipboard.takePng();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(*taken, std::vector<uint8_t>(png.begin(), png.end()));
    Clipboard()->setText("no image");
    EXPECT_FALSE(clipboard.offer().png);
    EXPECT_FALSE(clipboard.takePng().has_value());
}

TEST_F(SystemClipboardTest, BmpOutsideTheModelIsNotOfferedAsAPackedBitmap) {
    // A 124-byte header: Qt itself does not write one, other programs do.
    QByteArray bmp(14 + 124 + 16, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[10] = static_cast<char>(138);
    bmp[14] = 124;
    bmp[18] = 2;
    bmp[22] = 2;
    bmp[26] = 1;
    bmp[28] = 24;
    PutForeign("image/bmp", bmp);
    SystemClipboard clipboard;
    EXPECT_FALSE(clipboard.offer().packedDib);
    EXPECT_FALSE(clipboard.takePackedDib().has_value());

    PutForeign("image/bmp", QByteArray("BM"));
    EXPECT_FALSE(clipboard.offer().packedDib);
    EXPECT_FALSE(clipboard.takePackedDib().has_value());
}

TEST_F(SystemClipboardTest, TrueColourImagesBecomeArgbPictures) {
    const struct {
        QImage::Format format;
        int depth;
    } cases[] = {
        {QImage::Format_ARGB32, 32}, {QImage::Format_RGB888, 24}, {QImage::Format_RGB16, 16}};
    for (const auto& c : cases) {
        QImage source(3, 2, c.format);
        source.fill(qRgb(0, 0, 0));
        source.setPixel(0, 0, qRgb(255, 0, 0));
        source.setPixel(2, 1, qRgb(0, 0, 255));
        Clipboard()->setImage(source);
        SystemClipboard clipboard;
        EXPECT_TRUE(clipboard.offer().bitmap);
        const auto picture = clipboard.takeBitmap();
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->width, 3);
        EXPECT_EQ(picture->height, 2);
        EXPECT_EQ(picture->depth, c.depth);
        EXPECT_TRUE(picture->palette.empty());
        ASSERT_EQ(picture->pixels.size(), 6u);
        EXPECT_EQ(picture->pixels[0] & 0xFFFFFF, 0xFF0000u) << "top-down";
        EXPECT_EQ(picture->pixels[5] & 0xFFFFFF, 0x0000FFu);
        EXPECT_EQ(picture->pixels[1] & 0xFFFFFF, 0u);
    }
}

TEST_F(SystemClipboardTest, PaletteImagesKeepTheirTableAndDepth) {
    QImage mono(9, 1, QImage::Format_Mono);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    Clipboard()->setImage(mono);
    SystemClipboard clipboard;
    auto picture = clipboard.takeBitmap();
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->depth, 1);
    EXPECT_EQ(picture->palette, (std::vector<uint32_t>{0xFFFFFF, 0x000000}));
    EXPECT_EQ(picture->pixels[0] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(picture->pixels[8] & 0xFFFFFF, 0u);

    QImage indexed(2, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3), qRgb(4, 5, 6), qRgb(7, 8, 9)});
    indexed.fill(2);
    indexed.setPixel(1, 0, 1);
    Clipboard()->setImage(indexed);
    picture = clipboard.takeBitmap();
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->depth, 8);
    EXPECT_EQ(picture->palette.size(), 3u);
    EXPECT_EQ(picture->pixels[1] & 0xFFFFFF, 0x040506u);
    EXPECT_EQ(picture->pixels[3] & 0xFFFFFF, 0x070809u);

    // Through the core's conversion the indices come back.
    const auto dib = BitmapToPackedDib(*picture);
    ASSERT_TRUE(dib.has_value());
    Image image;
    ASSERT_TRUE(AdoptPackedDib(ImageBlock(dib->begin(), dib->end()), image));
    EXPECT_EQ(image.BitCount(), 8);
    EXPECT_EQ(image.block[image.pixelsOffset + image.RowStride + 1], 1) << "top row, column 1";
    EXPECT_EQ(image.block[image.pixelsOffset], 2);
}

}  // namespace
}  // namespace tarvil
