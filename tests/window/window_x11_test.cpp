// The window runtime on the SDL platform under a private Xvfb (800 x 600, no window
// manager): real key presses from xdotool, a real close request, and what the X server
// holds after each open and close. Waits are bounded; none of them is asserted on.
#include "display/window.h"
#include "private_xvfb.h"
#include "runtime/runtime.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Xlib defines None and Bool, which GoogleTest uses as names: it comes last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int SCREEN_WIDTH = 800, SCREEN_HEIGHT = 600;
constexpr int WAIT_MS = 10000; // bound for anything the X server or xdotool has to do

PrivateXvfb Server;

class XvfbEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(StartPrivateXvfb(&Server, "800x600x24")) << "no Xvfb could be started";
    }
    void TearDown() override { StopPrivateXvfb(&Server); }
};
const ::testing::Environment *const Environment =
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

typedef std::vector<std::pair<uint32_t, uint32_t>> PollLog; // event, LastMessageParam

// Polls as the frame loop does until `done` holds or the bound passes; logs every event.
bool PollUntil(PollLog *log, const std::function<bool()> &done, int boundMs = WAIT_MS) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (std::chrono::steady_clock::now() < end) {
        uint32_t event = WindowPoll();
        if (event != EVENT_NONE && log)
            log->push_back({event, LastMessageParam()});
        if (done())
            return true;
        if (event == EVENT_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Lets whatever the server still sends arrive and be handled.
void Settle() {
    PollUntil(
        nullptr, [] { return false; }, 300);
}

int RunCommand(const std::string &command) {
    return system(("timeout 10 " + command + " >/dev/null 2>&1").c_str());
}

class X11Window : public ::testing::Test {
  protected:
    Display *x = nullptr;

    void SetUp() override {
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        x = XOpenDisplay(nullptr);
        ASSERT_NE(x, nullptr) << "cannot open " << getenv("DISPLAY");
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
        if (x)
            XCloseDisplay(x);
    }

    std::vector<Window> WindowsOfClass(const char *name) {
        std::vector<Window> found;
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        XSync(x, False);
        if (!XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; i++) {
            XClassHint hint = {};
            if (XGetClassHint(x, children[i], &hint)) {
                if (std::string(hint.res_class) == name)
                    found.push_back(children[i]);
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
        }
        XFree(children);
        return found;
    }

    // The one X window of `name`, once the server has it.
    Window WaitForClass(const char *name) {
        std::vector<Window> found;
        PollUntil(nullptr, [&] { return (found = WindowsOfClass(name)).size() == 1; });
        return found.size() == 1 ? found[0] : 0;
    }

    int MapState(Window window) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(x, window, &attributes) ? attributes.map_state : -1;
    }

    void Origin(Window window, int *left, int *top) {
        Window child;
        XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, left, top, &child);
    }

    // Without _MOTIF_WM_HINTS, or with decorations asked for, a window manager frames it.
    bool Decorated(Window window) {
        constexpr unsigned long MWM_HINTS_DECORATIONS = 2;
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char *data = nullptr;
        Atom hints = XInternAtom(x, "_MOTIF_WM_HINTS", False);
        if (XGetWindowProperty(x, window, hints, 0, 5, False, AnyPropertyType, &type, &format,
                               &items, &after, &data) != Success ||
            !data)
            return true;
        unsigned long *fields = reinterpret_cast<unsigned long *>(data);
        bool decorated = items < 3 || !(fields[0] & MWM_HINTS_DECORATIONS) || fields[2] != 0;
        XFree(data);
        return decorated;
    }

    // What the close box of a window manager sends.
    void SendCloseRequest(Window window) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, window, False, NoEventMask, &event);
        XFlush(x);
    }
};

TEST_F(X11Window, EscapeGivesKeyDownThenCharWithTwentySeven) {
    WindowOpen(0, 0, 0, 320, 240, WS_CAPTION | WS_SYSMENU, "keys");
    Window window = WaitForClass("WindowClass_0");
    ASSERT_NE(window, 0u);
    Settle();
    ASSERT_EQ(RunCommand("xdotool windowfocus --sync " + std::to_string(window)), 0);
    Settle();
    ASSERT_EQ(RunCommand("xdotool key Escape"), 0);

    PollLog log;
    auto isChar = [](const std::pair<uint32_t, uint32_t> &e) { return e.first == WM_CHAR; };
    PollUntil(&log, [&] { return std::any_of(log.begin(), log.end(), isChar); });
    std::vector<size_t> down, typed;
    for (size_t i = 0; i < log.size(); i++) {
        if (log[i].first == WM_KEYDOWN)
            down.push_back(i);
        if (log[i].first == WM_CHAR)
            typed.push_back(i);
    }
    ASSERT_EQ(down.size(), 1u);
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(log[down[0]].second, 27u);
    EXPECT_EQ(log[typed[0]].second, 27u);
    EXPECT_LT(down[0], typed[0]);
}

TEST_F(X11Window, CloseRequestGivesCloseEventAndTheWindowStays) {
    WindowOpen(0, 0, 0, 320, 240, WS_CAPTION | WS_SYSMENU, "close me");
    Window window = WaitForClass("WindowClass_0");
    ASSERT_NE(window, 0u);
    Settle();
    SendCloseRequest(window);
    PollLog log;
    ASSERT_TRUE(PollUntil(&log, [&] { return !log.empty() && log.back().first == EVENT_CLOSE; }));
    Settle();
    EXPECT_NE(WindowHandle(0), NativeWindow(0));
    EXPECT_TRUE(PlatformIsWindowVisible(WindowHandle(0)));
    EXPECT_EQ(MapState(window), IsViewable);
}

TEST_F(X11Window, ReopeningNumberZeroLeavesOneWindowOfItsClass) {
    WindowOpen(0, 0, 0, 200, 100, 0, "first");
    Window first = WaitForClass("WindowClass_0");
    ASSERT_NE(first, 0u);
    WindowOpen(0, 0, 0, 200, 100, 0, "second");
    std::vector<Window> now;
    PollUntil(nullptr, [&] {
        now = WindowsOfClass("WindowClass_0");
        return now.size() == 1 && now[0] != first;
    });
    ASSERT_EQ(now.size(), 1u);
    EXPECT_NE(now[0], first);
    EXPECT_TRUE(PlatformClassRegistered("WindowClass_0"));

    FILE *xprop = popen(("xprop -id " + std::to_string(now[0]) + " WM_CLASS").c_str(), "r");
    ASSERT_NE(xprop, nullptr);
    char line[256] = {};
    std::string shown = fgets(line, sizeof line, xprop) ? line : "";
    pclose(xprop);
    EXPECT_NE(shown.find("\"WindowClass_0\", \"WindowClass_0\""), std::string::npos) << shown;

    WindowClose(0);
    EXPECT_FALSE(PlatformClassRegistered("WindowClass_0"));
    EXPECT_TRUE(PollUntil(nullptr, [&] { return WindowsOfClass("WindowClass_0").empty(); }));
    EXPECT_TRUE(PlatformClassRegistered("TemplateClass"));
}

TEST_F(X11Window, DefaultFlagsGiveCaptionedWindowsAndTheHiddenBitHidesThem) {
    WindowOpen(0, 0, 0, 200, 100, 0, "plain");
    WindowOpen(1, 0, 0, 200, 100, WF_HIDDEN, "hidden");
    WindowOpen(2, 0, 0, 200, 100, WS_POPUP, "popup");
    Window plain = WaitForClass("WindowClass_0"), hidden = WaitForClass("WindowClass_1"),
           popup = WaitForClass("WindowClass_2");
    ASSERT_TRUE(plain && hidden && popup);

    EXPECT_EQ(PlatformWindowStyle(WindowHandle(0)), WS_CAPTION | WS_VISIBLE);
    EXPECT_EQ(MapState(plain), IsViewable);
    EXPECT_TRUE(Decorated(plain));
    EXPECT_EQ(PlatformWindowStyle(WindowHandle(1)), uint32_t(WS_CAPTION));
    EXPECT_EQ(MapState(hidden), IsUnmapped);
    EXPECT_TRUE(Decorated(hidden));
    EXPECT_EQ(MapState(popup), IsViewable);
    EXPECT_FALSE(Decorated(popup));
}

TEST_F(X11Window, CentredPlacementsStayOnTheScreen) {
    WindowOpen(0, 9, 9, SCREEN_WIDTH + 200, 100, WS_POPUP | WF_CENTRE_SCREEN, "wide");
    Window wide = WaitForClass("WindowClass_0");
    ASSERT_NE(wide, 0u);
    int left = -1, top = -1;
    Origin(wide, &left, &top);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, SCREEN_HEIGHT / 2 - 50);

    WindowOpen(0, 10, 10, 100, 100, WS_POPUP, "corner");
    WindowOpen(1, 9, 9, 300, 300, WS_POPUP | WF_CENTRE_ACTIVE, "over the corner");
    Window over = WaitForClass("WindowClass_1");
    ASSERT_NE(over, 0u);
    Origin(over, &left, &top);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
}

} // namespace
