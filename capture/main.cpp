// tolvmarka-capture: renders the show offline, frame by frame, to PNG frames, a Y4M stream
// or an MP4 video, with its sound.
#include "capture/capture.h"
#include "capture/output.h"
#include "core/offline.h"
#include "display/display.h"
#include "display/headless.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum Format { FORMAT_PNG, FORMAT_Y4M, FORMAT_MP4 };

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_SIGNAL_BASE = 128;
constexpr double PROGRESS_EVERY_S = 0.25;
constexpr int PROGRESS_BAR_WIDTH = 30;
constexpr const char *VIDEO_TEMP = "video.mp4";
constexpr const char *SOUND_TEMP = "sound.wav";
constexpr const char *SOUND_IN_FOLDER = "audio.wav";

const char *const USAGE =
    "Usage: tolvmarka-capture [options]\n"
    "Renders the show offline, frame by frame at 50 frames per second, with its sound.\n"
    "\n"
    "  --out PATH        where to write (default: tolvmarka.mp4, tolvmarka.y4m or the\n"
    "                    folder tolvmarka-frames, after the format)\n"
    "  --format FORMAT   mp4: H.264 + AAC through ffmpeg (the default when ffmpeg is\n"
    "                         installed)\n"
    "                    y4m: a YUV4MPEG2 stream, 4:4:4 BT.601 limited range, and the\n"
    "                         sound next to it as PATH with .wav for .y4m (the default\n"
    "                         without ffmpeg)\n"
    "                    png: a folder of frame_00001.png ... and audio.wav\n"
    "  --seed N          random seed of the glitch (default 0x70A1): one seed, one result\n"
    "  --frames N        stop after N frames (the whole show is 4538)\n"
    "  --until FRAME     stop after frame FRAME, counted from 1 (same as --frames FRAME)\n"
    "  --scale 1|2       picture size 640x480 or 1280x960, drawn at that size (default 1)\n"
    "  --wav FILE        where the sound goes with y4m or png, or - for no sound file;\n"
    "                    needed when --out is a pipe (y4m only)\n"
    "  --help            show this text\n"
    "\n"
    "Each file appears whole under its name when it is done. A progress bar goes to stderr\n"
    "when it is a terminal. Ctrl-C (or SIGTERM, SIGHUP, SIGQUIT, SIGPIPE) stops at the next\n"
    "frame and finishes the output with the frames so far.\n";

volatile sig_atomic_t StopSignal;
pid_t OwnPid;
const int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

Format OutFormat;
int FormatGiven;
const char *OutPath;
const char *WavOption; // --wav; "-" for none
uint32_t Seed = DEFAULT_SEED;
uint32_t FrameLimit; // 0: until the show ends
int32_t Scale = 1;

char SoundPath[PATH_MAX]; // empty: no sound file
char VideoPath[PATH_MAX];
char FramePath[PATH_MAX];
OutputFile Final; // the MP4, reserved in its folder before the first frame
int MadeFolder;   // the PNG folder is ours to remove while it is empty
int Running;      // from start-up until the outputs are closed

// A SIGPIPE that this process raised itself comes from a write to a closed pipe: that write
// fails with EPIPE and is handled where it is made. One sent from outside is a request to stop.
void OnSignal(int signal, siginfo_t *info, void *) {
    if (signal == SIGPIPE && info && info->si_pid == OwnPid)
        return;
    StopSignal = signal;
    OutputStopRequested = 1;
}

void CatchStopSignals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = OnSignal;
    action.sa_flags = SA_SIGINFO; // no SA_RESTART: a write blocked on a pipe must give up
    for (int signal : STOP_SIGNALS)
        sigaction(signal, &action, nullptr);
}

// The headless platform's boxes show nothing: the show's own messages (such as a player file
// that cannot be written) go to stderr. The question is answered Yes, as the show expects.
int32_t OnBox(const char *caption, const char *text, uint32_t flags, void *) {
    if (flags & MB_YESNO)
        return IDYES;
    fprintf(stderr, "tolvmarka-capture: the show's message: \"%s: %s\"\n", caption ? caption : "",
            text ? text : "");
    return IDOK;
}

int Usage(const char *problem, const char *value) {
    fprintf(stderr, "tolvmarka-capture: %s%s%s\n", problem, value ? ": " : "", value ? value : "");
    fprintf(stderr, "Try 'tolvmarka-capture --help'.\n");
    return 0;
}

// A whole number from `text` (decimal, or hex with 0x), at least `least`.
int ParseNumber(const char *text, uint32_t least, uint32_t *value) {
    char *end = nullptr;
    errno = 0;
    unsigned long long number = strtoull(text, &end, 0);
    if (errno || end == text || *end != '\0' || text[0] == '-' || number > UINT32_MAX ||
        number < least)
        return 0;
    *value = uint32_t(number);
    return 1;
}

int ParseOptions(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        const char *option = argv[i];
        if (!strcmp(option, "--help") || !strcmp(option, "-h")) {
            fputs(USAGE, stdout);
            exit(0);
        }
        if (i + 1 >= argc)
            return Usage("unknown option or missing value", option);
        const char *value = argv[++i];
        uint32_t number = 0;
        if (!strcmp(option, "--out")) {
            if (value[0] == '\0')
                return Usage("empty --out", nullptr);
            OutPath = value;
        } else if (!strcmp(option, "--format")) {
            FormatGiven = 1;
            if (!strcmp(value, "png"))
                OutFormat = FORMAT_PNG;
            else if (!strcmp(value, "y4m"))
                OutFormat = FORMAT_Y4M;
            else if (!strcmp(value, "mp4"))
                OutFormat = FORMAT_MP4;
            else
                return Usage("--format is png, y4m or mp4, not", value);
        } else if (!strcmp(option, "--seed")) {
            if (!ParseNumber(value, 0, &Seed))
                return Usage("--seed takes a whole number below 2^32, not", value);
        } else if (!strcmp(option, "--frames") || !strcmp(option, "--until")) {
            if (!ParseNumber(value, 1, &FrameLimit))
                return Usage("--frames and --until take a frame count from 1, not", value);
        } else if (!strcmp(option, "--scale")) {
            if (!ParseNumber(value, 1, &number) || number > uint32_t(CAPTURE_MAX_SCALE))
                return Usage("--scale is 1 or 2, not", value);
            Scale = int32_t(number);
        } else if (!strcmp(option, "--wav")) {
            if (value[0] == '\0')
                return Usage("empty --wav", nullptr);
            WavOption = value;
        } else {
            return Usage("unknown option", option);
        }
    }
    if (!FormatGiven)
        OutFormat = FindProgram("ffmpeg") ? FORMAT_MP4 : FORMAT_Y4M;
    if (!OutPath)
        OutPath = OutFormat == FORMAT_MP4   ? "tolvmarka.mp4"
                  : OutFormat == FORMAT_Y4M ? "tolvmarka.y4m"
                                            : "tolvmarka-frames";
    if (OutFormat == FORMAT_MP4 && !FindProgram("ffmpeg"))
        return Usage("--format mp4 needs ffmpeg, which is not installed; try --format y4m",
                     nullptr);
    if (OutFormat == FORMAT_MP4 && WavOption)
        return Usage("--wav goes with y4m and png; mp4 holds its sound", nullptr);
    if (OutFormat != FORMAT_PNG && OutputIsStream(OutPath)) {
        // A pipe has no folder for a sound file beside it, and an MP4 cannot be streamed.
        if (OutFormat == FORMAT_MP4)
            return Usage("mp4 cannot go to a pipe or a device; try --format y4m", OutPath);
        if (!WavOption) {
            fprintf(stderr,
                    "tolvmarka-capture: --out %s is a pipe or a device, with no folder for the "
                    "sound: name its file with --wav FILE, or give --wav - for none\n",
                    OutPath);
            return 0;
        }
    }
    return 1;
}

// The sound's file: --wav, audio.wav in the frame folder, NAME.wav next to NAME.y4m, or a
// temporary one for ffmpeg.
int PlanPaths() {
    int fits = 1;
    if (OutFormat == FORMAT_MP4)
        fits = snprintf(SoundPath, sizeof SoundPath, "%s/%s", CaptureTempDir(), SOUND_TEMP) <
                   int(sizeof SoundPath) &&
               snprintf(VideoPath, sizeof VideoPath, "%s/%s", CaptureTempDir(), VIDEO_TEMP) <
                   int(sizeof VideoPath);
    else if (WavOption)
        fits = snprintf(SoundPath, sizeof SoundPath, "%s",
                        strcmp(WavOption, "-") ? WavOption : "") < int(sizeof SoundPath);
    else if (OutFormat == FORMAT_PNG)
        fits = snprintf(SoundPath, sizeof SoundPath, "%s/%s", OutPath, SOUND_IN_FOLDER) <
               int(sizeof SoundPath);
    else {
        size_t length = strlen(OutPath);
        const char *suffix = ".y4m";
        if (length > strlen(suffix) && !strcmp(OutPath + length - strlen(suffix), suffix))
            length -= strlen(suffix);
        fits = snprintf(SoundPath, sizeof SoundPath, "%.*s.wav", int(length), OutPath) <
               int(sizeof SoundPath);
    }
    if (!fits)
        fprintf(stderr, "tolvmarka-capture: the output path is too long\n");
    return fits;
}

// The files in the target folders, opened before start-up, so that a folder that is missing
// or not writable is found before anything is rendered.
int OpenTargets() {
    if (OutFormat == FORMAT_PNG) {
        struct stat info;
        if (mkdir(OutPath, 0777) == 0)
            MadeFolder = 1;
        else if (errno != EEXIST || stat(OutPath, &info) != 0 || !S_ISDIR(info.st_mode)) {
            fprintf(stderr, "tolvmarka-capture: cannot make the folder %s: %s\n", OutPath,
                    errno == EEXIST ? "it is not a folder" : strerror(errno));
            return 0;
        }
    }
    if (OutFormat == FORMAT_MP4)
        return OutputOpen(&Final, OutPath);
    int32_t width = DISPLAY_WIDTH * Scale, height = DISPLAY_HEIGHT * Scale;
    if (OutFormat == FORMAT_Y4M && !Y4mOpen(OutPath, width, height))
        return 0;
    return PlanPaths() && (!SoundPath[0] || WavOpen(SoundPath));
}

// The sound and the video for ffmpeg, in the capture's temporary directory.
int OpenTemporaries() {
    if (OutFormat != FORMAT_MP4)
        return 1;
    return PlanPaths() && WavOpen(SoundPath) && EncoderOpen(VideoPath, CaptureWidth, CaptureHeight);
}

int WriteFrame(uint32_t frame, const uint8_t *rgb, const int16_t *pcm) {
    if (SoundPath[0] && !WavWrite(pcm, SAMPLES_PER_FRAME))
        return 0;
    if (OutFormat == FORMAT_Y4M)
        return Y4mWrite(rgb);
    if (OutFormat == FORMAT_MP4)
        return EncoderWrite(rgb);
    if (snprintf(FramePath, sizeof FramePath, "%s/frame_%05u.png", OutPath, frame) >=
        int(sizeof FramePath)) {
        fprintf(stderr, "tolvmarka-capture: the output path is too long\n");
        return 0;
    }
    return PngWrite(FramePath, rgb, CaptureWidth, CaptureHeight);
}

// Drops every output that is not finished: temporaries go, and an empty folder we made.
void AbandonOutputs() {
    WavAbandon();
    Y4mAbandon();
    OutputAbandon(&Final);
    if (MadeFolder)
        rmdir(OutPath);
    MadeFolder = 0;
}

// Finishes the outputs when `keep` (the frames so far are worth having) and puts them in
// place; otherwise drops them.
int CloseOutputs(int keep) {
    int ok = keep;
    if (OutFormat == FORMAT_MP4) {
        ok = EncoderClose() && ok;
        ok = ok && WavClose() && EncoderMux(VideoPath, SoundPath, Final.temp) &&
             OutputCommit(&Final);
    } else {
        ok = ok && (!SoundPath[0] || WavClose());
        ok = ok && (OutFormat != FORMAT_Y4M || Y4mClose());
    }
    if (!ok)
        AbandonOutputs();
    MadeFolder = 0;
    return ok;
}

// The show ends the process itself when it cannot start (its player file cannot be written):
// the capture's temporary directory goes by its own exit hook, the outputs here, and the
// capture reports a failure, not the show's exit code.
void EndAtExit() {
    if (!Running)
        return;
    Running = 0;
    EncoderClose();
    AbandonOutputs();
    fprintf(stderr, "tolvmarka-capture: the show ended before the capture was done; nothing "
                    "was written\n");
    fflush(nullptr);
    _exit(EXIT_FAILED);
}

double SecondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void ShowProgress(uint32_t frame, uint32_t total, double elapsed) {
    double speed = elapsed > 0.0 ? double(frame) / CAPTURE_FPS / elapsed : 0.0;
    double left = speed > 0.0 ? double(total > frame ? total - frame : 0) / CAPTURE_FPS / speed : 0;
    int filled = int(double(PROGRESS_BAR_WIDTH) * frame / (total ? total : 1));
    if (filled > PROGRESS_BAR_WIDTH)
        filled = PROGRESS_BAR_WIDTH;
    char bar[PROGRESS_BAR_WIDTH + 1];
    memset(bar, '#', size_t(filled));
    memset(bar + filled, '.', size_t(PROGRESS_BAR_WIDTH - filled));
    bar[PROGRESS_BAR_WIDTH] = '\0';
    fprintf(stderr, "\r[%s] frame %u/%u  %.2fx real time  %d:%02d left ", bar, frame, total, speed,
            int(left) / 60, int(left) % 60);
}

} // namespace

int main(int argc, char **argv) {
    if (!ParseOptions(argc, argv))
        return EXIT_USAGE;

    OwnPid = getpid();
    CatchStopSignals();
    HeadlessSetBoxHandler(OnBox, nullptr);
    atexit(EndAtExit);

    if (!OpenTargets()) {
        AbandonOutputs();
        return EXIT_FAILED;
    }
    Running = 1;
    if (!CaptureStart(Seed, Scale)) {
        Running = 0;
        AbandonOutputs();
        return EXIT_FAILED;
    }
    // Start-up sets the show's own dispositions (SIGPIPE ignored); the capture keeps its own.
    CatchStopSignals();
    if (!CaptureHasDecode())
        fprintf(stderr, "tolvmarka-capture: the player cannot decode offline here: the sound is "
                        "silent and the music's scene changes do not come\n");

    size_t pictureBytes = size_t(CaptureWidth) * size_t(CaptureHeight) * 3;
    uint8_t *rgb = static_cast<uint8_t *>(malloc(pictureBytes));
    int16_t pcm[SAMPLES_PER_FRAME * CAPTURE_CHANNELS];
    int ok = rgb && OpenTemporaries();

    uint32_t total = FrameLimit ? FrameLimit : SHOW_FRAMES;
    int progress = isatty(STDERR_FILENO);
    double start = SecondsNow(), shown = start;
    uint32_t frames = 0;
    while (ok && !StopSignal) {
        int end = CaptureFrame(rgb, pcm);
        frames++;
        ok = WriteFrame(frames, rgb, pcm);
        double now = SecondsNow();
        bool last = end || frames == FrameLimit;
        if (progress && (now - shown >= PROGRESS_EVERY_S || last)) {
            ShowProgress(frames, total, now - start);
            shown = now;
        }
        if (last)
            break;
    }
    if (progress)
        fputc('\n', stderr);
    double elapsed = SecondsNow() - start;

    // Stopped before the first frame: there is nothing to finish.
    ok = CloseOutputs(ok && frames > 0);
    Running = 0;
    free(rgb);
    CaptureEnd();
    if (StopSignal && !frames) {
        fprintf(stderr, "tolvmarka-capture: stopped by a signal before the first frame; nothing "
                        "was written\n");
        return EXIT_SIGNAL_BASE + StopSignal;
    }
    if (StopSignal && !ok)
        return EXIT_SIGNAL_BASE + StopSignal;
    if (!ok)
        return EXIT_FAILED;
    fprintf(stderr, "tolvmarka-capture: %u frames (%.2f s of show) in %.1f s to %s%s\n", frames,
            double(frames) / CAPTURE_FPS, elapsed, OutPath,
            StopSignal ? ", stopped early by a signal" : "");
    return StopSignal ? EXIT_SIGNAL_BASE + StopSignal : 0;
}
