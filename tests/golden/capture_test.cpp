// The key frames against the references, the capture's run and files, and the tolvmarka-capture
// command run as a child; each test with a fresh TMPDIR (tmp_) and output folder (out_).
#include "capture/capture.h"
#include "capture/output.h"
#include "core/offline.h"
#include "core/scene.h"
#include "music/music.h"
#include "music/player.h"

#include <GL/gl.h>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <png.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The names in `folder`, sorted; none when it is missing.
std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto &entry : std::filesystem::directory_iterator(folder, missing))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Capture : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/tolvmarka-capture-test.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        base_ = name;
        tmp_ = base_ + "/tmp";
        out_ = base_ + "/out";
        ASSERT_EQ(mkdir(tmp_.c_str(), 0700) | mkdir(out_.c_str(), 0700), 0);
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        EXPECT_EQ(system(("rm -rf '" + base_ + "'").c_str()), 0);
    }
    bool Empty() const { return Names(tmp_).empty(); }
    std::string base_, tmp_, out_;
};

// The references are drawn without decoding music, so only these injected syncs come: on the
// frames where a capture hears orders 2, 4 and 6 and a kick, each right before it is drawn.
// Regenerate the references and docs/scenes.png with regenerate.sh.
struct GoldenSync {
    uint32_t frame, user;
};
constexpr GoldenSync GOLDEN_SYNCS[] = {
    {396, SYNC_USER_SPRITE},
    {706, SYNC_USER_OBJECT},
    {760, SYNC_USER_PULSE},
    {1015, SYNC_USER_TUNNEL},
};

struct GoldenFrame {
    uint32_t frame;
    const char *name;  // file name: NNNNN-name.png
    const char *label; // caption on the contact sheet
};
constexpr GoldenFrame GOLDEN_FRAMES[] = {
    {1, "title-a-first", "title A, first frame"},
    {17, "title-a-fading", "title A fading in"},
    {34, "title-a-full", "title A at full strength"},
    {35, "title-and-glitch", "title A and the first glitch"},
    {60, "glitch", "glitch"},
    {120, "title-b", "title B, music playing"},
    {186, "plates-scroll-first", "plates and text start, off screen"},
    {255, "plates-flight", "plates in flight"},
    {484, "sprite-top", "sprite at the top of a hop"},
    {740, "object-rest", "object at rest"},
    {760, "object-pulse", "object on a kick"},
    {1100, "object-tunnel", "object, tunnel and scroll text"},
};

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
};

// Starts the show with the injected syncs and draws up to the last key frame, handing each
// key frame's picture to `take`. False when it could not start or ended early.
bool RenderGoldenFrames(void (*take)(const GoldenFrame &, const Picture &, void *), void *context) {
    if (!CaptureStart(DEFAULT_SEED, 1))
        return false;
    for (const GoldenSync &sync : GOLDEN_SYNCS)
        OfflineInjectSync(sync.frame, sync.user);
    Picture picture{CaptureWidth, CaptureHeight,
                    std::vector<uint8_t>(size_t(CaptureWidth) * size_t(CaptureHeight) * 3)};
    size_t next = 0, count = sizeof GOLDEN_FRAMES / sizeof *GOLDEN_FRAMES;
    bool ended = false;
    for (uint32_t frame = 1; next < count && !ended; frame++) {
        bool key = GOLDEN_FRAMES[next].frame == frame;
        ended = CaptureFrame(key ? picture.rgb.data() : nullptr, nullptr) != 0;
        if (key)
            take(GOLDEN_FRAMES[next++], picture, context);
    }
    CaptureEnd();
    return next == count;
}

std::string GoldenFileName(const GoldenFrame &frame) {
    char name[128];
    snprintf(name, sizeof name, "%05u-%s.png", frame.frame, frame.name);
    return name;
}

bool ReadPng(const std::string &path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    picture->width = int32_t(image.width);
    picture->height = int32_t(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
}

// One Mesa version's llvmpipe draws the same bytes every time; another may round a colour, a
// texel or a fog factor the other way, or move an edge by a pixel. So: every channel within 2
// steps on at least 99.5% of the pixels, far more than any misplaced or mistinted layer leaves.
constexpr int CHANNEL_SLACK = 2;
constexpr double MATCHING_SHARE = 0.995;

// Adds a failure per frame that does not match; the drawn frame goes to `actualDir`.
void Compare(const GoldenFrame &frame, const Picture &actual, void *actualDir) {
    std::string name = GoldenFileName(frame);
    Picture reference;
    ASSERT_TRUE(ReadPng(std::string(GOLDEN_REFERENCE_DIR) + "/" + name, &reference)) << name;
    ASSERT_EQ(reference.rgb.size(), actual.rgb.size()) << name;
    auto far = [&](size_t c) {
        return std::abs(int(actual.rgb[c]) - int(reference.rgb[c])) > CHANNEL_SLACK;
    };
    size_t pixels = actual.rgb.size() / 3, off = 0;
    for (size_t c = 0; c < actual.rgb.size(); c += 3)
        off += far(c) || far(c + 1) || far(c + 2);
    if (double(pixels - off) < MATCHING_SHARE * double(pixels)) {
        std::string path = *static_cast<std::string *>(actualDir) + "/" + name;
        mkdir(static_cast<std::string *>(actualDir)->c_str(), 0777);
        PngWrite(path.c_str(), actual.rgb.data(), actual.width, actual.height);
        ADD_FAILURE() << name << ": " << off << " pixels off, drawn frame saved as " << path;
    }
}

// With GOLDEN_REGENERATE set (by regenerate.sh) the drawn frames become the references, and
// each file's name and caption go to stdout for the contact sheet.
void Save(const GoldenFrame &frame, const Picture &picture, void *) {
    std::string name = GoldenFileName(frame), path = GOLDEN_REFERENCE_DIR "/" + name;
    ASSERT_TRUE(PngWrite(path.c_str(), picture.rgb.data(), picture.width, picture.height));
    printf("%s\tframe %u: %s\n", name.c_str(), frame.frame, frame.label);
}

using GoldenFrames = Capture;

TEST_F(GoldenFrames, KeyFramesMatchTheReferences) {
    const char *build = getenv("TOLVMARKA_BUILD");
    std::string actualDir = std::string(build ? build : ".") + "/golden-actual";
    ASSERT_TRUE(RenderGoldenFrames(getenv("GOLDEN_REGENERATE") ? Save : Compare, &actualDir));
    EXPECT_TRUE(Empty()) << "the capture's temporary directory is gone";
}

// The music resumes while frame 86 is drawn, after that frame's silent audio was decoded, so
// song sample 0 opens frame 87. Orders 2, 4 and 6 bring the sprite, the object and the tunnel.
constexpr uint32_t RESUME_FRAME = 86;
constexpr uint32_t LAYER_ORDERS[] = {2, 4, 6};
constexpr uint64_t TICKS_PER_ORDER = 64 * 3;

uint32_t FrameOfSongSample(uint64_t sample) {
    return RESUME_FRAME + 1 + uint32_t(sample / SAMPLES_PER_FRAME);
}

// Each layer's animation moves only while it is drawn, so its first move is its first frame.
// The player's ticks (711.29 samples) may be laid on whole samples or carry the fraction.
TEST_F(Capture, SceneChangesLandOnTheFrameWhereTheirOrderIsHeard) {
    ASSERT_TRUE(CaptureStart(DEFAULT_SEED, 1));
    const double tick = OUTPUT_RATE * 2.5 / 155.0;
    auto earliest = [&](uint32_t order) {
        return FrameOfSongSample(order * TICKS_PER_ORDER * uint64_t(tick));
    };
    auto latest = [&](uint32_t order) {
        return FrameOfSongSample(uint64_t(double(order * TICKS_PER_ORDER) * tick));
    };
    const float *motion[] = {&SpritePhase, &ObjectAngle, &TunnelAngle};
    uint32_t first[3] = {};
    uint64_t firstSound = 0, cutShort = 0;
    std::vector<int16_t> pcm(SAMPLES_PER_FRAME * CAPTURE_CHANNELS);
    for (uint32_t frame = 1; frame <= latest(LAYER_ORDERS[2]); frame++) {
        float before[3] = {*motion[0], *motion[1], *motion[2]};
        CaptureFrame(nullptr, pcm.data());
        for (int i = 0; i < 3; i++)
            if (!first[i] && *motion[i] != before[i])
                first[i] = frame;
        auto loud = std::find_if(pcm.begin(), pcm.end(), [](int16_t s) { return s != 0; });
        if (!firstSound && loud != pcm.end())
            firstSound = (frame - 1) * SAMPLES_PER_FRAME + uint64_t(loud - pcm.begin()) / 2;
        // A decode short of the frame leaves its last sample alone silent.
        cutShort += firstSound && !pcm.end()[-1] && !pcm.end()[-2] && pcm.end()[-3];
    }
    CaptureEnd();
    for (int i = 0; i < 3; i++) {
        EXPECT_GE(first[i], earliest(LAYER_ORDERS[i])) << "order " << LAYER_ORDERS[i];
        EXPECT_LE(first[i], latest(LAYER_ORDERS[i])) << "order " << LAYER_ORDERS[i];
    }
    // Silence while the music stands paused; the song's first row is heard on the next frame.
    EXPECT_GE(firstSound, RESUME_FRAME * SAMPLES_PER_FRAME);
    EXPECT_LT(firstSound, (RESUME_FRAME + 1) * SAMPLES_PER_FRAME);
    EXPECT_EQ(cutShort, 0u);
}

// The hash of each of the first `frames` pictures drawn with `seed`, then that of the sound.
std::vector<size_t> Fingerprint(uint32_t seed, uint32_t frames) {
    if (!CaptureStart(seed, 1))
        return {};
    std::vector<size_t> print;
    std::string rgb(size_t(CaptureWidth) * CaptureHeight * 3, '\0'), sound;
    std::vector<int16_t> pcm(SAMPLES_PER_FRAME * CAPTURE_CHANNELS);
    for (uint32_t frame = 1; frame <= frames; frame++) {
        CaptureFrame(reinterpret_cast<uint8_t *>(&rgb[0]), pcm.data());
        print.push_back(std::hash<std::string>()(rgb));
        sound.append(reinterpret_cast<const char *>(pcm.data()), pcm.size() * sizeof pcm[0]);
    }
    CaptureEnd();
    print.push_back(std::hash<std::string>()(sound));
    return print;
}

// Past the glitch (frames 35 to 85) and into title B with the music playing: the seed changes
// the glitch frames and nothing else, the sound included.
TEST_F(Capture, OneSeedGivesTheSameBytesAndTheSeedDrivesOnlyTheGlitch) {
    constexpr uint32_t FRAMES = 120, GLITCH_FIRST = 35, GLITCH_LAST = 85;
    std::vector<size_t> first = Fingerprint(DEFAULT_SEED, FRAMES);
    std::vector<size_t> other = Fingerprint(DEFAULT_SEED + 1, FRAMES);
    EXPECT_EQ(Fingerprint(DEFAULT_SEED, FRAMES), first);
    ASSERT_TRUE(first.size() == FRAMES + 1 && other.size() == FRAMES + 1);
    for (uint32_t frame = 1; frame <= FRAMES + 1; frame++)
        EXPECT_EQ(first[frame - 1] != other[frame - 1],
                  frame >= GLITCH_FIRST && frame <= GLITCH_LAST)
            << (frame > FRAMES ? "the sound" : "frame " + std::to_string(frame));
}

// At every scale: a private TMPDIR holding the player's file, gone at the end; the window's 24
// colour bits and no alpha (a deeper surface blends more finely and reads back slowly); title A
// drawn whole, as light at both sizes (one drawn into a corner has a quarter of it); and rows
// read back top first, each GL row cleared to its own number.
TEST_F(Capture, SurfaceAndTemporaryDirectoryAtEveryScale) {
    constexpr uint32_t GLITCH_FRAME = 35;
    double light[CAPTURE_MAX_SCALE + 1] = {};
    for (int32_t scale = 1; scale <= CAPTURE_MAX_SCALE; scale++) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(CaptureStart(DEFAULT_SEED, scale));
        std::string temp = CaptureTempDir();
        EXPECT_EQ(temp.rfind(tmp_ + "/", 0), 0u) << temp;
        EXPECT_EQ(std::string(PlayerDir).rfind(temp + "/tolvmarka.", 0), 0u) << PlayerDir;
        EXPECT_EQ(std::filesystem::status(temp).permissions(), std::filesystem::perms::owner_all);
        GLint bits[4] = {};
        const GLenum names[4] = {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS};
        for (int i = 0; i < 4; i++)
            glGetIntegerv(names[i], &bits[i]);
        EXPECT_TRUE(bits[0] == 8 && bits[1] == 8 && bits[2] == 8 && bits[3] == 0);

        std::vector<uint8_t> rgb(size_t(CaptureWidth) * CaptureHeight * 3);
        for (uint32_t frame = 1; frame <= GLITCH_FRAME; frame++)
            CaptureFrame(rgb.data(), nullptr);
        for (uint8_t value : rgb)
            light[scale] += value / double(rgb.size());
        glEnable(GL_SCISSOR_TEST);
        for (int32_t y = 0; y < CaptureHeight; y++) {
            glScissor(0, y, CaptureWidth, 1);
            glClearColor(float(y % 256) / 255.0f, float(y / 256) / 255.0f, 0.0f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        OfflineReadPixels(rgb.data(), CaptureWidth, CaptureHeight);
        for (int32_t row = 0; row < CaptureHeight; row++) {
            const uint8_t *pixel = &rgb[size_t(row) * CaptureWidth * 3];
            ASSERT_EQ(pixel[0] + 256 * pixel[1], CaptureHeight - 1 - row) << "row " << row;
        }
        CaptureEnd();
        EXPECT_TRUE(Empty());
        EXPECT_EQ(getenv("TMPDIR"), tmp_) << "TMPDIR gets its old value back";
    }
    EXPECT_GT(light[1], 1.0) << "the frame must show something";
    EXPECT_NEAR(light[2] / light[1], 1.0, 0.1);
}

// A WAV of `frames` stereo frames of 16 bits at 44,100 Hz, its sizes filled in.
void ExpectWav(const std::string &path, uint32_t frames) {
    auto le32 = [](uint32_t value) { // the host is little-endian, like the file
        return std::string(reinterpret_cast<const char *>(&value), 4);
    };
    const std::string format(
        "WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data", 32);
    std::string wav = ReadFile(path);
    EXPECT_EQ(wav.size(), WAV_HEADER_BYTES + frames * 4) << path;
    EXPECT_EQ(wav.substr(0, 44), "RIFF" + le32(36 + frames * 4) + format + le32(frames * 4))
        << path;
}

TEST_F(Capture, WavAndY4mHoldEverythingWritten) {
    const int16_t pcm[] = {1, -1, 2, -2, 3, -3, 32767, -32768, 0, 5};
    std::string wav = out_ + "/sound.wav";
    ASSERT_TRUE(WavOpen(wav.c_str()) && WavWrite(pcm, 3) && WavWrite(pcm + 6, 2) && WavClose());
    EXPECT_EQ(ReadFile(wav).substr(WAV_HEADER_BYTES),
              std::string(reinterpret_cast<const char *>(pcm), sizeof pcm));

    // Black, white, the primaries, the scroll text's orange and two greys, against BT.601
    // limited range from the exact matrix: the 8-bit fixed-point coefficients stay within 0.6.
    const uint8_t colours[][3] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},  {0, 255, 0},
                                  {0, 0, 255}, {255, 102, 0},   {64, 64, 64}, {200, 200, 200}};
    const double matrix[3][4] = {{16, 65.481, 128.553, 24.966},
                                 {128, -37.797, -74.203, 112.0},
                                 {128, 112.0, -93.786, -18.214}};
    const size_t n = 8;
    std::string y4m = out_ + "/video.y4m";
    ASSERT_TRUE(Y4mOpen(y4m.c_str(), 4, 2) && Y4mWrite(&colours[0][0]) &&
                Y4mWrite(&colours[0][0]) && Y4mClose());
    std::string stream = "YUV4MPEG2 W4 H2 F50:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
    std::string file = ReadFile(y4m), planes = file.substr(stream.size() + 6, 3 * n);
    EXPECT_EQ(file, stream + "FRAME\n" + planes + "FRAME\n" + planes);
    for (size_t i = 0; i < n; i++) {
        for (size_t plane = 0; plane < 3; plane++) {
            const double *m = matrix[plane];
            double exact =
                m[0] + (m[1] * colours[i][0] + m[2] * colours[i][1] + m[3] * colours[i][2]) / 255;
            EXPECT_NEAR(uint8_t(planes[plane * n + i]), exact, 0.6) << plane << " of " << i;
        }
    }
}

// The command's exit code (128 + signal when a signal ended it) and all that it printed.
struct Result {
    int status = -1;
    std::string says;
};

// Runs the command, calling `during` every 10 ms while it runs. After a minute it is killed,
// so that a capture that ignores its stop fails rather than hangs.
Result RunCapture(const std::vector<std::string> &args,
                  const std::function<void(pid_t)> &during = {}) {
    std::vector<char *> argv = {const_cast<char *>(CAPTURE_PROGRAM)};
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    char says[] = "/tmp/tolvmarka-capture-says.XXXXXX";
    int output = mkostemp(says, O_CLOEXEC);
    unlink(says);
    pid_t pid = output < 0 ? -1 : fork();
    if (pid == 0) {
        dup2(output, 1);
        dup2(output, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    for (int i = 1; pid > 0 && waitpid(pid, &status, WNOHANG) == 0; i++) {
        if (i == 6000)
            kill(pid, SIGKILL);
        if (during)
            during(pid);
        usleep(10000);
    }
    Result result{-1, ReadFile("/proc/self/fd/" + std::to_string(output))};
    close(output);
    if (pid > 0)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TEST_F(Capture, HelpAndBadArgumentsExitCleanly) {
    Result help = RunCapture({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option :
         {"--out", "--format", "--seed", "--frames", "--until", "--scale", "--wav", "--help"})
        EXPECT_NE(help.says.find(std::string("  ") + option + " "), std::string::npos) << option;
    const std::vector<std::string> bad[] = {
        {"--scale", "3"}, {"--format", "gif"}, {"--frames", "0"}, {"--frames", "ten"},
        {"--seed", "-1"}, {"--bogus"},         {"--out"},         {"--until", "1x"}};
    for (const std::vector<std::string> &args : bad) {
        Result result = RunCapture(args);
        EXPECT_EQ(result.status, 2) << args[0];
        EXPECT_NE(result.says.find("tolvmarka-capture: "), std::string::npos) << args[0];
        EXPECT_EQ(result.says.find("Usage"), std::string::npos) << "a hint, not the whole help";
    }
}

// Each output appears whole under its name, with its sound. Links planted at a video and its
// sound (to another user's file) are replaced by the files, not followed; no temporaries are
// left.
TEST_F(Capture, OutputsHoldTheFramesAndTheirSound) {
    ASSERT_EQ(system(("echo keep > '" + out_ + "/precious'").c_str()), 0);
    for (const char *link : {"/linked.wav", "/linked.y4m"})
        ASSERT_EQ(symlink((out_ + "/precious").c_str(), (out_ + link).c_str()), 0);
    struct Output {
        const char *format, *out;
        uint32_t frames;
        int32_t scale;
        const char *count; // the option that gives the number of frames
    };
    const Output outputs[] = {{"png", "frames", 3, 1, "--frames"},
                              {"y4m", "show.y4m", 2, 2, "--until"},
                              {"y4m", "linked.y4m", 1, 1, "--frames"},
                              {"mp4", "show.mp4", 25, 1, "--frames"}};
    for (const Output &o : outputs) {
        SCOPED_TRACE(o.out);
        std::string path = out_ + "/" + o.out, format = o.format;
        Result result = RunCapture({"--format", format, "--out", path, o.count,
                                    std::to_string(o.frames), "--scale", std::to_string(o.scale)});
        ASSERT_EQ(result.status, 0) << result.says;
        EXPECT_TRUE(Empty());
        const int32_t width = 640 * o.scale, height = 480 * o.scale;
        if (format == "png") {
            std::vector<std::string> names = {"audio.wav"};
            for (uint32_t frame = 1; frame <= o.frames; frame++)
                names.push_back("frame_0000" + std::to_string(frame) + ".png");
            EXPECT_EQ(Names(path), names);
            Picture picture;
            EXPECT_TRUE(ReadPng(path + "/" + names.back(), &picture));
            EXPECT_EQ(picture.width * picture.height, width * height);
            ExpectWav(path + "/audio.wav", o.frames * SAMPLES_PER_FRAME);
        } else if (format == "y4m") {
            std::string y4m = ReadFile(path), header = "YUV4MPEG2 W" + std::to_string(width) +
                                                       " H" + std::to_string(height) +
                                                       " F50:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
            EXPECT_EQ(y4m.substr(0, header.size()), header);
            EXPECT_EQ(y4m.size(), header.size() + o.frames * (6 + 3 * size_t(width) * height));
            ExpectWav(path.substr(0, path.size() - 4) + ".wav", o.frames * SAMPLES_PER_FRAME);
        } else {
            std::string probe = "ffprobe -v error -count_frames -show_entries stream=codec_name,"
                                "nb_read_frames,width,height -of csv=p=0 '" +
                                path + "' > " + base_ + "/streams";
            EXPECT_EQ(system(probe.c_str()), 0);
            std::string streams = ReadFile(base_ + "/streams");
            EXPECT_NE(streams.find("h264,640,480,25"), std::string::npos) << streams;
            EXPECT_NE(streams.find("aac"), std::string::npos) << streams;
        }
    }
    EXPECT_EQ(ReadFile(out_ + "/precious"), "keep\n") << "written through a link";
    EXPECT_EQ(Names(out_),
              (std::vector<std::string>{"frames", "linked.wav", "linked.y4m", "precious",
                                        "show.mp4", "show.wav", "show.y4m"}));
}

// Runs that stop early or cannot start say so in one line and leave the frames so far (after
// a stop signal) or nothing at all, and nothing in the temporary directory. A pipe's reader
// holds both ends open, so that the capture's open does not wait; closing them is the reader
// going away.
enum Reader { NONE, READS_THEN_LEAVES, NEVER_READS };
struct Fault {
    const char *format, *out;
    const char *wav; // --wav, under the output folder unless "-"; null for none
    const char *tmp; // TMPDIR: the test's own, a missing folder in it, or a tmpfs's options
    int signal;      // sent once the third frame is out, or once a never-read pipe is half full
    Reader reader;   // of the FIFO "pipe"
    int status;
    const char *says;
};
const Fault FAULTS[] = {
    {"png", "term", nullptr, "", SIGTERM, NONE, 128 + SIGTERM, "stopped early"},
    {"png", "hup", nullptr, "", SIGHUP, NONE, 128 + SIGHUP, "stopped early"},
    {"png", "quit", nullptr, "", SIGQUIT, NONE, 128 + SIGQUIT, "stopped early"},
    {"png", "sigpipe", nullptr, "", SIGPIPE, NONE, 128 + SIGPIPE, "stopped early"},
    {"y4m", "pipe", nullptr, "", 0, NONE, 2, "--wav"},
    {"y4m", "pipe", "sound.wav", "", 0, READS_THEN_LEAVES, 1, "closed"},
    {"y4m", "pipe", "-", "", SIGTERM, NEVER_READS, 128 + SIGTERM, "not being read"},
    // The output folder is checked before start-up, which would fail on the missing TMPDIR.
    {"y4m", "missing/show", nullptr, "/gone", 0, NONE, 1, "/missing/show:"},
    {"png", "missing/show", nullptr, "/gone", 0, NONE, 1, "/missing/show:"},
    {"mp4", "missing/show", nullptr, "/gone", 0, NONE, 1, "/missing/show:"},
    // No room for the player's file (mounting needs root).
    {"y4m", "show.y4m", nullptr, "nr_inodes=2", 0, NONE, 1, "nothing was written"},
    {"y4m", "show.y4m", nullptr, "size=20k", 0, NONE, 1, "nothing was written"},
};

TEST_F(Capture, StopsAndFaultsLeaveWholeFilesOrNothing) {
    const std::string fifo = out_ + "/pipe", full = base_ + "/full";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600) | mkdir(full.c_str(), 0700), 0);
    for (const Fault &f : FAULTS) {
        SCOPED_TRACE(std::string(f.format) + " to " + f.out + ": " + f.says);
        std::string out = out_ + "/" + f.out, tmp = f.tmp[0] == '/' ? tmp_ + f.tmp : tmp_;
        if (f.tmp[0] && f.tmp[0] != '/') {
            tmp = full;
            if (geteuid() != 0 ||
                system(("mount -t tmpfs -o " + std::string(f.tmp) + " tmpfs " + full).c_str()))
                continue;
        }
        setenv("TMPDIR", tmp.c_str(), 1);
        std::vector<std::string> args = {"--format", f.format, "--out", out};
        if (f.wav)
            args.insert(args.end(), {"--wav", strcmp(f.wav, "-") ? out_ + "/" + f.wav : "-"});
        int reader = f.reader ? open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
        bool sent = false;
        Result result = RunCapture(args, [&](pid_t pid) {
            char buffer[1000];
            if (f.reader == READS_THEN_LEAVES && read(reader, buffer, sizeof buffer) > 0) {
                close(reader);
                reader = -1;
            }
            int queued = 0;
            bool ready = f.reader == NEVER_READS
                             ? ioctl(reader, FIONREAD, &queued) == 0 &&
                                   queued >= fcntl(reader, F_GETPIPE_SZ) / 2
                             : access((out + "/frame_00003.png").c_str(), F_OK) == 0;
            if (f.signal && !sent && ready)
                sent = kill(pid, f.signal) == 0;
        });
        if (reader >= 0)
            close(reader);
        std::vector<std::string> left = Names(tmp);
        EXPECT_TRUE(tmp != full || system(("umount " + full).c_str()) == 0);
        setenv("TMPDIR", tmp_.c_str(), 1);
        EXPECT_EQ(result.status, f.status) << result.says;
        EXPECT_NE(result.says.find(f.says), std::string::npos) << result.says;
        // One line; a full TMPDIR also passes on the show's own message.
        EXPECT_EQ(std::count(result.says.begin(), result.says.end(), '\n'), tmp == full ? 2 : 1)
            << result.says;
        EXPECT_TRUE(left.empty() && Empty());
        if (f.signal && !f.reader) {
            std::vector<std::string> files = Names(out);
            uint32_t frames = uint32_t(files.size()) - 1;
            EXPECT_TRUE(frames >= 3 && frames < SHOW_FRAMES) << frames;
            char last[32];
            snprintf(last, sizeof last, "frame_%05u.png", frames);
            EXPECT_EQ(files.front() + " " + files.back(), "audio.wav " + std::string(last));
            ExpectWav(out + "/audio.wav", frames * SAMPLES_PER_FRAME);
        }
    }
    EXPECT_EQ(Names(out_), (std::vector<std::string>{"hup", "pipe", "quit", "sigpipe", "term"}));
}

} // namespace
