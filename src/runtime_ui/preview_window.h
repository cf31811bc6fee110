// Preview windows: one scrollable top-level window per image, showing it 1:1.
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <memory>
#include <string_view>

#include "engine/image_record.h"

namespace tarvil {

// Scroll requests of a preview's scroll bars.
enum class ScrollRequest { LineBack, LineForward, PageBack, PageForward, ThumbPosition, Other };

// The position a scroll request moves to. `extent` is the image's width or
// height, `client` the client width or height. Line steps are 10 pixels and
// stop short of the end rather than going past it.
int NextScrollPosition(ScrollRequest request, int position, int extent, int client, bool hasPixels,
                       int thumbPosition = 0);

// The largest scroll position: the image extent less the client extent, never below 0.
int ScrollMaximum(int extent, int client);

// The client size that gives a window of outer size `outer` with `frame` around it.
QSize ClientSizeForOuter(QSize outer, QMargins frame);

// PREVIEW's default window size is the image's size plus these, the frame a
// window had where the language began. A size of exactly that asks for a
// window that shows the whole image and nothing else.
inline constexpr int kDefaultFrameWidth = 8;
inline constexpr int kDefaultFrameHeight = 26;

// Where a preview goes on the screen and how large it is.
struct PreviewGeometry {
    QRect frame;   // the window with its frame, as placed on the screen
    QSize client;  // the window without its frame: the picture and its scroll bars
    bool horizontalBar = false;
    bool verticalBar = false;
};

// The geometry of a preview asked for at `requested` (outer position and
// size). A width or height of the image's plus the default frame gives a
// picture area of exactly the image's; any other is the outer size, with
// scroll bars where the image is larger. The window is kept inside `available`
// (a part that does not fit is shown through scroll bars), so that its
// caption can always be reached. `frame` is the window manager's frame and
// `bars` the width of a vertical and the height of a horizontal scroll bar.
PreviewGeometry PlacePreview(QSize image, bool hasPixels, QRect requested, QMargins frame,
                             QRect available, QSize bars);

class PreviewWidget : public QAbstractScrollArea {
    Q_OBJECT
public:
    // x, y, width and height are the window's outer position and size.
    PreviewWidget(const Image& image, const QString& title, QRect outer, QWidget* owner);

    // Takes the image's current pixels: sets the scroll ranges (positions are
    // kept) and repaints at once.
    void bind();
    // The image is going away: nothing is read from it any more.
    void detach() { m_image = nullptr; }

    QRect requestedOuter() const { return m_requested; }
    // Places and sizes the window for the requested geometry, once the frame is known.
    void fitOuterSize();

protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onAction(Qt::Orientation orientation, int action);
    // Places, sizes and sets the scroll bars for a frame of `frame`.
    void applyGeometry(QMargins frame);

    const Image* m_image;
    QRect m_requested;
    QPointer<QWidget> m_owner;
    bool m_fitted = false;
};

// The PreviewWindow the engine keeps in an Image: destroying it closes the window.
class PreviewHandle : public PreviewWindow {
public:
    explicit PreviewHandle(std::unique_ptr<PreviewWidget> widget);
    ~PreviewHandle() override;
    void Refresh() override;
    PreviewWidget* widget() const { return m_widget.get(); }

private:
    std::unique_ptr<PreviewWidget> m_widget;
};

// Creates, shows and paints the preview of `image`.
std::unique_ptr<PreviewHandle> CreatePreviewWindow(const Image& image, std::string_view title,
                                                   int x, int y, int width, int height,
                                                   QWidget* owner);

}  // namespace tarvil
