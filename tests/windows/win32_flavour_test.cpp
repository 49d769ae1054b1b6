// The Win32 flavour's own behaviour: system heaps, files with the system's sharing rules,
// the library loader, and the window runtime on real Win32 windows and messages.
#include "display/window.h"
#include "runtime/files.h"
#include "runtime/libraries.h"
#include "tests/support/heaps_fixture.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <string>

namespace {

class Win32Test : public HeapsTest {
  protected:
    void SetUp() override {
        HeapsTest::SetUp();
        ASSERT_EQ(FileTableInit(), 1);
        ASSERT_EQ(LibraryTableInit(), 1);
    }
};

TEST_F(Win32Test, HeapsRefuseForeignBlocksCountTheirOwnAndZeroWhatGrows) {
    const size_t before = HeapBlockCount(MainHeap);
    unsigned char *block = static_cast<unsigned char *>(HeapAlloc(MainHeap, 0, 16));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(HeapBlockCount(MainHeap), before + 1);
    EXPECT_EQ(HeapFree(ListHeap, block), 0);
    EXPECT_EQ(HeapReAlloc(ListHeap, 0, block, 32), nullptr);
    memset(block, 0xAB, 16);
    block = static_cast<unsigned char *>(HeapReAlloc(MainHeap, HEAP_ZERO_MEMORY, block, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[15], 0xAB);
    for (int i = 16; i < 64; i++)
        ASSERT_EQ(block[i], 0) << "byte " << i;
    EXPECT_EQ(HeapFree(MainHeap, block), 1);
    EXPECT_EQ(HeapBlockCount(MainHeap), before);
}

TEST_F(Win32Test, PlayerFileIsOverwrittenUnlessAnotherProcessHoldsIt) {
    ASSERT_GT(TempPathQuery(), 0);
    std::string path = std::string(TempPath) + "tolvmarka_flavour_test.bin";
    EXPECT_EQ(path[strlen(TempPath) - 1], '\\');
    const char first[] = "an earlier run's longer content";
    ASSERT_NE(FileCreate(0, path.c_str()), 0);
    ASSERT_EQ(FileWriteData(first, sizeof first), 1);
    FileClose(0);
    ASSERT_NE(FileCreate(0, path.c_str()), 0);
    ASSERT_EQ(FileWriteData("new", 3), 1);
    FileClose(0);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 3u); // truncated, not written over

    // A loaded library holds its file like this: readers share it, writers are refused.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileCreate(0, path.c_str()), 0);
    EXPECT_EQ(CurrentFile, 0);
    EXPECT_EQ(FileWriteData("x", 1), 0);
    CloseHandle(held);
    EXPECT_EQ(FileDelete(path.c_str()), 1);
    EXPECT_EQ(FileDelete(path.c_str()), 0);
}

TEST_F(Win32Test, MissingLibraryLeavesTheSlotEmptyWithTheLoadersReason) {
    EXPECT_EQ(LibraryOpen(0, "C:\\no such folder\\bassmod.dll"), 0);
    EXPECT_EQ(LibrarySymbol(0, "BASSMOD_Init"), nullptr);
    EXPECT_NE(LibraryLoadError(), nullptr);
    ASSERT_NE(LibraryOpen(0, "kernel32.dll"), 0);
    EXPECT_NE(LibrarySymbol(0, "GetTickCount"), nullptr);
    EXPECT_EQ(LibrarySymbol(0, "NoSuchExport"), nullptr);
    LibraryCloseAll();
    EXPECT_EQ(LibrarySymbol(0, "GetTickCount"), nullptr);
}

// The window's events, client size and class name are seen by the end-to-end run under Wine;
// here: its place and style, and the classes' lives.
TEST_F(Win32Test, WindowZeroIsAPlacedRealWindowWhoseClassLivesAsLongAsIt) {
    ASSERT_EQ(WindowRuntimeInit(), 1);
    const uint32_t windowed = WS_CAPTION | WS_SYSMENU;
    ASSERT_NE(WindowOpen(0, 0, 0, 640, 480, windowed, "Tolvmarka"), 0);
    HWND window = reinterpret_cast<HWND>(WindowHandle(0));
    RECT outer;
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.top, 0);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_VISIBLE), LONG(windowed | WS_VISIBLE));
    EXPECT_EQ(style & WS_THICKFRAME, 0);

    // Reopening the number replaces the window under the same class.
    ASSERT_NE(WindowOpen(0, 0, 0, 320, 200, windowed, "again"), 0);
    EXPECT_FALSE(IsWindow(window));
    window = reinterpret_cast<HWND>(WindowHandle(0));
    char name[64];
    ASSERT_GT(GetClassNameA(window, name, sizeof name), 0);
    EXPECT_STREQ(name, "WindowClass_0");
    EXPECT_EQ(ClientWidth(), 320);

    WindowCloseAll();
    EXPECT_FALSE(IsWindow(window));
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "WindowClass_0", &info));
    EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "TemplateClass", &info));
}

} // namespace
