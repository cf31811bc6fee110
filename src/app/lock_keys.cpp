#include "app/lock_keys.h"

#include <QGuiApplication>

// Xlib's headers define macros (None, Bool, KeyPress, ...) that clash with Qt's
// names, so they come last and nothing of Qt is used after them.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace tarvil {

namespace {
bool IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == 0) return false;  // the keyboard has no such indicator
    int on = 0;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
    return on != 0;
}
}  // namespace

std::optional<LockKeyState> ReadLockKeyState() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (display == nullptr) return std::nullopt;
    return LockKeyState{IndicatorOn(display, "Caps Lock"), IndicatorOn(display, "Num Lock"),
                        IndicatorOn(display, "Scroll Lock")};
}

}  // namespace tarvil
