// The capture's files (WAV, Y4M, PNG) and the tolvmarka-capture command itself.
#include "capture/capture.h"
#include "capture/output.h"
#include "tests/golden/capture_fixture.h"
#include "tests/golden/golden.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

uint32_t Le32(const std::string &bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

uint16_t Le16(const std::string &bytes, size_t at) {
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

bool Exists(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The names in `folder`, sorted.
std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, ".."))
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

using CaptureFiles = PrivateTmpDir;

TEST_F(CaptureFiles, WavHeaderCountsEverySampleWritten) {
    std::string path = dir_ + "/sound.wav";
    const int16_t first[] = {1, -1, 2, -2, 3, -3};
    const int16_t second[] = {32767, -32768, 0, 5};
    ASSERT_TRUE(WavOpen(path.c_str()));
    ASSERT_TRUE(WavWrite(first, 3));
    ASSERT_TRUE(WavWrite(second, 2));
    ASSERT_TRUE(WavClose());

    std::string wav = ReadFile(path);
    const uint32_t dataBytes = 5 * 4;
    ASSERT_EQ(wav.size(), WAV_HEADER_BYTES + dataBytes);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(wav, 16), 16u);
    EXPECT_EQ(Le16(wav, 20), 1u); // PCM
    EXPECT_EQ(Le16(wav, 22), 2u);
    EXPECT_EQ(Le32(wav, 24), 44100u);
    EXPECT_EQ(Le32(wav, 28), 44100u * 4);
    EXPECT_EQ(Le16(wav, 32), 4u);
    EXPECT_EQ(Le16(wav, 34), 16u);
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(Le32(wav, 40), dataBytes);
    EXPECT_EQ(int16_t(Le16(wav, 44)), 1);
    EXPECT_EQ(int16_t(Le16(wav, 46)), -1);
    EXPECT_EQ(int16_t(Le16(wav, 44 + 12)), 32767);
    EXPECT_EQ(int16_t(Le16(wav, 44 + 14)), -32768);
}

// BT.601 limited range from the exact matrix.
void ExactYcbcr(int r, int g, int b, double *y, double *cb, double *cr) {
    *y = 16.0 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
    *cb = 128.0 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
    *cr = 128.0 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
}

TEST_F(CaptureFiles, Y4mHoldsFullPlanesOfBt601LimitedRange) {
    // Black, white, the primaries and the show's scroll-text orange, then a grey ramp.
    const uint8_t colours[][3] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},  {0, 255, 0},
                                  {0, 0, 255}, {255, 102, 0},   {64, 64, 64}, {200, 200, 200}};
    const int32_t w = 4, h = 2, n = w * h;
    std::string path = dir_ + "/video.y4m";
    ASSERT_TRUE(Y4mOpen(path.c_str(), w, h));
    ASSERT_TRUE(Y4mWrite(&colours[0][0]));
    ASSERT_TRUE(Y4mWrite(&colours[0][0]));
    ASSERT_TRUE(Y4mClose());

    std::string y4m = ReadFile(path);
    std::string header = "YUV4MPEG2 W4 H2 F50:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
    ASSERT_EQ(y4m.size(), header.size() + 2 * (6 + 3 * n));
    EXPECT_EQ(y4m.substr(0, header.size()), header);
    size_t frame = header.size();
    EXPECT_EQ(y4m.substr(frame, 6), "FRAME\n");
    EXPECT_EQ(y4m.substr(frame + 6, 3 * n), y4m.substr(frame + 12 + 3 * n, 3 * n));
    for (int i = 0; i < n; i++) {
        double y, cb, cr;
        ExactYcbcr(colours[i][0], colours[i][1], colours[i][2], &y, &cb, &cr);
        const uint8_t *planes = reinterpret_cast<const uint8_t *>(y4m.data()) + frame + 6;
        // The 8-bit fixed-point coefficients round off the exact matrix by under one step.
        EXPECT_NEAR(planes[i], y, 1.0) << "Y of colour " << i;
        EXPECT_NEAR(planes[n + i], cb, 1.0) << "Cb of colour " << i;
        EXPECT_NEAR(planes[2 * n + i], cr, 1.0) << "Cr of colour " << i;
    }
}

// The command, run as a child with the test's private TMPDIR.
struct Result {
    int status = -1; // exit code, or 128 + signal
    std::string out, err;
};

pid_t Start(const std::vector<std::string> &args, const std::string &dir) {
    std::vector<char *> argv;
    std::string program = CAPTURE_PROGRAM;
    argv.push_back(program.data());
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir + "/.stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (dir + "/.stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

Result Finish(pid_t pid, const std::string &dir) {
    Result result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(dir + "/.stdout");
    result.err = ReadFile(dir + "/.stderr");
    remove((dir + "/.stdout").c_str());
    remove((dir + "/.stderr").c_str());
    return result;
}

// 1 when the child has ended; it is left for Finish to collect.
bool Ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid;
}

// Gives the child a minute to end, then ends it, so that a capture that ignores its stop
// shows as a failure rather than a hang.
void EndWithin(pid_t pid) {
    for (int i = 0; i < 6000 && !Ended(pid); i++)
        usleep(10000);
    if (!Ended(pid))
        kill(pid, SIGKILL);
}

class CaptureCommand : public PrivateTmpDir {
  protected:
    void SetUp() override {
        PrivateTmpDir::SetUp();
        char name[] = "/tmp/tolvmarka-capture-out.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        out_ = name;
        logs_ = out_;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + out_ + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        PrivateTmpDir::TearDown();
    }
    Result Run(const std::vector<std::string> &args) { return Finish(Start(args, logs_), logs_); }
    std::string out_, logs_;
};

TEST_F(CaptureCommand, HelpAndBadArgumentsExitCleanly) {
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option :
         {"--out", "--format", "--seed", "--frames", "--until", "--scale", "--wav", "--help"})
        EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;

    const std::vector<std::vector<std::string>> bad = {
        {"--scale", "3"}, {"--format", "gif"}, {"--frames", "0"}, {"--frames", "ten"},
        {"--seed", "-1"}, {"--bogus"},         {"--out"},         {"--until", "1x"},
    };
    for (const std::vector<std::string> &args : bad) {
        Result result = Run(args);
        EXPECT_EQ(result.status, 2) << args[0];
        EXPECT_NE(result.err.find("tolvmarka-capture: "), std::string::npos) << args[0];
        EXPECT_EQ(result.err.find("Usage"), std::string::npos) << "a hint, not the whole help";
    }
    EXPECT_TRUE(Empty());
}

TEST_F(CaptureCommand, PngFolderHoldsTheFramesAndTheirSound) {
    std::string folder = out_ + "/frames";
    Result result = Run({"--format", "png", "--frames", "3", "--out", folder});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char *name : {"frame_00001.png", "frame_00002.png", "frame_00003.png"}) {
        Picture picture;
        ASSERT_TRUE(ReadPng(folder + "/" + name, &picture)) << name;
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, 480);
    }
    EXPECT_FALSE(Exists(folder + "/frame_00004.png"));
    std::string wav = ReadFile(folder + "/audio.wav");
    EXPECT_EQ(wav.size(), WAV_HEADER_BYTES + 3 * SAMPLES_PER_FRAME * 4);
    EXPECT_EQ(Le32(wav, 40), 3 * SAMPLES_PER_FRAME * 4);
    EXPECT_TRUE(Empty()) << "left in TMPDIR: " << (Entries().empty() ? "" : Entries()[0]);
}

TEST_F(CaptureCommand, Y4mAtDoubleScaleWithItsSoundBesideIt) {
    Result result =
        Run({"--format", "y4m", "--until", "2", "--scale", "2", "--out", out_ + "/show.y4m"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string y4m = ReadFile(out_ + "/show.y4m");
    std::string header = "YUV4MPEG2 W1280 H960 F50:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n";
    EXPECT_EQ(y4m.substr(0, header.size()), header);
    EXPECT_EQ(y4m.size(), header.size() + 2 * (6 + 3 * 1280 * 960));
    EXPECT_EQ(ReadFile(out_ + "/show.wav").size(), WAV_HEADER_BYTES + 2 * SAMPLES_PER_FRAME * 4);
    EXPECT_TRUE(Empty());
}

TEST_F(CaptureCommand, Mp4HasH264VideoAndAacSound) {
    if (!FindProgram("ffmpeg") || !FindProgram("ffprobe"))
        GTEST_SKIP() << "ffmpeg is not installed";
    std::string path = out_ + "/show.mp4";
    Result result = Run({"--format", "mp4", "--frames", "25", "--out", path});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string probe = "ffprobe -v error -count_frames -show_entries "
                        "stream=codec_name,nb_read_frames,width,height -of csv=p=0 '" +
                        path + "' > '" + out_ + "/probe.txt'";
    ASSERT_EQ(system(probe.c_str()), 0);
    std::string streams = ReadFile(out_ + "/probe.txt");
    EXPECT_NE(streams.find("h264,640,480,25"), std::string::npos) << streams;
    EXPECT_NE(streams.find("aac"), std::string::npos) << streams;
    EXPECT_TRUE(Empty()) << "the video and sound temporaries are gone";
}

TEST_F(CaptureCommand, StopSignalsFinishTheFramesSoFarAndCleanUp) {
    for (int signal : {SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        SCOPED_TRACE(strsignal(signal));
        std::string folder = out_ + "/frames" + std::to_string(signal);
        pid_t pid = Start({"--format", "png", "--out", folder}, logs_);
        ASSERT_GT(pid, 0);
        // Wait until it is well into the show; the bound only keeps a broken run from hanging.
        for (int i = 0; i < 6000 && !Exists(folder + "/frame_00003.png"); i++)
            usleep(10000);
        ASSERT_TRUE(Exists(folder + "/frame_00003.png"));
        kill(pid, signal);
        EndWithin(pid);
        Result result = Finish(pid, logs_);
        EXPECT_EQ(result.status, 128 + signal) << result.err;
        uint32_t frames = 0;
        char name[32];
        for (;; frames++) {
            snprintf(name, sizeof name, "/frame_%05u.png", frames + 1);
            if (!Exists(folder + name))
                break;
        }
        EXPECT_GE(frames, 3u);
        EXPECT_LT(frames, SHOW_FRAMES);
        std::string wav = ReadFile(folder + "/audio.wav");
        ASSERT_GE(wav.size(), WAV_HEADER_BYTES);
        EXPECT_EQ(Le32(wav, 40), frames * SAMPLES_PER_FRAME * 4) << "sound for every frame";
        EXPECT_EQ(wav.size(), WAV_HEADER_BYTES + Le32(wav, 40));
        EXPECT_EQ(Names(folder).size(), frames + 1) << "no temporaries beside the frames";
        EXPECT_TRUE(Empty()) << "left in TMPDIR: " << (Entries().empty() ? "" : Entries()[0]);
    }
}

TEST_F(CaptureCommand, LinksPlantedAtTheTargetsAreReplacedNotFollowed) {
    // Another user's files, and links to them where the video and its sound will go.
    for (const char *name : {"precious", "treasured"})
        ASSERT_EQ(system(("echo keep > '" + out_ + "/" + name + "'").c_str()), 0);
    ASSERT_EQ(symlink((out_ + "/precious").c_str(), (out_ + "/show.wav").c_str()), 0);
    ASSERT_EQ(symlink((out_ + "/treasured").c_str(), (out_ + "/show.y4m").c_str()), 0);
    Result result = Run({"--format", "y4m", "--frames", "1", "--out", out_ + "/show.y4m"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(ReadFile(out_ + "/precious") == "keep\n") << "the sound went through the link";
    EXPECT_TRUE(ReadFile(out_ + "/treasured") == "keep\n") << "the video went through the link";
    struct stat info {};
    ASSERT_EQ(lstat((out_ + "/show.wav").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_size, off_t(WAV_HEADER_BYTES + SAMPLES_PER_FRAME * 4));
    ASSERT_EQ(lstat((out_ + "/show.y4m").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(Names(out_).size(), 4u) << "no temporaries left";
}

TEST_F(CaptureCommand, MissingOutputFolderFailsBeforeStartUp) {
    // With no temporary directory either, a start-up before the check would fail on that.
    setenv("TMPDIR", (dir_ + "/gone").c_str(), 1);
    for (const char *format : {"y4m", "png", "mp4"}) {
        Result result = Run({"--format", format, "--out", out_ + "/missing/show"});
        EXPECT_EQ(result.status, 1) << format;
        EXPECT_NE(result.err.find(out_ + "/missing/show:"), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    setenv("TMPDIR", dir_.c_str(), 1);
    EXPECT_EQ(Names(out_).size(), 0u);
}

TEST_F(CaptureCommand, Y4mToAPipeNeedsANamedSoundFileAndStopsWhenItsReaderDoes) {
    std::string fifo = out_ + "/pipe.y4m";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    enum Reader { NONE, READS_THEN_LEAVES, NEVER_READS };
    struct Case {
        std::vector<std::string> wav;
        Reader reader;
        int status;
        const char *says;
    };
    const Case cases[] = {
        {{}, NONE, 2, "--wav"},
        {{"--wav", out_ + "/sound.wav"}, READS_THEN_LEAVES, 1, "closed"},
        {{"--wav", "-"}, NEVER_READS, 128 + SIGTERM, "not being read"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.says);
        // Both ends, so that the capture's open does not wait; closing them is the reader
        // going away.
        int reader = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        std::vector<std::string> args = {"--format", "y4m", "--out", fifo};
        args.insert(args.end(), c.wav.begin(), c.wav.end());
        pid_t pid = Start(args, logs_);
        ASSERT_GT(pid, 0);
        size_t got = 0;
        char buffer[1000];
        int queued = 0, capacity = fcntl(reader, F_GETPIPE_SZ);
        bool stopped = false;
        // The bound only keeps a broken run from hanging.
        for (int i = 0; i < 6000 && !Ended(pid); i++) {
            if (c.reader == READS_THEN_LEAVES && got < sizeof buffer) {
                ssize_t n = read(reader, buffer, sizeof buffer - got);
                got += n > 0 ? size_t(n) : 0;
                if (got == sizeof buffer)
                    close(reader);
            }
            if (c.reader == NEVER_READS && !stopped && ioctl(reader, FIONREAD, &queued) == 0 &&
                queued >= capacity / 2)
                stopped = kill(pid, SIGTERM) == 0;
            usleep(10000);
        }
        EndWithin(pid);
        if (got < sizeof buffer)
            close(reader);
        Result result = Finish(pid, logs_);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_EQ(Names(out_), std::vector<std::string>{"pipe.y4m"}) << "no sound file";
        EXPECT_TRUE(Empty());
    }
}

TEST_F(CaptureCommand, FullTemporaryDirectoryFailsWithAMessageAndLeavesNothing) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    std::string full = dir_ + "/full";
    ASSERT_EQ(mkdir(full.c_str(), 0700), 0);
    // Room for no file at all.
    for (const char *limit : {"nr_inodes=2", "size=20k"}) {
        std::string mount = "mount -t tmpfs -o " + std::string(limit) + " tmpfs '" + full + "'";
        if (system(mount.c_str()) != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here";
        setenv("TMPDIR", full.c_str(), 1);
        Result result = Run({"--format", "y4m", "--frames", "1", "--out", out_ + "/show.y4m"});
        setenv("TMPDIR", dir_.c_str(), 1);
        std::vector<std::string> left = Names(full);
        EXPECT_EQ(system(("umount '" + full + "'").c_str()), 0);
        EXPECT_EQ(result.status, 1) << limit << ": " << result.err;
        EXPECT_NE(result.err.find("tolvmarka-capture: "), std::string::npos) << limit;
        EXPECT_TRUE(left.empty()) << limit << ": left " << left[0];
        EXPECT_EQ(Names(out_).size(), 0u) << limit;
    }
}

} // namespace
