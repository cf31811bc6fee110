#include "app/app_icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <utility>
#include <vector>

namespace tarvil {

namespace {

const char* ThemeName(AppIcon which) {
    switch (which) {
        case AppIcon::New:
            return "document-new";
        case AppIcon::Open:
            return "document-open";
        case AppIcon::Save:
            return "document-save";
        case AppIcon::Cut:
            return "edit-cut";
        case AppIcon::Copy:
            return "edit-copy";
        case AppIcon::Paste:
            return "edit-paste";
        case AppIcon::Run:
            return "media-playback-start";
        case AppIcon::Stop:
            return "process-stop";
        case AppIcon::Print:
            return "document-print";
        case AppIcon::About:
            return "help-about";
        case AppIcon::Application:
            break;
    }
    return nullptr;
}

void Page(QPainter& p, QRectF r) {
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - 3, r.top());
    page.lineTo(r.right(), r.top() + 3);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
    p.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

// Draws on a 16 × 16 grid.
void Draw(QPainter& p, AppIcon which) {
    const QPen outline(QColor(0x30, 0x30, 0x30), 1.0);
    p.setPen(outline);
    switch (which) {
        case AppIcon::Application: {
            // A framed picture with a brush stroke: images edited by script.
            p.setBrush(QColor(0xF4, 0xE8, 0xC8));
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            p.setBrush(QColor(0x7C, 0xB8, 0xE8));
            p.drawRect(QRectF(3.5, 3.5, 9, 6));
            p.setBrush(QColor(0x3C, 0x9A, 0x3C));
            QPainterPath hill;
            hill.moveTo(3.5, 9.5);
            hill.lineTo(6.5, 6);
            hill.lineTo(9, 8);
            hill.lineTo(10.5, 6.5);
            hill.lineTo(12.5, 9.5);
            hill.closeSubpath();
            p.drawPath(hill);
            p.setPen(QPen(QColor(0x20, 0x20, 0x80), 1.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4.5, 12.3), QPointF(11.5, 12.3));
            break;
        }
        case AppIcon::New:
            Page(p, QRectF(3.5, 1.5, 9, 13));
            break;
        case AppIcon::Open:
            p.setBrush(QColor(0xE8, 0xC0, 0x50));
            p.drawRect(QRectF(1.5, 4.5, 12, 9));
            p.setBrush(QColor(0xF6, 0xD8, 0x78));
            p.drawPolygon(QPolygonF(
                {QPointF(3.5, 7.5), QPointF(15, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
            break;
        case AppIcon::Save:
            p.setBrush(QColor(0x40, 0x60, 0xA0));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 1.5, 9, 6));
            p.setBrush(QColor(0xC0, 0xC0, 0xC0));
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            break;
        case AppIcon::Cut:
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(4, 1.5), QPointF(10, 11));
            p.drawLine(QPointF(12, 1.5), QPointF(6, 11));
            p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 1.3));
            p.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
            p.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
            break;
        case AppIcon::Copy:
            Page(p, QRectF(1.5, 1.5, 8, 10));
            Page(p, QRectF(6.5, 4.5, 8, 10));
            break;
        case AppIcon::Paste:
            p.setBrush(QColor(0xB0, 0x80, 0x40));
            p.drawRect(QRectF(2.5, 2.5, 11, 12));
            p.setBrush(QColor(0xD0, 0xD0, 0xD0));
            p.drawRect(QRectF(5.5, 1.5, 5, 3));
            Page(p, QRectF(6.5, 6.5, 8, 8.5));
            break;
        case AppIcon::Run:
            p.setBrush(QColor(0x20, 0xA0, 0x30));
            p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
            break;
        case AppIcon::Stop: {
            // A red octagon with a white bar, as on a stop sign.
            p.setBrush(QColor(0xC8, 0x28, 0x28));
            QPolygonF octagon;
            for (const auto& [x, y] : {std::pair{5.5, 1.5},
                                       {10.5, 1.5},
                                       {14.5, 5.5},
                                       {14.5, 10.5},
                                       {10.5, 14.5},
                                       {5.5, 14.5},
                                       {1.5, 10.5},
                                       {1.5, 5.5}})
                octagon << QPointF(x, y);
            p.drawPolygon(octagon);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 7, 8, 2));
            break;
        }
        case AppIcon::Print:
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(0x90, 0x90, 0x90));
            p.drawRect(QRectF(1.5, 6.5, 13, 6));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            break;
        case AppIcon::About: {
            p.setBrush(QColor(0x30, 0x60, 0xC0));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
            p.drawPoint(QPointF(8, 4.8));
            p.drawLine(QPointF(8, 7.5), QPointF(8, 11.5));
            break;
        }
    }
}

// Draws an icon when a size is asked for, and keeps what it drew: the toolbar
// needs a few small pixmaps, and drawing every icon at every size while the
// window is being built cost more than a third of the start-up.
class DrawnIconEngine final : public QIconEngine {
public:
    explicit DrawnIconEngine(AppIcon which) : m_which(which) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(m_which); }
    QString key() const override { return QStringLiteral("tarvil-drawn"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal scale =
            painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1;
        painter->drawPixmap(rect, DrawnPixmap((QSizeF(rect.size()) * scale).toSize(), mode, scale));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        return DrawnPixmap(size, mode, 1);
    }

    // QIcon hands over the size in device pixels already.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        return DrawnPixmap(size, mode, scale);
    }

    // What a window manager is offered for a window icon.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const int side : kWindowIconSides) sizes.append(QSize(side, side));
        return sizes;
    }

private:
    static constexpr int kWindowIconSides[] = {16, 24, 32, 48, 64, 128};

    struct CacheKey {
        int width;
        int height;
        QIcon::Mode mode;
        qreal scale;
        bool operator==(const CacheKey&) const = default;
    };

    QPixmap DrawnPixmap(QSize pixels, QIcon::Mode mode, qreal scale) {
        if (pixels.isEmpty()) return QPixmap();
        const CacheKey key{pixels.width(), pixels.height(), mode, scale};
        for (const auto& [cachedKey, cached] : m_drawn) {
            if (cachedKey == key) return cached;
        }
        QPixmap pixmap = Drawn(pixels);
        // Disabled actions show the style's greyed form, as pixmap icons do.
        if (mode == QIcon::Disabled) {
            if (const auto* application =
                    qobject_cast<QApplication*>(QCoreApplication::instance())) {
                QStyleOption option;
                option.palette = QApplication::palette();
                pixmap = application->style()->generatedIconPixmap(mode, pixmap, &option);
            }
        }
        pixmap.setDevicePixelRatio(scale);
        m_drawn.emplace_back(key, pixmap);
        return pixmap;
    }

    // The icon is drawn on a 16-unit grid, scaled to the square's side and centred.
    QPixmap Drawn(QSize pixels) const {
        QPixmap pixmap(pixels);
        pixmap.fill(Qt::transparent);
        const int side = std::min(pixels.width(), pixels.height());
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate((pixels.width() - side) / 2.0, (pixels.height() - side) / 2.0);
        painter.scale(side / 16.0, side / 16.0);
        Draw(painter, m_which);
        painter.end();
        return pixmap;
    }

    AppIcon m_which;
    std::vector<std::pair<CacheKey, QPixmap>> m_drawn;
};

}  // namespace

QIcon MakeIcon(AppIcon which) {
    if (const char* name = ThemeName(which)) {
        const QIcon themed = QIcon::fromTheme(QLatin1String(name));
        // A theme whose icons cannot be rendered here gives empty pixmaps.
        if (!themed.isNull() && !themed.pixmap(16, 16).isNull()) return themed;
    }
    return QIcon(new DrawnIconEngine(which));
}

}  // namespace tarvil
