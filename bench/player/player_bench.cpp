// CPU seconds per minute of music: the player library decoding offline (DEVICE_NONE, with the
// show's four syncs) against libxmp rendering the same module by itself, side by side.
// Usage: player_bench [module.xm] [minutes]
#include "music/player_api.h"

#include <dlfcn.h>
#include <xmp.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr uint32_t CHUNK_FRAMES = 4096;
constexpr int ROUNDS = 3; // interleaved; the best round of each counts
constexpr double DEFAULT_MINUTES = 3.0;
constexpr int FULL_SEPARATION = 100; // the player's default

double ThreadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

uint32_t SyncCount;
void CountSync(uint32_t, uint32_t, uint32_t) {
    ++SyncCount;
}

template <typename T> T Export(void *library, const char *name) {
    T function = reinterpret_cast<T>(dlsym(library, name));
    if (function == nullptr) {
        fprintf(stderr, "player_bench: %s missing\n", name);
        exit(1);
    }
    return function;
}

double PlayerSeconds(void *library, const std::vector<uint8_t> &song, uint64_t frames) {
    const auto init = Export<BASSMOD_Init_t>(library, "BASSMOD_Init");
    const auto load = Export<BASSMOD_MusicLoad_t>(library, "BASSMOD_MusicLoad");
    const auto setSync = Export<BASSMOD_MusicSetSync_t>(library, "BASSMOD_MusicSetSync");
    const auto play = Export<BASSMOD_MusicPlay_t>(library, "BASSMOD_MusicPlay");
    const auto decode = Export<BASSMOD_MusicDecode_t>(library, "BASSMOD_MusicDecode");
    const auto release = Export<BASSMOD_Free_t>(library, "BASSMOD_Free");
    if (init(DEVICE_NONE, OUTPUT_RATE, 0) == 0 || load(1, song.data(), 0, 0, MUSIC_LOOP) == 0) {
        fprintf(stderr, "player_bench: the player cannot load the module\n");
        exit(1);
    }
    for (uint32_t order : {2u, 4u, 6u})
        setSync(SYNC_POSITION_ONCE, order, CountSync, order / 2);
    setSync(SYNC_INSTRUMENT, 6 | SYNC_ANY_NOTE << 16, CountSync, 4);
    setSync(SYNC_INSTRUMENT, 2 | SYNC_ANY_NOTE << 16, CountSync, 4);
    play();
    std::vector<int16_t> buffer(2 * CHUNK_FRAMES);
    const double start = ThreadCpuSeconds();
    for (uint64_t done = 0; done < frames; done += CHUNK_FRAMES)
        decode(buffer.data(), CHUNK_FRAMES);
    const double seconds = ThreadCpuSeconds() - start;
    release();
    return seconds;
}

double LibxmpSeconds(const std::vector<uint8_t> &song, uint64_t frames) {
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, song.data(), long(song.size())) != 0) {
        fprintf(stderr, "player_bench: libxmp cannot load the module\n");
        exit(1);
    }
    xmp_start_player(context, OUTPUT_RATE, 0);
    xmp_set_player(context, XMP_PLAYER_MIX, FULL_SEPARATION);
    std::vector<int16_t> buffer(2 * CHUNK_FRAMES);
    const double start = ThreadCpuSeconds();
    for (uint64_t done = 0; done < frames; done += CHUNK_FRAMES)
        xmp_play_buffer(context, buffer.data(), int(buffer.size() * sizeof(int16_t)), 0);
    const double seconds = ThreadCpuSeconds() - start;
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return seconds;
}

} // namespace

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : SONG_MODULE_FILE;
    const double minutes = argc > 2 ? atof(argv[2]) : DEFAULT_MINUTES;
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> song(std::istreambuf_iterator<char>(file), {});
    void *library = dlopen(PLAYER_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr || song.empty() || minutes <= 0) {
        fprintf(stderr, "player_bench: %s\n", library == nullptr ? dlerror() : "no module");
        return 1;
    }
    const uint64_t frames = uint64_t(minutes * 60.0 * OUTPUT_RATE);
    double player = 1e9, reference = 1e9;
    for (int round = 0; round < ROUNDS; ++round) {
        const double p = PlayerSeconds(library, song, frames);
        const double r = LibxmpSeconds(song, frames);
        player = p < player ? p : player;
        reference = r < reference ? r : reference;
    }
    printf("module: %s, %.1f min of music at %u Hz, best of %d rounds\n", path, minutes,
           OUTPUT_RATE, ROUNDS);
    printf("libxmp xmp_play_buffer:  %.4f CPU s per minute of music\n", reference / minutes);
    printf("player MusicDecode:      %.4f CPU s per minute of music (%u syncs fired)\n",
           player / minutes, SyncCount / ROUNDS);
    printf("ratio player / libxmp:   %.3f\n", player / reference);
    dlclose(library);
    return 0;
}
