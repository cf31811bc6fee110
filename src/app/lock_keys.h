// The CAP, NUM and SCRL indicators of the status bar read the keyboard's lock
// keys. Qt has no portable way to ask for them, so they come from the X server.
#pragma once

#include <optional>

namespace tarvil {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockKeyState&) const = default;
};

// The lock keys as the X server's keyboard indicators show them; nothing when
// the application does not run on X11 (offscreen, Wayland).
std::optional<LockKeyState> ReadLockKeyState();

}  // namespace tarvil
