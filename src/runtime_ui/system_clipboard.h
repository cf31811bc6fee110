// The system clipboard as the run sees it: a change count and images.
//
// The count starts at 1 and rises by one (16 bits, wrapping) for every change
// of the clipboard made by another program; changes this process makes through
// this object do not count, and SAVEIMAGE sets the count to 0, so that the next
// clipboard load waits for an image from someone else. Images travel as
// "image/bmp" (a BMP file: the 14-byte file header and a packed bitmap) or, for
// any other image the clipboard offers, as a plain picture.
#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/host.h"

class QClipboard;

namespace tarvil {

class SystemClipboard : public QObject {
    Q_OBJECT

public:
    // Needs a QGuiApplication.
    explicit SystemClipboard(QObject* parent = nullptr);

    uint16_t changeCount() const { return m_changeCount; }
    void setChangeCount(uint16_t count) { m_changeCount = count; }

    // packedDib: image/bmp that holds a bitmap the image model accepts;
    // bitmap: any image the clipboard can hand over as a picture.
    ClipboardOffer offer() const;
    // The packed bitmap of image/bmp (file header removed, checked); nothing when
    // there is none or it lies outside the image model.
    std::optional<std::vector<uint8_t>> takePackedDib() const;
    // The clipboard's image as top-down ARGB pixels; palette images keep their
    // colour table and depth.
    std::optional<ClipboardBitmap> takeBitmap() const;
    // The bytes of the clipboard's image/png, which the core decodes itself.
    std::optional<std::vector<uint8_t>> takePng() const;
    // Offers the packed bitmap as image/bmp and as an image. False when the
    // clipboard did not take it.
    bool put(std::span<const uint8_t> packedDib);
    void clear();

signals:
    // Another program changed the clipboard (after the count was raised).
    void changed();

private:
    void onDataChanged();
    bool isOwnData() const;

    QClipboard* m_clipboard;
    uint16_t m_changeCount = 1;
    bool m_changingItself = false;
    QByteArray m_ownerMark;  // identifies data this process put there
};

}  // namespace tarvil
