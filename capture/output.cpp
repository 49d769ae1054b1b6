#include "capture/output.h"
#include "capture/capture.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "WAV samples are written as they lie");

namespace {

constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint16_t WAV_BITS = 16;
constexpr uint32_t WAV_FMT_BYTES = 16;
constexpr uint32_t WAV_RIFF_OVERHEAD = WAV_HEADER_BYTES - 8; // the header after "RIFF" + size
constexpr uint32_t WAV_DATA_SIZE_AT = 40;
constexpr uint32_t WAV_RIFF_SIZE_AT = 4;
constexpr const char *ENCODER_CRF = "18"; // visually lossless for this flat, high-contrast show
constexpr const char *ENCODER_PRESET = "medium";
constexpr const char *AUDIO_BITRATE = "192k";

FILE *WavFile;
uint64_t WavDataBytes;

FILE *Y4mFile;
int32_t Y4mWidth, Y4mHeight;
uint8_t *Y4mPlanes;

pid_t EncoderPid;
int EncoderInput = -1;
size_t EncoderFrameBytes;
char FoundProgram[PATH_MAX];

void Put16(uint8_t *at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void Put32(uint8_t *at, uint32_t value) {
    Put16(at, uint16_t(value));
    Put16(at + 2, uint16_t(value >> 16));
}

int WriteAll(int fd, const uint8_t *data, size_t size) {
    while (size > 0) {
        ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return 0;
        data += done;
        size -= size_t(done);
    }
    return 1;
}

// Runs `argv` in a process group of its own, with `input` (or /dev/null) as its stdin and
// /dev/null as its stdout. Returns the child's pid, or 0.
pid_t Spawn(char *const argv[], int input) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, argv[0], &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed) {
        fprintf(stderr, "tolvmarka-capture: cannot run %s: %s\n", argv[0], strerror(failed));
        return 0;
    }
    return pid;
}

int WaitFor(pid_t pid, const char *what) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            fprintf(stderr, "tolvmarka-capture: lost %s: %s\n", what, strerror(errno));
            return 0;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return 1;
    fprintf(stderr, "tolvmarka-capture: %s failed (status %d)\n", what,
            WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}

} // namespace

int PngWrite(const char *path, const uint8_t *rgb, int32_t width, int32_t height) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path, 0, rgb, 0, nullptr)) {
        fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path, image.message);
        return 0;
    }
    return 1;
}

int WavOpen(const char *path) {
    WavFile = fopen(path, "wb");
    if (!WavFile) {
        fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path, strerror(errno));
        return 0;
    }
    WavDataBytes = 0;
    uint8_t header[WAV_HEADER_BYTES];
    uint16_t blockAlign = CAPTURE_CHANNELS * WAV_BITS / 8;
    memcpy(header, "RIFF", 4);
    Put32(header + WAV_RIFF_SIZE_AT, WAV_RIFF_OVERHEAD);
    memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, WAV_FMT_BYTES);
    Put16(header + 20, WAV_FORMAT_PCM);
    Put16(header + 22, CAPTURE_CHANNELS);
    Put32(header + 24, OUTPUT_RATE);
    Put32(header + 28, OUTPUT_RATE * blockAlign);
    Put16(header + 32, blockAlign);
    Put16(header + 34, WAV_BITS);
    memcpy(header + 36, "data", 4);
    Put32(header + WAV_DATA_SIZE_AT, 0);
    return fwrite(header, sizeof header, 1, WavFile) == 1;
}

int WavWrite(const int16_t *pcm, uint32_t frames) {
    size_t bytes = size_t(frames) * CAPTURE_CHANNELS * sizeof *pcm;
    if (!WavFile || fwrite(pcm, 1, bytes, WavFile) != bytes) {
        fprintf(stderr, "tolvmarka-capture: cannot write the sound: %s\n", strerror(errno));
        return 0;
    }
    WavDataBytes += bytes;
    return 1;
}

int WavClose() {
    if (!WavFile)
        return 0;
    uint8_t size[4];
    Put32(size, uint32_t(WavDataBytes));
    int ok = fseek(WavFile, WAV_DATA_SIZE_AT, SEEK_SET) == 0 && fwrite(size, 4, 1, WavFile) == 1;
    Put32(size, uint32_t(WavDataBytes + WAV_RIFF_OVERHEAD));
    ok = ok && fseek(WavFile, WAV_RIFF_SIZE_AT, SEEK_SET) == 0 && fwrite(size, 4, 1, WavFile) == 1;
    ok = (fclose(WavFile) == 0) && ok;
    WavFile = nullptr;
    if (!ok)
        fprintf(stderr, "tolvmarka-capture: cannot finish the sound file\n");
    return ok;
}

void RgbToYcbcr(const uint8_t *rgb, int32_t pixels, uint8_t *y, uint8_t *cb, uint8_t *cr) {
    // 8-bit fixed point; the chroma offset 128 << 8 keeps the sums positive before the shift.
    for (int32_t i = 0; i < pixels; i++, rgb += 3) {
        int r = rgb[0], g = rgb[1], b = rgb[2];
        y[i] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
        cb[i] = uint8_t((-38 * r - 74 * g + 112 * b + 128 + (128 << 8)) >> 8);
        cr[i] = uint8_t((112 * r - 94 * g - 18 * b + 128 + (128 << 8)) >> 8);
    }
}

int Y4mOpen(const char *path, int32_t width, int32_t height) {
    Y4mFile = fopen(path, "wb");
    if (!Y4mFile) {
        fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path, strerror(errno));
        return 0;
    }
    Y4mWidth = width;
    Y4mHeight = height;
    Y4mPlanes = static_cast<uint8_t *>(malloc(size_t(width) * size_t(height) * 3));
    fprintf(Y4mFile, "YUV4MPEG2 W%d H%d F%u:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n", width, height,
            CAPTURE_FPS);
    return Y4mPlanes != nullptr;
}

int Y4mWrite(const uint8_t *rgb) {
    size_t plane = size_t(Y4mWidth) * size_t(Y4mHeight);
    RgbToYcbcr(rgb, int32_t(plane), Y4mPlanes, Y4mPlanes + plane, Y4mPlanes + 2 * plane);
    if (fputs("FRAME\n", Y4mFile) < 0 || fwrite(Y4mPlanes, 1, 3 * plane, Y4mFile) != 3 * plane) {
        fprintf(stderr, "tolvmarka-capture: cannot write the video: %s\n", strerror(errno));
        return 0;
    }
    return 1;
}

int Y4mClose() {
    free(Y4mPlanes);
    Y4mPlanes = nullptr;
    int ok = Y4mFile && fclose(Y4mFile) == 0;
    Y4mFile = nullptr;
    if (!ok)
        fprintf(stderr, "tolvmarka-capture: cannot finish the video file\n");
    return ok;
}

const char *FindProgram(const char *name) {
    const char *path = getenv("PATH");
    while (path && *path) {
        const char *end = strchr(path, ':');
        size_t length = end ? size_t(end - path) : strlen(path);
        int written =
            snprintf(FoundProgram, sizeof FoundProgram, "%.*s/%s", int(length), path, name);
        if (length > 0 && written < int(sizeof FoundProgram) && access(FoundProgram, X_OK) == 0)
            return FoundProgram;
        path = end ? end + 1 : nullptr;
    }
    return nullptr;
}

int EncoderOpen(const char *videoPath, int32_t width, int32_t height) {
    const char *ffmpeg = FindProgram("ffmpeg");
    if (!ffmpeg) {
        fprintf(stderr, "tolvmarka-capture: ffmpeg is not installed (try --format y4m)\n");
        return 0;
    }
    // A write to an ffmpeg that has died must fail, not end the capture.
    signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        fprintf(stderr, "tolvmarka-capture: no pipe for ffmpeg: %s\n", strerror(errno));
        return 0;
    }
    char size[32], rate[16];
    snprintf(size, sizeof size, "%dx%d", width, height);
    snprintf(rate, sizeof rate, "%u", CAPTURE_FPS);
    const char *argv[] = {ffmpeg,
                          "-hide_banner",
                          "-loglevel",
                          "error",
                          "-y",
                          "-f",
                          "rawvideo",
                          "-pixel_format",
                          "rgb24",
                          "-video_size",
                          size,
                          "-framerate",
                          rate,
                          "-i",
                          "pipe:0",
                          "-vf",
                          "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
                          "-c:v",
                          "libx264",
                          "-preset",
                          ENCODER_PRESET,
                          "-crf",
                          ENCODER_CRF,
                          "-colorspace",
                          "bt709",
                          "-color_primaries",
                          "bt709",
                          "-color_trc",
                          "bt709",
                          "-color_range",
                          "tv",
                          "-an",
                          videoPath,
                          nullptr};
    EncoderPid = Spawn(const_cast<char *const *>(argv), pipeEnds[0]);
    close(pipeEnds[0]);
    if (!EncoderPid) {
        close(pipeEnds[1]);
        return 0;
    }
    EncoderInput = pipeEnds[1];
    EncoderFrameBytes = size_t(width) * size_t(height) * 3;
    return 1;
}

int EncoderWrite(const uint8_t *rgb) {
    if (!WriteAll(EncoderInput, rgb, EncoderFrameBytes)) {
        fprintf(stderr, "tolvmarka-capture: ffmpeg stopped taking frames\n");
        return 0;
    }
    return 1;
}

int EncoderClose() {
    if (EncoderInput >= 0)
        close(EncoderInput);
    EncoderInput = -1;
    if (!EncoderPid)
        return 0;
    int ok = WaitFor(EncoderPid, "ffmpeg (video)");
    EncoderPid = 0;
    return ok;
}

int EncoderMux(const char *videoPath, const char *wavPath, const char *outPath) {
    const char *ffmpeg = FindProgram("ffmpeg");
    if (!ffmpeg) {
        fprintf(stderr, "tolvmarka-capture: ffmpeg is not installed\n");
        return 0;
    }
    // Spelled as a file URL, so that a name starting with '-' is not taken for an option.
    char target[PATH_MAX + 8];
    snprintf(target, sizeof target, "file:%s", outPath);
    const char *argv[] = {ffmpeg, "-hide_banner", "-loglevel", "error",      "-nostdin", "-y",
                          "-i",   videoPath,      "-i",        wavPath,      "-map",     "0:v:0",
                          "-map", "1:a:0",        "-c:v",      "copy",       "-c:a",     "aac",
                          "-b:a", AUDIO_BITRATE,  "-movflags", "+faststart", target,     nullptr};
    pid_t pid = Spawn(const_cast<char *const *>(argv), -1);
    return pid && WaitFor(pid, "ffmpeg (sound and muxing)");
}
