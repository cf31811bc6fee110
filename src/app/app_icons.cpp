#include "app/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

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

}  // namespace

QIcon MakeIcon(AppIcon which) {
    if (const char* name = ThemeName(which)) {
        const QIcon themed = QIcon::fromTheme(QLatin1String(name));
        // A theme whose icons cannot be rendered here gives empty pixmaps.
        if (!themed.isNull() && !themed.pixmap(16, 16).isNull()) return themed;
    }
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        Draw(painter, which);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace tarvil
