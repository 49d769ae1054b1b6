// Sends a window the close request that a window manager's close box sends
// (WM_PROTOCOLS / WM_DELETE_WINDOW). Usage: x11_close_request WINDOW_ID
#include <X11/Xlib.h>
#include <cstdlib>

int main(int argc, char **argv) {
    Display *display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
    if (!display)
        return 1;
    Window window = Window(strtoul(argv[1], nullptr, 0));
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display); // flushes the request
    return sent ? 0 : 1;
}
