#include "heaps_fixture.h"

#include <string>
#include <vector>

class StringsTest : public HeapsTest {
  protected:
    // The expression built since `start`, taken back out of the buffer.
    std::string Built(const char *start) {
        std::string text(start, static_cast<const char *>(StringTop));
        StringTop = const_cast<char *>(start);
        return text;
    }
};

TEST_F(StringsTest, ReadingOperations) {
    const char *start = StringTop;
    StrMid("ABC", 0, 2);
    EXPECT_EQ(Built(start), "AB");
    StrMid("ABC", 3, 5);
    EXPECT_EQ(Built(start), "C");
    StrMid("ABC", 4, 1);
    EXPECT_EQ(Built(start), "");
    StrMid("ABC", 2, 0);
    EXPECT_EQ(Built(start), "");
    StrMid("ABC", INT32_MIN, INT32_MAX); // no overflow in start - 1
    EXPECT_EQ(Built(start), "ABC");

    EXPECT_EQ(StrToInt("  -12abc"), -12);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("abc"), 0);
    EXPECT_EQ(StrToInt(nullptr), 0);
    EXPECT_EQ(StrToInt("\t5"), 0); // only 0x20 counts as a space
    EXPECT_EQ(StrToInt("--5"), 0);
    EXPECT_EQ(StrToInt("4294967297"), 1); // modulo 2^32
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);

    EXPECT_EQ(StrAsc(""), 0);
    EXPECT_EQ(StrAsc(nullptr), 0);
    EXPECT_EQ(StrAsc("\xE9"), 0xE9); // unsigned, not sign-extended
    EXPECT_EQ(StrLen(nullptr), 0);
    EXPECT_EQ(StrEqual(nullptr, ""), 1);
    EXPECT_EQ(StrEqual("ab", "abc"), 0);
}

TEST_F(StringsTest, PiecesFollowOneAnotherAndStoreTakesAnExactCopy) {
    const char *start = StringTop;
    StrAppend("x=");
    StrFromInt(INT32_MIN);
    StrSpaces(2);
    StrFromMemory(nullptr);
    StrAppend(start); // an expression may take in its own beginning
    EXPECT_EQ(Built(start), "x=-2147483648  x=-2147483648  ");

    char *variable = nullptr;
    size_t blocks = HeapBlockCount(MainHeap);
    StrAppend("hello ");
    StrFromInt(42);
    ASSERT_EQ(StrStore(&variable, start), 1);
    EXPECT_STREQ(variable, "hello 42");
    EXPECT_EQ(StringTop, start);
    ASSERT_EQ(StrAssign(&variable, variable + 6), 1); // from its own text
    EXPECT_STREQ(variable, "42");
    EXPECT_EQ(HeapBlockCount(MainHeap), blocks + 1); // the old block went back
    StrAssign(&variable, nullptr);
    EXPECT_EQ(variable, nullptr);
    EXPECT_EQ(HeapBlockCount(MainHeap), blocks);
    EXPECT_EQ(StringCut, 0);
}

TEST_F(StringsTest, WritesStopAtTheEndOfTheBufferWithTheirNul) {
    // The buffer under test is followed by guard bytes that no write may touch.
    const int guard = 64;
    std::vector<char> area(STRING_BUFFER_SIZE + guard, '#');
    StringBuffer = StringTop = area.data();
    char *last = StringBuffer + STRING_BUFFER_SIZE - 1;

    EXPECT_EQ(StrSpaces(STRING_BUFFER_SIZE - 10), 1);
    EXPECT_EQ(StringCut, 0);
    EXPECT_EQ(StrAppend("0123456789abc"), 0);
    EXPECT_EQ(StringCut, 1);
    EXPECT_EQ(StringTop, last);
    EXPECT_EQ(std::string(last - 9), "012345678");

    // Once full, every piece is cut to nothing and the NUL stays on the last byte.
    EXPECT_EQ(StrFromInt(7), 0);
    EXPECT_EQ(StrMid("xyz", 1, 2), 0);
    EXPECT_EQ(StrSpaces(INT32_MAX), 0);
    EXPECT_EQ(StringTop, last);
    EXPECT_EQ(*last, 0);
    EXPECT_EQ(std::string(area.end() - guard, area.end()), std::string(guard, '#'));

    // A StringTop outside the buffer writes nothing at all.
    StringTop = StringBuffer + STRING_BUFFER_SIZE;
    EXPECT_EQ(StrAppend("x"), 0);
    EXPECT_EQ(area[STRING_BUFFER_SIZE], '#');
    StringBuffer = StringTop = nullptr;
}
