#include "runtime_ui/system_clipboard.h"

#include <unistd.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <memory>

#include "engine/image_record.h"
#include "image/bmp_file.h"
#include "image/dib_header.h"

namespace tarvil {

namespace {

const QString kBmpFormat = QStringLiteral("image/bmp");
// Carried by our own clipboard data, with the process id and this object's
// address, so that another Tarvil's image still counts as a change.
const QString kOwnerFormat = QStringLiteral("application/x-tarvil-owner");

const QString kPngFormat = QStringLiteral("image/png");

const QString kQtImageFormat = QStringLiteral("application/x-qt-image");

// Our image on the clipboard: the BMP file exactly as written, and for programs
// that do not read BMP the decoded image and a PNG, both made only when one
// asks for them, so a save to the clipboard decodes nothing.
class ClipboardImageData : public QMimeData {
public:
    explicit ClipboardImageData(QByteArray bmp) { setData(kBmpFormat, bmp); }

    QStringList formats() const override {
        QStringList list = QMimeData::formats();
        for (const QString& format : {kQtImageFormat, kPngFormat})
            if (!list.contains(format)) list.insert(1, format);
        return list;
    }
    bool hasFormat(const QString& mimeType) const override {
        return mimeType == kPngFormat || mimeType == kQtImageFormat ||
               QMimeData::hasFormat(mimeType);
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType == kQtImageFormat) return decoded();
        if (mimeType != kPngFormat) return QMimeData::retrieveData(mimeType, type);
        if (m_png.isEmpty()) {
            QBuffer buffer(&m_png);
            const QImage image = decoded();
            if (!image.isNull() && buffer.open(QIODevice::WriteOnly)) image.save(&buffer, "PNG");
        }
        return m_png;
    }

private:
    QImage decoded() const {
        if (m_image.isNull()) m_image = QImage::fromData(QMimeData::data(kBmpFormat), "BMP");
        return m_image;
    }

    mutable QImage m_image;
    mutable QByteArray m_png;
};

std::span<const uint8_t> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())};
}

// Palette images keep their colours; everything else becomes 32-bit ARGB.
ClipboardBitmap PictureFromImage(const QImage& image) {
    ClipboardBitmap picture;
    picture.width = image.width();
    picture.height = image.height();
    const auto width = static_cast<size_t>(image.width());
    const auto height = static_cast<size_t>(image.height());
    picture.pixels.resize(width * height);
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
        image.format() == QImage::Format_Indexed8) {
        picture.depth = image.depth();
        const QList<QRgb> table = image.colorTable();
        for (QRgb colour : table) picture.palette.push_back(colour & 0xFFFFFF);
        for (size_t y = 0; y < height; ++y) {
            for (size_t x = 0; x < width; ++x) {
                const int index = image.pixelIndex(static_cast<int>(x), static_cast<int>(y));
                const QRgb colour = index >= 0 && index < table.size() ? table[index] : 0;
                picture.pixels[y * width + x] = 0xFF000000 | colour;
            }
        }
        return picture;
    }
    picture.depth = image.depth();
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (size_t y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(static_cast<int>(y)));
        std::copy(line, line + width, picture.pixels.begin() + static_cast<ptrdiff_t>(y * width));
    }
    return picture;
}

}  // namespace

SystemClipboard::SystemClipboard(QObject* parent)
    : QObject(parent), m_clipboard(QGuiApplication::clipboard()) {
    m_ownerMark = QByteArray::number(static_cast<qlonglong>(getpid())) + ":" +
                  QByteArray::number(reinterpret_cast<quintptr>(this), 16);
    connect(m_clipboard, &QClipboard::dataChanged, this, &SystemClipboard::onDataChanged);
}

bool SystemClipboard::isOwnData() const {
    const QMimeData* data = m_clipboard->mimeData();
    return data != nullptr && data->hasFormat(kOwnerFormat) &&
           data->data(kOwnerFormat) == m_ownerMark;
}

void SystemClipboard::onDataChanged() {
    // Our own put and clear, reported at once or later by the platform.
    if (m_changingItself || isOwnData()) return;
    ++m_changeCount;
    emit changed();
}

ClipboardOffer SystemClipboard::offer() const {
    ClipboardOffer offer;
    const QMimeData* data = m_clipboard->mimeData();
    if (data == nullptr) return offer;
    if (data->hasFormat(kBmpFormat)) {
        // A bitmap outside the model (a V5 header, say) goes the picture way instead.
        offer.packedDib = CheckBmpFile(Bytes(data->data(kBmpFormat))).has_value();
    }
    offer.bitmap = data->hasImage();
    offer.png = data->hasFormat(kPngFormat);
    return offer;
}

std::optional<std::vector<uint8_t>> SystemClipboard::takePng() const {
    const QMimeData* data = m_clipboard->mimeData();
    if (data == nullptr || !data->hasFormat(kPngFormat)) return std::nullopt;
    const std::span<const uint8_t> png = Bytes(data->data(kPngFormat));
    return std::vector<uint8_t>(png.begin(), png.end());
}

std::optional<std::vector<uint8_t>> SystemClipboard::takePackedDib() const {
    const QMimeData* data = m_clipboard->mimeData();
    if (data == nullptr || !data->hasFormat(kBmpFormat)) return std::nullopt;
    return PackedDibFromBmpFile(Bytes(data->data(kBmpFormat)));
}

std::optional<ClipboardBitmap> SystemClipboard::takeBitmap() const {
    const QMimeData* data = m_clipboard->mimeData();
    if (data == nullptr || !data->hasImage()) return std::nullopt;
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull() || image.width() > kMaxImageDimension ||
        image.height() > kMaxImageDimension) {
        return std::nullopt;
    }
    return PictureFromImage(image);
}

bool SystemClipboard::put(std::span<const uint8_t> packedDib) {
    if (packedDib.size() < bih::kHeaderBytes) return false;
    const std::vector<uint8_t> file = BmpFileFromPackedDib(packedDib);
    const QByteArray bmp(reinterpret_cast<const char*>(file.data()),
                         static_cast<qsizetype>(file.size()));
    auto data = std::make_unique<ClipboardImageData>(bmp);
    data->setData(kOwnerFormat, m_ownerMark);
    m_changingItself = true;
    m_clipboard->setMimeData(data.release());  // the clipboard owns it from here
    m_changingItself = false;
    return isOwnData();
}

void SystemClipboard::clear() {
    m_changingItself = true;
    m_clipboard->clear();
    m_changingItself = false;
}

}  // namespace tarvil
