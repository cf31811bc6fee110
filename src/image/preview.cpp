// PREVIEW(image, title, x, y, width, height): shows an image in a window of its own.
#include <algorithm>

#include "engine/host.h"
#include "handlers/handlers.h"
#include "image/image_operand.h"

namespace tarvil {

namespace {

constexpr int kMaxPreviewWidth = 1280;
constexpr int kMaxPreviewHeight = 1024;

// Window positions and sizes are 16-bit unsigned numbers: -1 becomes 65535.
int PopWindowNumber(Machine& m) {
    return static_cast<int>(ToInt32(PopNumber(m)) & 0xFFFF);
}

}  // namespace

// Pops height, width, y, x, title and image. The first PREVIEW of an image opens
// its window; later ones only repaint it, keeping caption, position and size.
// An operand that holds no image is ignored.
void StmtPreview(Machine& m) {
    const int height = std::min(PopWindowNumber(m), kMaxPreviewHeight);
    const int width = std::min(PopWindowNumber(m), kMaxPreviewWidth);
    const int y = PopWindowNumber(m);
    const int x = PopWindowNumber(m);
    const Item* title = PopItem(m);
    Image* image = OperandImage(PopItem(m));
    if (image == nullptr) return;
    if (image->preview) {
        image->preview->Refresh();
        return;
    }
    if (m.host == nullptr) return;
    image->preview = m.host->CreatePreview(*image, OperandText(title), x, y, width, height);
}

}  // namespace tarvil
