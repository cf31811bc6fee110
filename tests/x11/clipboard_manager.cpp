// A minimal X11 clipboard manager for the hand-over test. It owns the
// CLIPBOARD_MANAGER selection; when the clipboard's owner asks it to save the
// clipboard (SAVE_TARGETS) before exiting, it takes the image/bmp data, answers,
// and from then on serves that data as the CLIPBOARD owner. It prints "ready"
// once it owns the manager selection and "saved N" after a hand-over.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

struct Atoms {
    Atom clipboard, manager, saveTargets, targets, bmp, transfer;
};

// Waits for the SelectionNotify that answers our request, for at most five seconds.
bool WaitForNotify(Display* display, Window window, XEvent& answer) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (XCheckTypedWindowEvent(display, window, SelectionNotify, &answer)) return true;
        XFlush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::vector<unsigned char> FetchBmp(Display* display, Window window, const Atoms& a, Time time) {
    XConvertSelection(display, a.clipboard, a.bmp, a.transfer, window, time);
    XEvent answer;
    if (!WaitForNotify(display, window, answer) || answer.xselection.property == None) return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned char> bytes;
    if (XGetWindowProperty(display, window, a.transfer, 0, 1 << 24, True, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr && format == 8) {
        bytes.assign(data, data + count);
    }
    if (data != nullptr) XFree(data);
    return bytes;
}

void Reply(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = property;
    reply.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "clipboard_manager: no display\n");
        return 1;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atoms a{XInternAtom(display, "CLIPBOARD", False),
                  XInternAtom(display, "CLIPBOARD_MANAGER", False),
                  XInternAtom(display, "SAVE_TARGETS", False),
                  XInternAtom(display, "TARGETS", False),
                  XInternAtom(display, "image/bmp", False),
                  XInternAtom(display, "TARVIL_TEST_TRANSFER", False)};
    XSetSelectionOwner(display, a.manager, window, CurrentTime);
    if (XGetSelectionOwner(display, a.manager) != window) {
        std::fprintf(stderr, "clipboard_manager: another manager runs\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<unsigned char> saved;
    bool owning = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionClear && event.xselectionclear.selection == a.clipboard) {
            owning = false;  // someone else put something on the clipboard
            continue;
        }
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        if (request.selection == a.manager && request.target == a.saveTargets) {
            saved = FetchBmp(display, window, a, request.time);
            if (saved.empty()) {
                Reply(display, request, None);
                continue;
            }
            XSetSelectionOwner(display, a.clipboard, window, CurrentTime);
            owning = XGetSelectionOwner(display, a.clipboard) == window;
            // Said before the reply, which lets the application exit: a test that
            // looks for it once the application has gone must find it.
            std::printf("saved %zu\n", saved.size());
            std::fflush(stdout);
            Reply(display, request, request.property != None ? request.property : a.saveTargets);
        } else if (request.selection == a.clipboard && owning && request.target == a.targets) {
            const Atom offered[] = {a.targets, a.bmp};
            XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(offered), 2);
            Reply(display, request, request.property);
        } else if (request.selection == a.clipboard && owning && request.target == a.bmp) {
            XChangeProperty(display, request.requestor, request.property, a.bmp, 8, PropModeReplace,
                            saved.data(), static_cast<int>(saved.size()));
            Reply(display, request, request.property);
        } else {
            Reply(display, request, None);
        }
    }
}
