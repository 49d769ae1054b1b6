// The message box on the headless platform, whose boxes answer from a script or from a
// handler that runs on the calling thread while the box is "up".
#include "display/headless.h"
#include "display/message_box.h"
#include "display/window.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

std::vector<DisabledWindow> ListNow() {
    std::vector<DisabledWindow> nodes;
    for (void *p = ListFirst(DisabledWindowList); p; p = ListNext(p))
        nodes.push_back(*static_cast<DisabledWindow *>(p));
    return nodes;
}

class MessageBox : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY);
        HeadlessSetBoxHandler(nullptr, nullptr);
        HeadlessSetBoxAnswer(IDYES);
    }
    void TearDown() override {
        HeadlessSetBoxHandler(nullptr, nullptr);
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
    }
};

struct DuringBox {
    NativeWindow enabled, disabled, hidden;
    std::vector<DisabledWindow> list;
    int enabledState = -1, disabledState = -1, hiddenState = -1;
    int32_t answer = IDOK;
};

int32_t LookDuringBox(const char *, const char *, uint32_t, void *context) {
    DuringBox *box = static_cast<DuringBox *>(context);
    box->list = ListNow();
    box->enabledState = PlatformIsWindowEnabled(box->enabled);
    box->disabledState = PlatformIsWindowEnabled(box->disabled);
    box->hiddenState = PlatformIsWindowEnabled(box->hidden);
    return box->answer;
}

TEST_F(MessageBox, OnlyVisibleEnabledWindowsAreDisabledAndEnabledAgain) {
    DuringBox box;
    box.hidden = NativeWindow(WindowOpen(2, 0, 0, 10, 10, WS_POPUP | WF_HIDDEN, "hidden"));
    box.disabled = NativeWindow(WindowOpen(1, 0, 0, 10, 10, WS_POPUP, "disabled"));
    box.enabled = NativeWindow(WindowOpen(0, 0, 0, 10, 10, WS_POPUP, "enabled"));
    PlatformEnableWindow(box.disabled, 0);
    HeadlessSetBoxHandler(LookDuringBox, &box);

    for (int32_t answer : {int32_t(IDOK), int32_t(IDYES), int32_t(IDNO), 0}) {
        box.answer = answer;
        EXPECT_EQ(ShowMessage("Tolvmarka", "text", MB_OK), answer);
        ASSERT_EQ(box.list.size(), 1u);
        EXPECT_EQ(box.list[0].window, box.enabled);
        EXPECT_EQ(box.list[0].thread, PlatformCurrentThread());
        EXPECT_EQ(box.enabledState, 0);
        EXPECT_EQ(box.disabledState, 0);
        EXPECT_EQ(box.hiddenState, 1);
        // The owner is the foreground window, chosen after the windows were disabled.
        EXPECT_EQ(HeadlessLastBoxOwner(), box.enabled);

        EXPECT_TRUE(PlatformIsWindowEnabled(box.enabled));
        EXPECT_FALSE(PlatformIsWindowEnabled(box.disabled));
        EXPECT_TRUE(PlatformIsWindowEnabled(box.hidden));
        EXPECT_EQ(DisabledWindowList, nullptr);
    }
}

// The main thread's box is up; a second thread shows its own box meanwhile.
struct TwoThreads {
    NativeWindow window;
    uint64_t mainThread;
    std::vector<DisabledWindow> listInSecond, listAfterSecond;
    int windowInSecond = -1, windowAfterSecond = -1;
    int32_t secondResult = -1;
};

int32_t SecondThreadBox(const char *, const char *, uint32_t, void *context) {
    TwoThreads *t = static_cast<TwoThreads *>(context);
    t->listInSecond = ListNow();
    t->windowInSecond = PlatformIsWindowEnabled(t->window);
    return IDOK;
}

int32_t MainThreadBox(const char *, const char *, uint32_t, void *context) {
    TwoThreads *t = static_cast<TwoThreads *>(context);
    HeadlessSetBoxHandler(SecondThreadBox, t);
    std::thread second([t] { t->secondResult = ShowMessage("Error", "from the player", 0x10); });
    second.join();
    t->listAfterSecond = ListNow();
    t->windowAfterSecond = PlatformIsWindowEnabled(t->window);
    return IDNO;
}

TEST_F(MessageBox, ASecondThreadLeavesTheMainThreadsWindowsAndNodesAlone) {
    TwoThreads t;
    t.window = NativeWindow(WindowOpen(0, 0, 0, 10, 10, WS_POPUP, "main"));
    t.mainThread = PlatformCurrentThread();
    HeadlessSetBoxHandler(MainThreadBox, &t);
    EXPECT_EQ(ShowMessage("Tolvmarka", "Fullscreen", MB_YESNO), IDNO);

    EXPECT_EQ(t.secondResult, IDOK);
    EXPECT_EQ(t.windowInSecond, 0);
    EXPECT_EQ(t.windowAfterSecond, 0); // not enabled by the other thread's box
    for (const auto *list : {&t.listInSecond, &t.listAfterSecond}) {
        ASSERT_EQ(list->size(), 1u);
        EXPECT_EQ((*list)[0].thread, t.mainThread);
        EXPECT_EQ((*list)[0].window, t.window);
    }
    EXPECT_TRUE(PlatformIsWindowEnabled(t.window));
    EXPECT_EQ(DisabledWindowList, nullptr);

    // While the main thread runs frames, a box on another thread disables nothing.
    HeadlessSetBoxHandler(SecondThreadBox, &t);
    std::thread([] { ShowMessage("Error", "from the player", 0x10); }).join();
    EXPECT_EQ(t.windowInSecond, 1);
    EXPECT_TRUE(t.listInSecond.empty());
}

} // namespace
