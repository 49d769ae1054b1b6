// The window runtime and the message box on the headless platform, whose frames (3 px dialog
// frame, 19 px caption) make outer sizes differ from client sizes as on a desktop, and whose
// box handler runs on the calling thread while the box is up.
#include "display/headless.h"
#include "display/message_box.h"
#include "display/window.h"
#include "runtime/runtime.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t WM_USER = 0x0400;
constexpr uint32_t ACCEL = ACCEL_COMMAND << 16;

struct Seen {
    NativeWindow window;
    uint32_t message, paramAtHook;
};
std::vector<Seen> HookLog;
int32_t HookResult = HOOK_CONTINUE;

int32_t RecordingHook(NativeWindow window, uint32_t message, uint32_t, uint32_t) {
    HookLog.push_back({window, message, LastMessageParam()});
    return message == WM_SIZE ? HookResult : HOOK_CONTINUE;
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
        HeadlessSetBoxHandler(nullptr, nullptr);
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
    const struct {
        int32_t screenWidth, width, height;
        uint32_t style;
        int32_t x, y;
    } cases[] = {
        {800, 301, 201, WS_POPUP, 400 - 150, 300 - 100},
        {800, 640, 480, WS_CAPTION, 400 - 646 / 2, 300 - 505 / 2}, // the outer size
        {801, 1000, 100, WS_POPUP, 0, 300 - 50}, // 801 >> 1 minus min(1000, 801) >> 1
    };
    for (const auto &c : cases) {
        HeadlessSetScreenSize(c.screenWidth, 601);
        WindowOpen(0, 7, 7, c.width, c.height, c.style | WF_CENTRE_SCREEN, "centred");
        int32_t x, y, w, h;
        PlatformWindowRect(WindowHandle(0), &x, &y, &w, &h);
        EXPECT_EQ(x, c.x) << c.width;
        EXPECT_EQ(y, c.y) << c.width;
        EXPECT_GE(w, c.width) << "placed, not cut";
    }
}

// Each message and what the polls return until the queue is empty, with the parameter each
// leaves: sizes and tray notices come back deferred, commands by their source, other messages
// (a thread's too) as themselves.
TEST_F(WindowRuntime, PollTakesOneMessageAndTellsItsEvent) {
    WindowOpen(0, 0, 0, 64, 64, WS_POPUP, "poll");
    const NativeWindow window = WindowHandle(0);
    while (WindowPoll() != EVENT_NONE) {
    }
    typedef std::vector<std::pair<uint32_t, uint32_t>> Polls; // (event, parameter)
    const uint32_t CLICK = WM_LBUTTONUP;
    const struct {
        bool toThread;
        uint32_t message, wParam, lParam;
        Polls polls;
        uint32_t id;
        int32_t subtype;
    } cases[] = {
        {false, WM_SIZE, 3, 0, {{WM_SIZE, 3}, {EVENT_SIZE, 3}}, 0, -1},
        {false, WM_COMMAND, 41, 0, {{EVENT_MENU, 41}}, 41, -1},
        {false, WM_COMMAND, ACCEL | 500, 0, {{EVENT_MENU, ACCEL | 500}}, 500, -1},
        {false, WM_COMMAND, 42, 0x1234, {{EVENT_GADGET, 42}}, 42, -1},
        {false, WM_COMMAND, ACCEL | CMD_FOCUS_NEXT, 0, {{WM_COMMAND, ACCEL | 1212}}, 1212, -1},
        {false, WM_NOTIFY, 43, 0, {{EVENT_GADGET, 43}}, 43, -1},
        {false, WM_HSCROLL, 44, 9, {{EVENT_GADGET, 44}}, 0, -1},
        {false, WM_VSCROLL, 45, 0, {{WM_VSCROLL, 45}}, 0, -1}, // the window's own bar
        {false, MSG_TRAY_NOTIFY, 1, CLICK, {{MSG_TRAY_NOTIFY, 1}, {EVENT_TRAY, 1}}, 0, CLICK},
        {false, WM_KEYDOWN, VK_ESCAPE, 1, {{WM_KEYDOWN, 27}, {WM_CHAR, 27}}, 0, -1},
        {false, WM_USER, 4321, 5, {{WM_USER, 4321}}, 0, -1},
        {true, WM_USER + 1, 555, 666, {{WM_USER + 1, 555}}, 0, -1},
    };
    for (const auto &c : cases) {
        PlatformPostMessage(c.toThread ? 0 : window, c.message, c.wParam, c.lParam);
        Polls polls;
        int32_t subtype = -1;
        for (uint32_t event; (event = WindowPoll()) != EVENT_NONE;) {
            polls.push_back({event, LastMessageParam()});
            subtype = std::max(subtype, LastEventSubtype());
        }
        EXPECT_EQ(polls, c.polls) << c.message;
        EXPECT_EQ(LastEventId(), c.id) << c.message;
        EXPECT_EQ(subtype, c.subtype) << c.message;
        EXPECT_EQ(LastEventSubtype(), -1) << "every poll starts without a subtype";
        EXPECT_EQ(LastMessageLParam(), c.lParam) << "an idle poll keeps the parameters";
    }

    // A close request sent outside a poll stays pending until a poll retrieves a message.
    PlatformSendMessage(window, WM_CLOSE, 8, 0);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);
    EXPECT_EQ(LastMessageParam(), 8u);
    PlatformPostMessage(window, WM_USER, 99, 0);
    EXPECT_EQ(WindowPoll(), EVENT_CLOSE);
    EXPECT_EQ(LastMessageParam(), 99u);

    // The hook sees the message's parameter already; taking WM_SIZE keeps the deferred size
    // away.
    SetWindowHook(RecordingHook);
    HookResult = 1;
    EXPECT_EQ(PlatformSendMessage(window, WM_SIZE, 77, 0), 1);
    ASSERT_EQ(HookLog.size(), 1u);
    EXPECT_EQ(HookLog[0].paramAtHook, 77u);
    EXPECT_EQ(LastEventWindow(), window);
    EXPECT_EQ(WindowPoll(), EVENT_NONE);
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

// What a box handler saw while its box was up.
struct DuringBox {
    std::vector<NativeWindow> windows; // whose enabled state it reads
    std::vector<int> enabled;
    std::vector<DisabledWindow> list;
    int32_t answer = IDOK;
};

int32_t LookDuringBox(const char *, const char *, uint32_t, void *context) {
    DuringBox *box = static_cast<DuringBox *>(context);
    box->list.clear();
    for (void *p = ListFirst(DisabledWindowList); p; p = ListNext(p))
        box->list.push_back(*static_cast<DisabledWindow *>(p));
    box->enabled.clear();
    for (NativeWindow window : box->windows)
        box->enabled.push_back(PlatformIsWindowEnabled(window));
    return box->answer;
}

class MessageBox : public WindowRuntime {};

TEST_F(MessageBox, OnlyVisibleEnabledWindowsAreDisabledAndEnabledAgain) {
    DuringBox box;
    const NativeWindow hidden =
        NativeWindow(WindowOpen(2, 0, 0, 10, 10, WS_POPUP | WF_HIDDEN, "hidden"));
    const NativeWindow disabled = NativeWindow(WindowOpen(1, 0, 0, 10, 10, WS_POPUP, "disabled"));
    const NativeWindow enabled = NativeWindow(WindowOpen(0, 0, 0, 10, 10, WS_POPUP, "enabled"));
    PlatformEnableWindow(disabled, 0);
    box.windows = {enabled, disabled, hidden};
    HeadlessSetBoxHandler(LookDuringBox, &box);

    for (int32_t answer : {int32_t(IDOK), int32_t(IDYES), int32_t(IDNO), 0}) {
        box.answer = answer;
        EXPECT_EQ(ShowMessage("Tolvmarka", "text", MB_YESNO), answer);
        EXPECT_EQ(HeadlessLastBoxFlags(), uint32_t(MB_YESNO));
        EXPECT_EQ(box.enabled, (std::vector<int>{0, 0, 1}));
        ASSERT_EQ(box.list.size(), 1u);
        EXPECT_EQ(box.list[0].window, enabled);
        EXPECT_EQ(box.list[0].thread, PlatformCurrentThread());
        // The owner is the foreground window, chosen after the windows were disabled.
        EXPECT_EQ(HeadlessLastBoxOwner(), enabled);

        LookDuringBox(nullptr, nullptr, 0, &box);
        EXPECT_EQ(box.enabled, (std::vector<int>{1, 0, 1}));
        EXPECT_EQ(DisabledWindowList, nullptr);
    }
}

// While the main thread's box is up a second thread shows its own box, and again while the
// main thread runs frames.
TEST_F(MessageBox, ASecondThreadLeavesTheMainThreadsWindowsAndNodesAlone) {
    static DuringBox second, afterSecond;
    const NativeWindow window = NativeWindow(WindowOpen(0, 0, 0, 10, 10, WS_POPUP, "main"));
    second.windows = afterSecond.windows = {window};
    HeadlessSetBoxHandler(
        [](const char *, const char *, uint32_t, void *) {
            HeadlessSetBoxHandler(LookDuringBox, &second);
            std::thread([] { ShowMessage("Error", "from the player", MB_ICONHAND); }).join();
            LookDuringBox(nullptr, nullptr, 0, &afterSecond);
            return int32_t(IDNO);
        },
        nullptr);
    EXPECT_EQ(ShowMessage("Tolvmarka", "Fullscreen", MB_YESNO), IDNO);
    for (const DuringBox *box : {&second, &afterSecond}) {
        EXPECT_EQ(box->enabled, std::vector<int>{0}) << "not enabled by the other thread's box";
        ASSERT_EQ(box->list.size(), 1u);
        EXPECT_EQ(box->list[0].thread, PlatformCurrentThread());
        EXPECT_EQ(box->list[0].window, window);
    }
    EXPECT_TRUE(PlatformIsWindowEnabled(window));
    EXPECT_EQ(DisabledWindowList, nullptr);

    HeadlessSetBoxHandler(LookDuringBox, &second);
    std::thread([] { ShowMessage("Error", "from the player", MB_ICONHAND); }).join();
    EXPECT_EQ(second.enabled, std::vector<int>{1});
    EXPECT_TRUE(second.list.empty());
}

} // namespace
