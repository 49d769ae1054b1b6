// The capture's run: which frame each scene change lands on, where the sound starts, that
// one seed gives one result, the larger picture, and the private temporary directory.
#include "capture/capture.h"
#include "core/frame_loop.h"
#include "core/offline.h"
#include "core/scene.h"
#include "music/music.h"
#include "music/player.h"
#include "runtime/libraries.h"
#include "tests/golden/capture_fixture.h"
#include "tests/golden/fake_player.h"

#include <GL/gl.h>
#include <cmath>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <vector>

namespace {

// The show's schedule that the capture has to reproduce.
constexpr uint32_t RESUME_FRAME = 86; // title B's first frame resumes the paused music
constexpr uint64_t ROWS_PER_ORDER = 64;
constexpr uint64_t TICKS_PER_ROW = 3;
constexpr double TICK_SECONDS = 2.5 / 155.0; // 155 BPM
constexpr uint32_t ORDER_SPRITE = 2, ORDER_OBJECT = 4, ORDER_TUNNEL = 6;

// The frame whose audio holds song sample `sample`: the music resumes while frame 86 is
// drawn, after that frame's (silent) audio was decoded, so song sample 0 opens frame 87.
uint32_t FrameOfSongSample(uint64_t sample) {
    return RESUME_FRAME + 1 + uint32_t(sample / SAMPLES_PER_FRAME);
}

struct Observed {
    uint32_t firstSprite = 0, firstObject = 0, firstTunnel = 0;
    int64_t firstSound = -1; // index of the first non-zero stereo frame
    uint64_t samples = 0;
};

// Runs the capture with the music decoded up to `frames` and notes the first frame on which
// each music-driven layer is drawn: each layer's own animation moves only when it is drawn.
Observed RunObserving(uint32_t frames) {
    Observed seen;
    std::vector<int16_t> pcm(SAMPLES_PER_FRAME * CAPTURE_CHANNELS);
    for (uint32_t frame = 1; frame <= frames; frame++) {
        float sprite = SpritePhase, object = ObjectAngle, tunnel = TunnelAngle;
        bool ended = CaptureFrame(nullptr, pcm.data()) != 0;
        if (!seen.firstSprite && SpritePhase != sprite)
            seen.firstSprite = frame;
        if (!seen.firstObject && ObjectAngle != object)
            seen.firstObject = frame;
        if (!seen.firstTunnel && TunnelAngle != tunnel)
            seen.firstTunnel = frame;
        for (uint32_t i = 0; i < SAMPLES_PER_FRAME && seen.firstSound < 0; i++)
            if (pcm[2 * i] != 0 || pcm[2 * i + 1] != 0)
                seen.firstSound = int64_t(seen.samples + i);
        seen.samples += SAMPLES_PER_FRAME;
        if (ended)
            break;
    }
    return seen;
}

using CaptureSync = PrivateTmpDir;

// Each scene's first frame lies in [earliest, latest] of its order: with the stand-in
// player's whole ticks both bounds are one frame; the real player may lay its ticks of
// 44,100 x 2.5 / 155 = 711.29 samples on whole samples and start order k up to
// k x 192 x 0.29 samples early, or carry the fraction and start it on time.
TEST_F(CaptureSync, SceneChangesLandOnTheFrameWhereTheirOrderIsHeard) {
    for (bool fake : {true, false}) {
        SCOPED_TRACE(fake ? "stand-in player" : "real player");
        ASSERT_TRUE(CaptureStart(DEFAULT_SEED, 1));
        const double tick = fake ? double(FAKE_TICK_SAMPLES) : OUTPUT_RATE * TICK_SECONDS;
        const uint64_t orderTicks = ROWS_PER_ORDER * TICKS_PER_ROW;
        auto earliest = [&](uint32_t order) {
            return FrameOfSongSample(order * orderTicks * uint64_t(std::floor(tick)));
        };
        auto latest = [&](uint32_t order) {
            return FrameOfSongSample(uint64_t(std::floor(double(order * orderTicks) * tick)));
        };
        if (fake) {
            ASSERT_NE(LibraryOpen(0, FAKE_PLAYER), 0) << FAKE_PLAYER;
            MusicStart(
                SyncCallback); // registers the show's syncs with the stand-in, plays and pauses
        }
        const uint32_t frames = latest(ORDER_TUNNEL) + 1;
        Observed seen = RunObserving(frames);
        CaptureEnd();

        const uint32_t orders[] = {ORDER_SPRITE, ORDER_OBJECT, ORDER_TUNNEL};
        const uint32_t firsts[] = {seen.firstSprite, seen.firstObject, seen.firstTunnel};
        for (int i = 0; i < 3; i++) {
            EXPECT_GE(firsts[i], earliest(orders[i])) << "order " << orders[i];
            EXPECT_LE(firsts[i], latest(orders[i])) << "order " << orders[i];
        }
        // Silence while the music stands paused; then the song is heard before its order 2.
        EXPECT_GE(seen.firstSound, int64_t(RESUME_FRAME) * SAMPLES_PER_FRAME);
        EXPECT_LT(seen.firstSound, int64_t(earliest(ORDER_SPRITE) - 1) * SAMPLES_PER_FRAME);
        if (fake) {
            EXPECT_EQ(seen.firstSound, int64_t(RESUME_FRAME) * SAMPLES_PER_FRAME);
            EXPECT_EQ(seen.samples, uint64_t(frames) * SAMPLES_PER_FRAME);
        }
    }
}

struct RunPrint {
    std::vector<uint64_t> frames;
    uint64_t sound = 0;
};

RunPrint Fingerprint(uint32_t seed, uint32_t frames) {
    RunPrint print;
    if (!CaptureStart(seed, 1))
        return print;
    std::vector<uint8_t> rgb(size_t(CaptureWidth) * CaptureHeight * 3);
    std::vector<int16_t> pcm(SAMPLES_PER_FRAME * CAPTURE_CHANNELS);
    for (uint32_t frame = 1; frame <= frames; frame++) {
        CaptureFrame(rgb.data(), pcm.data());
        print.frames.push_back(Fnv1a(rgb.data(), rgb.size()));
        print.sound = Fnv1a(pcm.data(), pcm.size() * sizeof pcm[0], print.sound);
    }
    CaptureEnd();
    return print;
}

using CaptureRun = PrivateTmpDir;

// Past the glitch and into title B, with the music playing when the player can decode.
constexpr uint32_t SHORT_RUN = 120;
constexpr uint32_t GLITCH_FIRST = 35, GLITCH_LAST = 85;

TEST_F(CaptureRun, OneSeedGivesTheSameBytesAndTheSeedDrivesTheGlitch) {
    RunPrint first = Fingerprint(DEFAULT_SEED, SHORT_RUN);
    RunPrint second = Fingerprint(DEFAULT_SEED, SHORT_RUN);
    RunPrint other = Fingerprint(DEFAULT_SEED + 1, SHORT_RUN);
    ASSERT_EQ(first.frames.size(), SHORT_RUN);
    ASSERT_EQ(other.frames.size(), SHORT_RUN);
    EXPECT_EQ(first.frames, second.frames);
    EXPECT_EQ(first.sound, second.sound);

    EXPECT_EQ(first.sound, other.sound) << "the seed must not touch the music";
    for (uint32_t frame = 1; frame <= SHORT_RUN; frame++) {
        bool glitch = frame >= GLITCH_FIRST && frame <= GLITCH_LAST;
        if (glitch)
            EXPECT_NE(first.frames[frame - 1], other.frames[frame - 1]) << "frame " << frame;
        else
            EXPECT_EQ(first.frames[frame - 1], other.frames[frame - 1]) << "frame " << frame;
    }
}

TEST_F(CaptureRun, TemporaryDirectoryIsPrivateAndGoesAway) {
    ASSERT_TRUE(CaptureStart(DEFAULT_SEED, 1));
    std::string temp = CaptureTempDir();
    EXPECT_EQ(temp.rfind(dir_ + "/", 0), 0u) << temp << " is not under " << dir_;
    EXPECT_EQ(std::string(getenv("TMPDIR")), temp);
    struct stat info {};
    ASSERT_EQ(std::string(PlayerDir).rfind(temp + "/tolvmarka.", 0), 0u) << "the player goes there";
    ASSERT_EQ(stat(temp.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    CaptureFrame(nullptr, nullptr);
    CaptureEnd();
    EXPECT_TRUE(Empty());
    EXPECT_EQ(std::string(getenv("TMPDIR")), dir_) << "TMPDIR gets its old value back";
}

// The show's window asks for 24 colour bits and no alpha. A deeper surface would blend and
// round more finely than the window the show is watched in, and read back more slowly.
TEST_F(CaptureRun, SurfaceHasTheWindowsColourDepthAtEveryScale) {
    for (int32_t scale = 1; scale <= CAPTURE_MAX_SCALE; scale++) {
        ASSERT_TRUE(CaptureStart(DEFAULT_SEED, scale));
        GLint bits[4] = {0, 0, 0, -1};
        const GLenum names[4] = {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS};
        for (int i = 0; i < 4; i++)
            glGetIntegerv(names[i], &bits[i]);
        CaptureEnd();
        EXPECT_THAT(bits, ::testing::ElementsAre(8, 8, 8, 0)) << "scale " << scale;
    }
}

// Title A at full strength, then its first glitch: flat areas, hard edges and thin strips.
constexpr uint32_t SCALE_FRAME = 35;
// Measured with llvmpipe: a mean difference of 1.8 steps of 255 and 2.4% more light at the
// larger size (thin strips keep more of their coverage). The limits leave about twice that.
// A picture drawn into a quarter of the surface gives a difference of 12.5 and a ratio of 0.25.
constexpr double MEAN_DIFFERENCE_LIMIT = 4.0;
constexpr double LIGHT_RATIO_SLACK = 0.1;

std::vector<uint8_t> DrawFrame(int32_t scale, uint32_t frame) {
    std::vector<uint8_t> rgb;
    if (!CaptureStart(DEFAULT_SEED, scale))
        return rgb;
    rgb.resize(size_t(CaptureWidth) * CaptureHeight * 3);
    for (uint32_t i = 1; i <= frame; i++)
        CaptureFrame(i == frame ? rgb.data() : nullptr, nullptr);
    CaptureEnd();
    return rgb;
}

TEST_F(CaptureRun, DoubleScaleDrawsTheSamePictureAtTwiceTheResolution) {
    std::vector<uint8_t> small = DrawFrame(1, SCALE_FRAME);
    std::vector<uint8_t> large = DrawFrame(2, SCALE_FRAME);
    const int32_t w = 640, h = 480;
    ASSERT_EQ(small.size(), size_t(w) * h * 3);
    ASSERT_EQ(large.size(), size_t(4) * w * h * 3);
    // Each 2 x 2 block of the large picture against the pixel it covers. The two renders
    // differ at every edge (a pixel half covered at 640 x 480 is split into covered and bare
    // at 1280 x 960) and in texture filtering (a finer mipmap level), so single pixels may
    // differ by a lot; what must hold is the picture as a whole: a small mean difference,
    // and the same amount of light. A picture drawn into one corner, or scaled wrongly,
    // fails both by far.
    double difference = 0.0, lightSmall = 0.0, lightLarge = 0.0;
    for (int32_t y = 0; y < h; y++) {
        for (int32_t x = 0; x < w; x++) {
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int dy = 0; dy < 2; dy++)
                    for (int dx = 0; dx < 2; dx++)
                        sum += large[(size_t(2 * y + dy) * 2 * w + size_t(2 * x + dx)) * 3 + c];
                double block = sum / 4.0, pixel = small[(size_t(y) * w + x) * 3 + c];
                difference += std::fabs(block - pixel);
                lightSmall += pixel;
                lightLarge += block;
            }
        }
    }
    double values = double(w) * h * 3;
    ASSERT_GT(lightSmall / values, 1.0) << "the frame must show something";
    EXPECT_LT(difference / values, MEAN_DIFFERENCE_LIMIT);
    EXPECT_NEAR(lightLarge / lightSmall, 1.0, LIGHT_RATIO_SLACK);
}

} // namespace
