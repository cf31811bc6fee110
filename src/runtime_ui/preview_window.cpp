#include "runtime_ui/preview_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "runtime_ui/bitmap_region.h"
#include "runtime_ui/engine_text.h"
#include "runtime_ui/progress_dialog.h"

namespace tarvil {

namespace {
constexpr int kLineStep = 10;
// The most bytes one band of a repaint converts at a time.
constexpr int kPaintBandBytes = 96 * 1024;
// Scroll range of a window whose image has no pixels.
constexpr int kDefaultRange = 100;

// The part of the screen a window at `at` may take: that screen's, else the
// owner's, else the primary screen's, less panels and docks.
QRect AvailableArea(QPoint at, const QWidget* owner) {
    QScreen* screen = QGuiApplication::screenAt(at);
    if (screen == nullptr && owner != nullptr) screen = owner->screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {0, 0, 1 << 17, 1 << 17};
    return screen->availableGeometry();
}

QMargins FrameMarginsOf(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}
}  // namespace

int NextScrollPosition(ScrollRequest request, int position, int extent, int client, bool hasPixels,
                       int thumbPosition) {
    const int p = position;
    switch (request) {
        case ScrollRequest::LineBack:
            return p > kLineStep ? p - kLineStep : p;
        case ScrollRequest::LineForward:
            if (!hasPixels) return p;
            return extent - client - kLineStep > p ? p + kLineStep : p;
        case ScrollRequest::PageBack:
            return client < p ? p - client : 0;
        case ScrollRequest::PageForward:
            if (!hasPixels) return p;
            return extent - 2 * client > p ? p + client : extent - client;
        case ScrollRequest::ThumbPosition:
            return thumbPosition;
        case ScrollRequest::Other:
            break;
    }
    return p;
}

int ScrollMaximum(int extent, int client) {
    return std::max(0, extent - client);
}

QSize ClientSizeForOuter(QSize outer, QMargins frame) {
    return {std::max(1, outer.width() - frame.left() - frame.right()),
            std::max(1, outer.height() - frame.top() - frame.bottom())};
}

PreviewGeometry PlacePreview(QSize image, bool hasPixels, QRect requested, QMargins frame,
                             QRect available, QSize bars) {
    const bool fitWidth = hasPixels && requested.width() == image.width() + kDefaultFrameWidth;
    const bool fitHeight = hasPixels && requested.height() == image.height() + kDefaultFrameHeight;
    const QSize asked = ClientSizeForOuter(requested.size(), frame);
    // The largest window the screen holds with its frame.
    const QSize room = ClientSizeForOuter(available.size(), frame);

    PreviewGeometry g;
    g.horizontalBar = !hasPixels || (!fitWidth && image.width() > requested.width());
    g.verticalBar = !hasPixels || (!fitHeight && image.height() > requested.height());
    // A bar gained on one side takes room from the other, which may then need
    // one too: bars are only ever added, so this ends within three rounds.
    for (bool changed = true; changed;) {
        const QSize wanted(
            fitWidth ? image.width() + (g.verticalBar ? bars.width() : 0) : asked.width(),
            fitHeight ? image.height() + (g.horizontalBar ? bars.height() : 0) : asked.height());
        g.client = wanted.boundedTo(room);
        changed = false;
        if (!hasPixels) break;
        // A window the screen cut short, or one fitted to the image that lost
        // room to a bar, shows the rest of the image through scroll bars.
        const QSize picture(g.client.width() - (g.verticalBar ? bars.width() : 0),
                            g.client.height() - (g.horizontalBar ? bars.height() : 0));
        const bool cutWidth = fitWidth || g.client.width() < wanted.width();
        const bool cutHeight = fitHeight || g.client.height() < wanted.height();
        if (!g.horizontalBar && cutWidth && picture.width() < image.width()) {
            g.horizontalBar = changed = true;
        }
        if (!g.verticalBar && cutHeight && picture.height() < image.height()) {
            g.verticalBar = changed = true;
        }
    }

    const QSize outer = g.client.grownBy(frame);
    const int x =
        std::max(available.left(),
                 std::min(requested.x(), available.x() + available.width() - outer.width()));
    const int y =
        std::max(available.top(),
                 std::min(requested.y(), available.y() + available.height() - outer.height()));
    g.frame = QRect(QPoint(x, y), outer);
    return g;
}

PreviewWidget::PreviewWidget(const Image& image, const QString& title, QRect outer, QWidget* owner)
    : QAbstractScrollArea(nullptr), m_image(&image), m_requested(outer), m_owner(owner) {
    // No close button: the window lives as long as its image. A window with an
    // owner is of the dialog type, the only kind X11 window managers keep above
    // the window it belongs to (a plain window's owner is never passed on).
    const Qt::WindowType kind = image.hasPixels && owner != nullptr ? Qt::Dialog : Qt::Window;
    setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinMaxButtonsHint);
    setWindowTitle(title);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::ArrowCursor);

    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        // The thumb moves while dragged; the picture follows when it is released.
        bar->setTracking(false);
        bar->setSingleStep(kLineStep);
        bar->setRange(0, kDefaultRange);
    }
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { onAction(Qt::Vertical, action); });

    // Windows of images without pixels have no owner.
    if (image.hasPixels) KeepAboveOwner(this, owner);
    // Until the window manager has framed this window, the owner's frame is the
    // best guess of what it will add.
    QMargins frame;
    if (owner != nullptr) frame = FrameMarginsOf(owner->window());
    applyGeometry(frame);
}

void PreviewWidget::applyGeometry(QMargins frame) {
    const bool hasPixels = m_image != nullptr && m_image->hasPixels;
    const QSize image = hasPixels ? QSize(m_image->Width(), m_image->Height()) : QSize();
    const QSize bars(verticalScrollBar()->sizeHint().width(),
                     horizontalScrollBar()->sizeHint().height());
    const PreviewGeometry g = PlacePreview(image, hasPixels, m_requested, frame,
                                           AvailableArea(m_requested.topLeft(), m_owner), bars);
    setHorizontalScrollBarPolicy(g.horizontalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(g.verticalBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (frameGeometry().topLeft() != g.frame.topLeft()) move(g.frame.topLeft());
    if (size() != g.client) resize(g.client);
}

void PreviewWidget::bind() {
    QRect changed = viewport()->rect();
    if (m_image != nullptr && m_image->hasPixels) {
        const QSize client = viewport()->size();
        horizontalScrollBar()->setRange(0, ScrollMaximum(m_image->Width(), client.width()));
        verticalScrollBar()->setRange(0, ScrollMaximum(m_image->Height(), client.height()));
        horizontalScrollBar()->setPageStep(std::max(1, client.width()));
        verticalScrollBar()->setPageStep(std::max(1, client.height()));
        if (!m_image->AllRowsChanged()) {
            // Only the rows written since the last repaint are converted again.
            const QSize size = BitmapSize(*m_image);
            const int64_t end = std::min<int64_t>(m_image->changedRowsEnd, size.height());
            const int64_t begin = m_image->changedRowsBegin;
            changed = QRect();
            if (begin < end) {
                const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
                // Stored rows run bottom-up.
                const QRect rows(0, static_cast<int>(size.height() - end), size.width(),
                                 static_cast<int>(end - begin));
                changed = rows.translated(origin) & viewport()->rect();
            }
        }
    }
    if (!changed.isEmpty()) viewport()->repaint(changed);
    if (m_image != nullptr) m_image->ClearChangedRows();
}

void PreviewWidget::onAction(Qt::Orientation orientation, int action) {
    QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    ScrollRequest request = ScrollRequest::Other;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            request = ScrollRequest::LineBack;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            request = ScrollRequest::LineForward;
            break;
        case QAbstractSlider::SliderPageStepSub:
            request = ScrollRequest::PageBack;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            request = ScrollRequest::PageForward;
            break;
        case QAbstractSlider::SliderMove:
            // A released thumb (or the wheel) carries a position; a dragged one waits.
            request = bar->isSliderDown() ? ScrollRequest::Other : ScrollRequest::ThumbPosition;
            break;
        default:
            break;
    }
    const bool hasPixels = m_image != nullptr && m_image->hasPixels;
    int extent = 0;
    if (hasPixels) extent = orientation == Qt::Horizontal ? m_image->Width() : m_image->Height();
    const int client = orientation == Qt::Horizontal ? viewport()->width() : viewport()->height();
    const int next =
        NextScrollPosition(request, bar->value(), extent, client, hasPixels, bar->sliderPosition());
    bar->setSliderPosition(next);
}

void PreviewWidget::scrollContentsBy(int, int) {
    // The next paint shows the new part; nothing is moved on the screen.
    viewport()->update();
}

void PreviewWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    const QSize size = m_image != nullptr ? BitmapSize(*m_image) : QSize();
    const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect imageArea(origin, size);
    const QRect visible = exposed & imageArea;
    if (!visible.isEmpty()) {
        // Converted and drawn a band of rows at a time: the band stays small enough
        // to be reused from the heap, where a whole window's worth (5 MB) would be
        // fresh pages to clear on every full repaint.
        const int bandRows = std::max(1, kPaintBandBytes / (4 * visible.width()));
        for (int top = visible.top(); top <= visible.bottom(); top += bandRows) {
            const QRect band(visible.left(), top, visible.width(),
                             std::min(bandRows, visible.bottom() + 1 - top));
            painter.drawImage(band.topLeft(),
                              RenderBitmapRegion(*m_image, band.translated(-origin)));
        }
    }
    // White right of and below the image.
    for (const QRect& rest : QRegion(exposed).subtracted(QRegion(imageArea))) {
        painter.fillRect(rest, Qt::white);
    }
}

void PreviewWidget::closeEvent(QCloseEvent* event) {
    // The user cannot close a preview; it goes when its image is released.
    event->ignore();
}

bool PreviewWidget::event(QEvent* event) {
    // The window manager's frame is known only once the window is up, and on X11
    // only some time after: until then the window is fitted again whenever the
    // window system shows, moves or exposes it, and once with the frame known.
    switch (event->type()) {
        case QEvent::Show:
            // Exposure comes to the window alone: the frame is there by then,
            // even when the window manager left the window where it was.
            if (windowHandle() != nullptr) windowHandle()->installEventFilter(this);
            [[fallthrough]];
        case QEvent::Move:
            if (!m_fitted) QTimer::singleShot(0, this, &PreviewWidget::fitOuterSize);
            break;
        default:
            break;
    }
    return QAbstractScrollArea::event(event);
}

bool PreviewWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose && !m_fitted) {
        QTimer::singleShot(0, this, &PreviewWidget::fitOuterSize);
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void PreviewWidget::fitOuterSize() {
    if (m_fitted) return;
    const QMargins frame = FrameMarginsOf(this);
    // A shown window without a frame is not framed yet: the guess stands.
    if (frame.isNull() && isVisible()) return;
    // Fitted with a frame, the window is the user's to move from now on.
    m_fitted = true;
    // The position, like the size, is the frame's: placed before the frame was
    // known, the caption could lie above the screen's edge.
    const QSize before = size();
    const QSize pictureBefore = viewport()->size();
    applyGeometry(frame);
    // The frame may also have cost or given a scroll bar.
    if (size() != before || viewport()->size() != pictureBefore) {
        if (m_image != nullptr) m_image->MarkAllRowsChanged();
        if (isVisible()) bind();
    }
}

PreviewHandle::PreviewHandle(std::unique_ptr<PreviewWidget> widget) : m_widget(std::move(widget)) {}

PreviewHandle::~PreviewHandle() {
    if (m_widget) m_widget->detach();
}

void PreviewHandle::Refresh() {
    if (m_widget) m_widget->bind();
}

std::unique_ptr<PreviewHandle> CreatePreviewWindow(const Image& image, std::string_view title,
                                                   int x, int y, int width, int height,
                                                   QWidget* owner) {
    auto widget = std::make_unique<PreviewWidget>(image, FromEngineText(title),
                                                  QRect(x, y, width, height), owner);
    widget->show();
    widget->fitOuterSize();
    widget->bind();
    return std::make_unique<PreviewHandle>(std::move(widget));
}

}  // namespace tarvil
