// Fuzz target: the string operations on StringBuffer, checked against a plain model of the
// expression being built. Each input is a program of operations; the fuzzer drives the
// buffer to its end, where pieces are cut, and hands in pointers into the buffer itself.
#include "runtime/heap.h"
#include "runtime/strings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t CAPACITY = STRING_BUFFER_SIZE - 1; // characters before the last NUL
constexpr size_t MAX_TEXT = 512;
constexpr int32_t MAX_SPACES = STRING_BUFFER_SIZE + 100;
constexpr int VARIABLES = 4;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "strings_fuzz: %s failed at line %d\n", #condition, __LINE__);         \
            abort();                                                                               \
        }                                                                                          \
    } while (0)

// Reads the operation program from the front of the input; past its end everything is 0.
struct Program {
    const uint8_t *next;
    size_t left;

    uint8_t Byte() {
        if (left == 0)
            return 0;
        --left;
        return *next++;
    }
    uint32_t Word() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | Byte();
        return value;
    }
    // A value in [low, high], spread over the whole range.
    int64_t InRange(int64_t low, int64_t high) {
        return low + int64_t(Word() % uint64_t(high - low + 1));
    }
    // A length byte, then that many bytes (NULs included: the operations stop at them).
    std::string Text() {
        size_t length = size_t(InRange(0, MAX_TEXT));
        length = length < left ? length : left;
        std::string text(reinterpret_cast<const char *>(next), length);
        next += length;
        left -= length;
        return text;
    }
};

// The whole buffer as it must be, and where StringTop must stand in it.
std::string Shadow;
size_t Top;
bool ModelCut;

// What a writing operation must have done: the piece, cut to the room that was left, then
// its NUL.
void ExpectPiece(const std::string &piece, int result) {
    const size_t room = CAPACITY - Top;
    const bool whole = piece.size() <= room;
    const size_t length = whole ? piece.size() : room;
    Shadow.replace(Top, length, piece, 0, length);
    Top += length;
    Shadow[Top] = 0;
    ModelCut = ModelCut || !whole;
    CHECK(result == (whole ? 1 : 0));
}

// The string found in the buffer at `at` (a store leaves old bytes behind StringTop).
std::string InBuffer(size_t at) {
    return std::string(Shadow.c_str() + at);
}

std::string UpToNul(const std::string &text) {
    return text.substr(0, strnlen(text.c_str(), text.size()));
}

std::string MidModel(const std::string &text, int32_t start, int32_t length) {
    if (length <= 0)
        return "";
    const std::string whole = UpToNul(text);
    const size_t skip = start > 1 ? size_t(start) - 1 : 0;
    if (skip >= whole.size())
        return "";
    return whole.substr(skip, size_t(length));
}

int32_t ToIntModel(const std::string &text) {
    const std::string whole = UpToNul(text);
    size_t at = 0;
    while (at < whole.size() && whole[at] == ' ')
        ++at;
    bool negative = false;
    if (at < whole.size() && (whole[at] == '-' || whole[at] == '+'))
        negative = whole[at++] == '-';
    uint64_t value = 0;
    while (at < whole.size() && whole[at] >= '0' && whole[at] <= '9')
        value = (value * 10 + uint64_t(whole[at++] - '0')) % (uint64_t(1) << 32);
    return int32_t(uint32_t(negative ? (uint64_t(1) << 32) - value : value));
}

void CheckBuffer() {
    CHECK(StringTop == StringBuffer + Top);
    CHECK(memcmp(StringBuffer, Shadow.data(), STRING_BUFFER_SIZE) == 0);
    CHECK((StringCut != 0) == ModelCut);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Program input{data, size};
    MainHeap = HeapCreate(0);
    StringCut = 0;
    CHECK(StringBufferInit());
    Shadow.assign(STRING_BUFFER_SIZE, '\0');
    Top = 0;
    ModelCut = false;
    char *variables[VARIABLES] = {};
    std::string values[VARIABLES];

    while (input.left > 0) {
        const std::string text = input.Text();
        const size_t at = size_t(input.InRange(0, int64_t(Top)));
        const int slot = int(input.InRange(0, VARIABLES - 1));
        const int64_t op = input.InRange(0, 11);
        switch (op) {
        case 0:
            ExpectPiece(UpToNul(text), StrAppend(text.c_str()));
            break;
        case 1: // a piece of the expression itself, overlapping where it is written
            ExpectPiece(InBuffer(at), StrAppend(StringBuffer + at));
            break;
        case 2: {
            const int32_t start = int32_t(input.Word());
            const int32_t length = int32_t(input.Word());
            ExpectPiece(MidModel(text, start, length), StrMid(text.c_str(), start, length));
            break;
        }
        case 3: {
            const int32_t start = int32_t(input.InRange(-2, 600));
            const int32_t length = int32_t(input.InRange(-2, 600));
            const std::string source = InBuffer(at);
            ExpectPiece(MidModel(source, start, length), StrMid(StringBuffer + at, start, length));
            break;
        }
        case 4: {
            const int32_t count = int32_t(input.InRange(-5, MAX_SPACES));
            ExpectPiece(std::string(count > 0 ? size_t(count) : 0, ' '), StrSpaces(count));
            break;
        }
        case 5: {
            const int32_t value = int32_t(input.Word());
            ExpectPiece(std::to_string(value), StrFromInt(value));
            break;
        }
        case 6: {
            const bool none = (input.Byte() & 1);
            ExpectPiece(none ? "" : UpToNul(text), StrFromMemory(none ? nullptr : text.c_str()));
            break;
        }
        case 7: // store the tail of the expression and take it off the buffer
            CHECK(StrStore(&variables[slot], StringBuffer + at) == 1);
            values[slot] = Shadow.substr(at, Top - at);
            Top = at;
            CHECK(StrEqual(variables[slot], values[slot].c_str()) == 1);
            break;
        case 8: // a start past StringTop changes nothing
            CHECK(StrStore(&variables[slot], StringTop + 1) == 0);
            break;
        case 9: {
            const bool none = (input.Byte() & 1);
            CHECK(StrAssign(&variables[slot], none ? nullptr : text.c_str()) == 1);
            values[slot] = none ? "" : UpToNul(text);
            CHECK(none == (variables[slot] == nullptr));
            break;
        }
        case 10:
            CHECK(StrToInt(text.c_str()) == ToIntModel(text));
            CHECK(StrLen(text.c_str()) == int32_t(UpToNul(text).size()));
            CHECK(StrAsc(text.c_str()) == (text.empty() ? 0 : uint8_t(text[0])));
            break;
        default: // start a new expression
            StringTop = StringBuffer;
            Top = 0;
            break;
        }
        CheckBuffer();
        for (int i = 0; i < VARIABLES; ++i) {
            CHECK(StrLen(variables[i]) == int32_t(values[i].size()));
            CHECK(StrEqual(variables[i], values[i].c_str()) == 1);
        }
    }
    HeapDestroy(MainHeap); // frees StringBuffer and the variables
    MainHeap = nullptr;
    StringBuffer = StringTop = nullptr;
    return 0;
}
