// xmrender IN.xm OUT.wav [CHANNELS]: plays a module once through libxmp (44100 Hz, 16-bit
// stereo) and writes the sound to a WAV file, for listening and for level checks with sox.
// CHANNELS, e.g. "0,4,7", plays only those channels (counted from 0), to judge one part.
#include <xmp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int RATE = 44100;

void Put32(FILE *f, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void Put16(FILE *f, uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s IN.xm OUT.wav [CHANNELS]\n", argv[0]);
        return 2;
    }
    xmp_context context = xmp_create_context();
    if (xmp_load_module(context, argv[1]) != 0 || xmp_start_player(context, RATE, 0) != 0) {
        std::fprintf(stderr, "%s: cannot load or play\n", argv[1]);
        return 1;
    }
    if (argc == 4) {
        for (int c = 0; c < XMP_MAX_CHANNELS; ++c)
            xmp_channel_mute(context, c, 1);
        for (const char *p = argv[3]; *p;) {
            char *end = nullptr;
            xmp_channel_mute(context, int(std::strtol(p, &end, 10)), 0);
            p = *end == ',' ? end + 1 : end;
            if (end == p && *p)
                break;
        }
    }
    std::vector<int16_t> pcm;
    xmp_frame_info info;
    while (xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count > 0)
            break;
        const int16_t *frame = static_cast<const int16_t *>(info.buffer);
        pcm.insert(pcm.end(), frame, frame + info.buffer_size / 2);
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);

    FILE *out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    const uint32_t bytes = uint32_t(pcm.size() * 2);
    std::fwrite("RIFF", 1, 4, out);
    Put32(out, 36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, out);
    Put32(out, 16);
    Put16(out, 1); // PCM
    Put16(out, 2);
    Put32(out, RATE);
    Put32(out, RATE * 4);
    Put16(out, 4);
    Put16(out, 16);
    std::fwrite("data", 1, 4, out);
    Put32(out, bytes);
    for (int16_t s : pcm)
        Put16(out, uint16_t(s));
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%s: %.3f s\n", argv[2], pcm.size() / 2.0 / RATE);
    return 0;
}
