// The capture's outputs: PNG pictures, a WAV file, a Y4M stream, and an H.264 + AAC video
// made by ffmpeg. One WAV, one Y4M stream and one encoder can be open at a time. Every
// procedure returns 1 on success and 0, with a message on stderr, on failure.
#pragma once
#include <climits>
#include <csignal>
#include <cstdint>

constexpr uint32_t WAV_HEADER_BYTES = 44;

// A file written under a temporary name in its target's folder and renamed over the target
// when complete: only whole files appear, and a link planted at the target is replaced, never
// followed (the temporary is made with O_EXCL). A target that is a pipe or a device is written
// in place.
struct OutputFile {
    int fd = -1;
    char temp[PATH_MAX]; // empty when written in place
    char path[PATH_MAX];
};
// Set by the caller's handler of its stop signals (installed without SA_RESTART): a write to an
// output written in place then goes on only while its reader takes something, so a reader
// that never reads cannot keep the capture from stopping.
extern volatile sig_atomic_t OutputStopRequested;
// 1 when `path` is a pipe, a socket or a device: written in place, with nothing made beside it.
int OutputIsStream(const char *path);
int OutputOpen(OutputFile *file, const char *path);
// Closes the file and renames it into place.
int OutputCommit(OutputFile *file);
// Closes the file and removes the temporary; nothing appears. Nothing when it is not open.
void OutputAbandon(OutputFile *file);

int PngWrite(const char *path, const uint8_t *rgb, int32_t width, int32_t height);

// 16-bit stereo PCM at OUTPUT_RATE. The sizes in the header are filled in by WavClose, which
// puts the file in place; WavAbandon drops it.
int WavOpen(const char *path);
int WavWrite(const int16_t *pcm, uint32_t frames);
int WavClose();
void WavAbandon();

// YUV4MPEG2 at 50 frames per second, 4:4:4, BT.601 limited range. A write that finds the
// reader of a pipe gone says so in one line.
int Y4mOpen(const char *path, int32_t width, int32_t height);
int Y4mWrite(const uint8_t *rgb);
int Y4mClose();
void Y4mAbandon();
// One pixel row of RGB to the three planes (BT.601, limited range: Y 16-235, Cb/Cr 16-240).
void RgbToYcbcr(const uint8_t *rgb, int32_t pixels, uint8_t *y, uint8_t *cb, uint8_t *cr);

// The full path of `name` found on PATH, or null (the result lives until the next call).
const char *FindProgram(const char *name);
// Starts ffmpeg encoding raw RGB frames written by EncoderWrite into an H.264 file at
// `videoPath`. ffmpeg runs in a process group of its own, so a Ctrl-C meant for the capture
// does not cut its file short. The caller keeps SIGPIPE from ending the process (ignored or
// handled), so that a write to an ffmpeg that has died fails instead.
int EncoderOpen(const char *videoPath, int32_t width, int32_t height);
int EncoderWrite(const uint8_t *rgb);
// Ends the input and waits for ffmpeg.
int EncoderClose();
// Muxes the H.264 video with the WAV's sound encoded as AAC into an MP4 file at `outPath`.
int EncoderMux(const char *videoPath, const char *wavPath, const char *outPath);
