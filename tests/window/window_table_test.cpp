// The window runtime on the headless platform: the table, the flags and placements, the
// window procedure's order, the poll and the accelerators. The headless platform draws the
// frames of a classic desktop (3 px dialog frame, 19 px caption), so outer sizes differ from
// client sizes here as they do on the original system.
#include "display/headless.h"
#include "display/window.h"
#include "runtime/heap.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t WM_COMMAND_ACCEL = 1u << 16;

struct Seen {
    NativeWindow window;
    uint32_t message, wParam, paramAtHook;
};
std::vector<Seen> HookLog;
int32_t HookResult = HOOK_CONTINUE;

int32_t RecordingHook(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t) {
    HookLog.push_back({window, message, wParam, LastMessageParam()});
    return message == WM_SIZE ? HookResult : HOOK_CONTINUE;
}

void Rect(NativeWindow window, int32_t *x, int32_t *y, int32_t *w, int32_t *h) {
    PlatformWindowRect(window, x, y, w, h);
}

int32_t Drain() {
    int32_t polls = 0;
    while (WindowPoll() != EVENT_NONE)
        polls++;
    return polls;
}

class WindowRuntime : public ::testing::Test {
  protected:
    void SetUp() override {
        HeadlessSetScreenSize(800, 600);
        HeadlessFailWindowCreation(0);
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        HookLog.clear();
        HookResult = HOOK_CONTINUE;
    }
    void TearDown() override {
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
    }
};

TEST_F(WindowRuntime, ReopeningANumberReplacesItsWindowAndAFailedOpenKeepsTheClass) {
    SetWindowHook(RecordingHook);
    intptr_t first = WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "first");
    HookLog.clear();
    intptr_t second = WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "second");
    ASSERT_NE(second, 0);
    // The old window is gone before the new one exists (WM_SIZE is the new one's first).
    ASSERT_GE(HookLog.size(), 2u);
    EXPECT_EQ(HookLog[0].message, WM_DESTROY);
    EXPECT_EQ(HookLog[0].window, NativeWindow(first));
    EXPECT_EQ(HookLog[1].message, WM_SIZE);
    EXPECT_EQ(HookLog[1].window, NativeWindow(second));
    EXPECT_STREQ(PlatformWindowClass(NativeWindow(second)), "WindowClass_0");

    HeadlessFailWindowCreation(1);
    EXPECT_EQ(WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "fails"), 0);
    EXPECT_EQ(WindowHandle(0), NativeWindow(0));
    EXPECT_TRUE(PlatformClassRegistered("WindowClass_0"));
    EXPECT_EQ(WindowOpen(WINDOW_ANY, 0, 0, 64, 64, WS_POPUP, "fails"), 0);
}

TEST_F(WindowRuntime, ScreenCentringHalvesWithShiftsAndClamps) {
    int32_t x, y, w, h;
    WindowOpen(0, 7, 7, 301, 201, WS_POPUP | WF_CENTRE_SCREEN, "odd");
    Rect(WindowHandle(0), &x, &y, &w, &h);
    EXPECT_EQ(x, 400 - 150);
    EXPECT_EQ(y, 300 - 100);

    WindowOpen(0, 7, 7, 640, 480, WS_CAPTION | WF_CENTRE_SCREEN, "framed");
    Rect(WindowHandle(0), &x, &y, &w, &h);
    EXPECT_EQ(x, 400 - 646 / 2);
    EXPECT_EQ(y, 300 - 505 / 2);

    HeadlessSetScreenSize(801, 601);
    WindowOpen(0, 7, 7, 1000, 100, WS_POPUP | WF_CENTRE_SCREEN, "wide");
    Rect(WindowHandle(0), &x, &y, &w, &h);
    EXPECT_EQ(x, 0); // 801 >> 1 minus min(1000, 801) >> 1
    EXPECT_EQ(y, 300 - 50);
    EXPECT_EQ(w, 1000);
}

TEST_F(WindowRuntime, ProcedureRecordsStateThenHookThenOwnHandling) {
    WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "proc");
    NativeWindow window = WindowHandle(0);
    Drain();
    SetWindowHook(RecordingHook);

    // The hook already sees the message's wParam; taking WM_SIZE keeps the deferred size away.
    HookResult = 1;
    EXPECT_EQ(PlatformSendMessage(window, WM_SIZE, 77, 0), 1);
    ASSERT_EQ(HookLog.size(), 1u);
    EXPECT_EQ(HookLog[0].paramAtHook, 77u);
    EXPECT_EQ(LastEventWindow(), window);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);

    HookResult = HOOK_CONTINUE;
    PlatformSendMessage(window, WM_SIZE, 0, 0);
    EXPECT_EQ(WindowPoll(), EVENT_SIZE); // the deferred size message
    EXPECT_EQ(WindowPoll(), EVENT_NONE);

    PlatformPostMessage(window, WM_COMMAND, 41, 0);
    EXPECT_EQ(WindowPoll(), EVENT_MENU);
    EXPECT_EQ(LastEventId(), 41u);
    PlatformPostMessage(window, WM_COMMAND, WM_COMMAND_ACCEL | 500, 0);
    EXPECT_EQ(WindowPoll(), EVENT_MENU);
    PlatformPostMessage(window, WM_COMMAND, 42, 0x1234);
    EXPECT_EQ(WindowPoll(), EVENT_GADGET);
    EXPECT_EQ(LastEventId(), 42u);
    PlatformPostMessage(window, WM_COMMAND, WM_COMMAND_ACCEL | CMD_FOCUS_NEXT, 0);
    EXPECT_EQ(WindowPoll(), WM_COMMAND); // a focus move is no event

    PlatformPostMessage(window, MSG_TRAY_NOTIFY, 1, WM_LBUTTONUP);
    EXPECT_EQ(WindowPoll(), MSG_TRAY_NOTIFY);
    EXPECT_EQ(LastEventSubtype(), -1);
    EXPECT_EQ(WindowPoll(), EVENT_TRAY);
    EXPECT_EQ(LastEventSubtype(), int32_t(WM_LBUTTONUP));
    EXPECT_EQ(WindowPoll(), EVENT_NONE);
    EXPECT_EQ(LastEventSubtype(), -1);
}

TEST_F(WindowRuntime, PollTakesOneMessageAndKeepsStateWhenIdle) {
    WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "poll");
    NativeWindow window = WindowHandle(0);
    Drain();

    // An idle poll keeps the last parameter, and a close request sent outside a poll stays
    // pending until a poll retrieves a message.
    PlatformPostMessage(window, WM_USER, 4321, 5);
    EXPECT_EQ(WindowPoll(), WM_USER);
    EXPECT_EQ(LastMessageParam(), 4321u);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);
    EXPECT_EQ(LastMessageParam(), 4321u);
    EXPECT_EQ(LastMessageLParam(), 5u);
    PlatformSendMessage(window, WM_CLOSE, 8, 0);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);
    EXPECT_EQ(LastMessageParam(), 8u);
    PlatformPostMessage(window, WM_USER, 99, 0);
    EXPECT_EQ(WindowPoll(), EVENT_CLOSE);
    EXPECT_EQ(LastMessageParam(), 99u);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);

    // A burst: one message per poll, Escape only when its turn comes.
    for (uint32_t i = 0; i < 3; i++)
        PlatformPostMessage(window, WM_MOUSEMOVE, 0, i);
    PlatformPostMessage(window, WM_KEYDOWN, VK_ESCAPE, 1);
    std::vector<std::pair<uint32_t, uint32_t>> polls;
    for (uint32_t event; (event = WindowPoll()) != EVENT_NONE;)
        polls.push_back({event, LastMessageParam()});
    std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {WM_MOUSEMOVE, 0}, {WM_MOUSEMOVE, 0}, {WM_MOUSEMOVE, 0}, {WM_KEYDOWN, 27}, {WM_CHAR, 27},
    };
    EXPECT_EQ(polls, expected);
    EXPECT_EQ(LastMessageParam(), 27u);

    // Thread messages and foreign windows' messages still set the parameters.
    PlatformPostMessage(0, WM_USER + 1, 555, 666);
    EXPECT_EQ(WindowPoll(), WM_USER + 1);
    EXPECT_EQ(LastMessageParam(), 555u);
    EXPECT_EQ(LastMessageLParam(), 666u);
    int calls = 0;
    static int *foreignCalls;
    foreignCalls = &calls;
    ASSERT_TRUE(PlatformRegisterClass("Foreign", [](NativeWindow, uint32_t, uint32_t, uint32_t) {
        ++*foreignCalls;
        return int32_t(0);
    }));
    NativeWindow foreign = PlatformCreateWindow("Foreign", "", 0, 0, 10, 10, WS_POPUP, 0);
    PlatformPostMessage(foreign, WM_USER + 2, 777, 0);
    EXPECT_EQ(WindowPoll(), WM_USER + 2);
    EXPECT_EQ(LastMessageParam(), 777u);
    EXPECT_EQ(calls, 2); // its WM_SIZE at creation, then the message
    PlatformDestroyWindow(foreign);
    PlatformUnregisterClass("Foreign");
}

TEST_F(WindowRuntime, CloseActivatesTheOwnerAndCloseAllKeepsItsOrder) {
    intptr_t owner = WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "owner");
    WindowOpenOwned(1, 0, 0, 32, 32, WS_POPUP, "owned", NativeWindow(owner));
    WindowOpen(2, 0, 0, 32, 32, WS_POPUP, "other");
    EXPECT_EQ(PlatformActiveWindow(), WindowHandle(2));
    WindowClose(1);
    EXPECT_EQ(PlatformActiveWindow(), NativeWindow(owner));
    EXPECT_FALSE(PlatformClassRegistered("WindowClass_1"));
    WindowClose(1); // nothing there: nothing happens

    intptr_t older = WindowOpen(WINDOW_ANY, 0, 0, 8, 8, WS_POPUP, "older");
    intptr_t newer = WindowOpen(WINDOW_ANY, 0, 0, 8, 8, WS_POPUP, "newer");
    WindowOpen(7, 0, 0, 8, 8, WS_POPUP, "seven");
    std::vector<NativeWindow> expected = {WindowHandle(newer), WindowHandle(older), WindowHandle(7),
                                          WindowHandle(2), WindowHandle(0)};
    SetWindowHook(RecordingHook);
    WindowCloseAll();
    std::vector<NativeWindow> destroyed;
    for (const Seen &s : HookLog)
        if (s.message == WM_DESTROY)
            destroyed.push_back(s.window);
    EXPECT_EQ(destroyed, expected);
    EXPECT_EQ(WindowTable.list, nullptr);
    for (const char *name : {"WindowClass_0", "WindowClass_2", "WindowClass_7"})
        EXPECT_FALSE(PlatformClassRegistered(name)) << name;
}

} // namespace
