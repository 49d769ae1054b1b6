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
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
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
constexpr const char *Y4M_FRAME = "FRAME\n";
constexpr int STOP_GRACE_MS = 1000;

OutputFile Wav;
uint64_t WavDataBytes;

OutputFile Y4m;
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

// `stoppable`: a write to a pipe or a device, whose reader may never drain it. Once a stop is
// requested it goes on only while the reader takes something within STOP_GRACE_MS, so that a
// live reader gets the frame in hand whole and one that never reads cannot hold the capture.
int WriteAll(int fd, const uint8_t *data, size_t size, int stoppable) {
    while (size > 0) {
        if (stoppable && OutputStopRequested) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            pollfd ready = {fd, POLLOUT, 0};
            if (poll(&ready, 1, STOP_GRACE_MS) <= 0) {
                errno = EINTR;
                return 0;
            }
        }
        ssize_t done = write(fd, data, size);
        if (done < 0 && (errno == EINTR || errno == EAGAIN))
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

// Writes to the open Y4M stream, with one line on stderr when it fails.
int Y4mPut(const void *data, size_t size) {
    if (Y4m.fd >= 0 && WriteAll(Y4m.fd, static_cast<const uint8_t *>(data), size, !Y4m.temp[0]))
        return 1;
    if (errno == EINTR)
        fprintf(stderr, "tolvmarka-capture: stopped while %s was not being read\n", Y4m.path);
    else if (errno == EPIPE)
        fprintf(stderr, "tolvmarka-capture: the reader of %s closed it; stopped\n", Y4m.path);
    else
        fprintf(stderr, "tolvmarka-capture: cannot write the video: %s\n", strerror(errno));
    return 0;
}

} // namespace

volatile sig_atomic_t OutputStopRequested;

int OutputIsStream(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

int OutputOpen(OutputFile *file, const char *path) {
    file->fd = -1;
    file->temp[0] = '\0';
    struct stat info;
    int exists = stat(path, &info) == 0;
    const char *slash = strrchr(path, '/');
    const char *name = slash ? slash + 1 : path;
    if (exists && S_ISDIR(info.st_mode)) {
        fprintf(stderr, "tolvmarka-capture: %s is a folder, not a file\n", path);
        return 0;
    }
    if (name[0] == '\0' ||
        snprintf(file->path, sizeof file->path, "%s", path) >= int(sizeof file->path)) {
        fprintf(stderr, "tolvmarka-capture: not a usable file name: %s\n", path);
        return 0;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        file->fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (file->fd < 0)
            fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path, strerror(errno));
        return file->fd >= 0;
    }
    int folder = slash ? int(slash - path) : 1;
    if (snprintf(file->temp, sizeof file->temp, "%.*s/.%s.XXXXXX", folder, slash ? path : ".",
                 name) >= int(sizeof file->temp)) {
        fprintf(stderr, "tolvmarka-capture: the output path is too long: %s\n", path);
        file->temp[0] = '\0';
        return 0;
    }
    file->fd = mkostemp(file->temp, O_CLOEXEC);
    if (file->fd < 0) {
        fprintf(stderr, "tolvmarka-capture: cannot write in the folder of %s: %s\n", path,
                strerror(errno));
        file->temp[0] = '\0';
        return 0;
    }
    // mkstemp makes the file 0600; the finished file gets the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(file->fd, 0666 & ~mask);
    return 1;
}

int OutputCommit(OutputFile *file) {
    int ok = file->fd < 0 || close(file->fd) == 0;
    file->fd = -1;
    if (ok && file->temp[0] && rename(file->temp, file->path) != 0)
        ok = 0;
    if (!ok) {
        fprintf(stderr, "tolvmarka-capture: cannot finish %s: %s\n", file->path, strerror(errno));
        if (file->temp[0])
            unlink(file->temp);
    }
    file->temp[0] = '\0';
    return ok;
}

void OutputAbandon(OutputFile *file) {
    if (file->fd >= 0)
        close(file->fd);
    file->fd = -1;
    if (file->temp[0])
        unlink(file->temp);
    file->temp[0] = '\0';
}

int PngWrite(const char *path, const uint8_t *rgb, int32_t width, int32_t height) {
    OutputFile file;
    if (!OutputOpen(&file, path))
        return 0;
    FILE *stream = fdopen(file.fd, "wb");
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    int ok = stream && png_image_write_to_stdio(&image, stream, 0, rgb, 0, nullptr);
    if (!ok)
        fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path,
                stream ? image.message : strerror(errno));
    if (stream) {
        ok = fclose(stream) == 0 && ok;
        file.fd = -1;
    }
    if (!ok) {
        OutputAbandon(&file);
        return 0;
    }
    return OutputCommit(&file);
}

int WavOpen(const char *path) {
    if (!OutputOpen(&Wav, path))
        return 0;
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
    if (!WriteAll(Wav.fd, header, sizeof header, !Wav.temp[0])) {
        fprintf(stderr, "tolvmarka-capture: cannot write %s: %s\n", path, strerror(errno));
        OutputAbandon(&Wav);
        return 0;
    }
    return 1;
}

int WavWrite(const int16_t *pcm, uint32_t frames) {
    size_t bytes = size_t(frames) * CAPTURE_CHANNELS * sizeof *pcm;
    if (Wav.fd < 0 ||
        !WriteAll(Wav.fd, reinterpret_cast<const uint8_t *>(pcm), bytes, !Wav.temp[0])) {
        fprintf(stderr, "tolvmarka-capture: cannot write the sound: %s\n", strerror(errno));
        return 0;
    }
    WavDataBytes += bytes;
    return 1;
}

int WavClose() {
    if (Wav.fd < 0)
        return 0;
    uint8_t size[4];
    Put32(size, uint32_t(WavDataBytes));
    int ok = pwrite(Wav.fd, size, 4, WAV_DATA_SIZE_AT) == 4;
    Put32(size, uint32_t(WavDataBytes + WAV_RIFF_OVERHEAD));
    ok = ok && pwrite(Wav.fd, size, 4, WAV_RIFF_SIZE_AT) == 4;
    if (!ok) {
        fprintf(stderr, "tolvmarka-capture: cannot finish the sound file: %s\n", strerror(errno));
        OutputAbandon(&Wav);
        return 0;
    }
    return OutputCommit(&Wav);
}

void WavAbandon() {
    OutputAbandon(&Wav);
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
    if (!OutputOpen(&Y4m, path))
        return 0;
    Y4mWidth = width;
    Y4mHeight = height;
    Y4mPlanes = static_cast<uint8_t *>(malloc(size_t(width) * size_t(height) * 3));
    char header[96];
    int length = snprintf(header, sizeof header,
                          "YUV4MPEG2 W%d H%d F%u:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n", width,
                          height, CAPTURE_FPS);
    if (Y4mPlanes && Y4mPut(header, size_t(length)))
        return 1;
    Y4mAbandon();
    return 0;
}

int Y4mWrite(const uint8_t *rgb) {
    size_t plane = size_t(Y4mWidth) * size_t(Y4mHeight);
    RgbToYcbcr(rgb, int32_t(plane), Y4mPlanes, Y4mPlanes + plane, Y4mPlanes + 2 * plane);
    return Y4mPut(Y4M_FRAME, strlen(Y4M_FRAME)) && Y4mPut(Y4mPlanes, 3 * plane);
}

int Y4mClose() {
    free(Y4mPlanes);
    Y4mPlanes = nullptr;
    return Y4m.fd >= 0 && OutputCommit(&Y4m);
}

void Y4mAbandon() {
    free(Y4mPlanes);
    Y4mPlanes = nullptr;
    OutputAbandon(&Y4m);
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
    if (!WriteAll(EncoderInput, rgb, EncoderFrameBytes, 0)) {
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
                          "-b:a", AUDIO_BITRATE,  "-movflags", "+faststart", "-f",       "mp4",
                          target, nullptr};
    pid_t pid = Spawn(const_cast<char *const *>(argv), -1);
    return pid && WaitFor(pid, "ffmpeg (sound and muxing)");
}
