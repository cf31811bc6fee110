// Turns part of a packed bitmap into a QImage, for painting only what is exposed.
#pragma once

#include <QImage>
#include <QRect>

namespace tarvil {

struct Image;

// The pixels of `region` (image coordinates, row 0 at the top) of a 1-, 4-, 8-
// or 24-bit image, clipped to the image. Palette images go through their
// colour table (biClrUsed entries when set, else the full table); indices
// outside it and rows outside the block come out white, as does every pixel of
// an image without pixels or of another depth.
QImage RenderBitmapRegion(const Image& image, const QRect& region);

// The image's size, or an empty size when it has no pixels to show.
QSize BitmapSize(const Image& image);

}  // namespace tarvil
