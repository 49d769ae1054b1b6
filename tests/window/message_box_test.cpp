// The message box on the headless platform, whose box handler runs on the calling thread
// while the box is up.
#include "display/headless.h"
#include "display/message_box.h"
#include "display/window.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

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

class MessageBox : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(RuntimeStart(WindowRuntimeInit), RUNTIME_READY); }
    void TearDown() override {
        HeadlessSetBoxHandler(nullptr, nullptr);
        RuntimeEnd(WindowCloseAll);
        MainHeapDestroy();
    }
};

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
