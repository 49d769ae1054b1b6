// A started show on the recorded GL stream, with the probe player in slot 0, and the
// expected call streams of the frame and of each layer step, written out call by call.
#pragma once
#include "tests/core/probe_player.h"
#include "tests/support/gl_trace.h"

#include <GL/gl.h>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

typedef std::vector<std::string> Stream;

// The shortest text that reads back as `value`: the form the trace prints.
std::string Num(float value);
// Concatenation of call streams.
Stream Join(std::initializer_list<Stream> parts);

class ShowTest : public ::testing::Test {
  protected:
    // Every test gets a temporary directory of its own (test programs run in parallel)
    // and an offline start with this generator seed.
    static constexpr uint32_t SEED = 0x2B1Du;

    void SetUp() override;
    void TearDown() override;

    // The calls `work` makes.
    static Stream Record(const std::function<void()> &work);
    // The calls made since `mark` (an index into the recorded calls).
    static Stream Since(size_t mark);
    static size_t Mark();
    // The first call named `name` at or after `from`; fails the test when there is none.
    static const GlCall &FirstCall(const std::string &name, size_t from);
    // The player log of the probe in slot 0.
    ProbePlayerLog &Player() { return *log_; }

    // What the primitives draw, taken from the primitives themselves: their own streams are
    // pinned down by the content tests, here it only matters where they are drawn.
    Stream ring_, plate_, text_;

    // ---- Expected streams ----
    static Stream FrameHead();
    static Stream FrameTail();
    static Stream TextureSetup(GLuint texture);
    Stream Tunnel(float angle, float shift) const;
    Stream Object(float angle, float scale) const;
    Stream Plates(float offsetA, float offsetB, float offsetC) const;
    static Stream Title(GLuint texture, float alpha);
    // `draws` holds the 64 RandomInt(100) results in draw order; empty gives "*" for each
    // strip call (the strips are checked on their own).
    static Stream Glitch(GLuint texture, const std::vector<int32_t> &draws);
    // The sprite's translation is "*": its sine is checked with a tolerance.
    static Stream Sprite();
    Stream Scroller(float scrollX) const;

  private:
    std::string dir_;
    ProbePlayerLog *log_ = nullptr;
};
