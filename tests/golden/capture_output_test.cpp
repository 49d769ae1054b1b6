// The capture's files (WAV, Y4M, PNG) and the tolvmarka-capture command itself, run as a child.
#include "capture/capture.h"
#include "capture/output.h"
#include "tests/golden/capture_fixture.h"
#include "tests/golden/golden.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

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

using CaptureFiles = PrivateTmpDir;

TEST_F(CaptureFiles, WavAndY4mHoldEverythingWritten) {
    const int16_t pcm[] = {1, -1, 2, -2, 3, -3, 32767, -32768, 0, 5};
    std::string wav = out_ + "/sound.wav";
    ASSERT_TRUE(WavOpen(wav.c_str()) && WavWrite(pcm, 3) && WavWrite(pcm + 6, 2) && WavClose());
    ExpectWav(wav, 5);
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
    Result result;
    int output[2];
    if (pipe2(output, O_CLOEXEC | O_NONBLOCK) != 0)
        return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(output[1], 1);
        dup2(output[1], 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    char buffer[4096];
    auto drain = [&] {
        for (ssize_t n; (n = read(output[0], buffer, sizeof buffer)) > 0;)
            result.says.append(buffer, size_t(n));
    };
    int status = 0;
    for (int i = 1; pid > 0 && waitpid(pid, &status, WNOHANG) == 0; i++) {
        if (i == 6000)
            kill(pid, SIGKILL);
        drain();
        if (during)
            during(pid);
        usleep(10000);
    }
    drain();
    if (pid > 0)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    close(output[0]);
    return result;
}

using CaptureCommand = PrivateTmpDir;

TEST_F(CaptureCommand, HelpAndBadArgumentsExitCleanly) {
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
    EXPECT_TRUE(Empty());
}

// Each output appears whole under its name, with its sound. Links planted at a video and its
// sound (to another user's file) are replaced by the files, not followed; no temporaries are
// left.
TEST_F(CaptureCommand, OutputsHoldTheFramesAndTheirSound) {
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
            std::string wav = path.substr(0, path.size() - 4) + ".wav";
            ExpectWav(wav, o.frames * SAMPLES_PER_FRAME);
        } else {
            std::string streams, probe = "ffprobe -v error -count_frames -show_entries "
                                         "stream=codec_name,nb_read_frames,width,height -of "
                                         "csv=p=0 '" +
                                         path + "'";
            FILE *pipe = popen(probe.c_str(), "r");
            for (int c; pipe && (c = fgetc(pipe)) != EOF;)
                streams += char(c);
            EXPECT_EQ(pipe ? pclose(pipe) : -1, 0);
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

TEST_F(CaptureCommand, StopsAndFaultsLeaveWholeFilesOrNothing) {
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
