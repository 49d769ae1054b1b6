#include "capture/capture.h"
#include "core/offline.h"
#include "display/display.h"
#include "display/headless.h"
#include "music/player.h"
#include "runtime/files.h"
#include "runtime/libraries.h"

#include <GL/gl.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <unistd.h>

int32_t CaptureWidth = DISPLAY_WIDTH;
int32_t CaptureHeight = DISPLAY_HEIGHT;

namespace {

constexpr const char *TEMP_TEMPLATE = "tolvmarka-capture.XXXXXX";
constexpr const char *FALLBACK_TEMP = "/tmp";
constexpr int REMOVE_FDS = 8;

char TempDir[PATH_MAX];
char SavedTmpDir[PATH_MAX];
int HadTmpDir;
int ExitHookSet;

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    remove(path);
    return 0;
}

// Also runs at exit: start-up ends the process itself when the player file cannot be written.
void RemoveTempDir() {
    if (TempDir[0] == '\0')
        return;
    nftw(TempDir, RemoveEntry, REMOVE_FDS, FTW_DEPTH | FTW_PHYS);
    TempDir[0] = '\0';
}

void RestoreTmpDir() {
    if (HadTmpDir)
        setenv("TMPDIR", SavedTmpDir, 1);
    else
        unsetenv("TMPDIR");
}

// The player's file name must fit the show's 255-character temporary path: a base that is
// too long, or not absolute, falls back to /tmp.
int MakeTempDir() {
    const char *base = getenv("TMPDIR");
    size_t room = size_t(TEMP_PATH_SIZE - 1) - strlen(PLAYER_FILE_NAME) - strlen(TEMP_TEMPLATE) - 2;
    if (!base || base[0] != '/' || strlen(base) > room)
        base = FALLBACK_TEMP;
    snprintf(TempDir, sizeof TempDir, "%s/%s", base, TEMP_TEMPLATE);
    if (!mkdtemp(TempDir)) {
        fprintf(stderr, "tolvmarka-capture: cannot make a temporary directory in %s: %s\n", base,
                strerror(errno));
        TempDir[0] = '\0';
        return 0;
    }
    return 1;
}

} // namespace

int CaptureStart(uint32_t seed, int32_t scale) {
    if (scale < 1 || scale > CAPTURE_MAX_SCALE) {
        fprintf(stderr, "tolvmarka-capture: scale %d is not 1 or 2\n", scale);
        return 0;
    }
    if (!ExitHookSet) {
        atexit(RemoveTempDir);
        ExitHookSet = 1;
    }
    if (!MakeTempDir())
        return 0;
    const char *old = getenv("TMPDIR");
    HadTmpDir = old != nullptr;
    snprintf(SavedTmpDir, sizeof SavedTmpDir, "%s", old ? old : "");
    setenv("TMPDIR", TempDir, 1);

    CaptureWidth = DISPLAY_WIDTH * scale;
    CaptureHeight = DISPLAY_HEIGHT * scale;
    HeadlessSetSurfaceSize(CaptureWidth, CaptureHeight);
    if (!OfflineStart(seed)) {
        OfflineEnd();
        RemoveTempDir();
        RestoreTmpDir();
        fprintf(stderr, "tolvmarka-capture: the show could not start (no EGL rendering?)\n");
        return 0;
    }
    // The show sets a 640 x 480 viewport once at start-up; a larger surface is drawn whole,
    // at its own resolution, rather than scaled up afterwards.
    glViewport(0, 0, CaptureWidth, CaptureHeight);
    return 1;
}

int CaptureHasDecode() {
    return LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicDecode") != nullptr;
}

int CaptureFrame(uint8_t *rgb, int16_t *pcm) {
    if (pcm) {
        // Looked up at each use, like every export of the player.
        auto decode = reinterpret_cast<BASSMOD_MusicDecode_t>(
            LibrarySymbol(PLAYER_LIBRARY, "BASSMOD_MusicDecode"));
        uint32_t got = decode ? decode(pcm, SAMPLES_PER_FRAME) : 0;
        if (got < SAMPLES_PER_FRAME)
            memset(pcm + got * CAPTURE_CHANNELS, 0,
                   (SAMPLES_PER_FRAME - got) * CAPTURE_CHANNELS * sizeof *pcm);
    }
    int end = OfflineFrame();
    if (rgb)
        OfflineReadPixels(rgb, CaptureWidth, CaptureHeight);
    return end;
}

const char *CaptureTempDir() {
    return TempDir;
}

void CaptureEnd() {
    OfflineEnd();
    RemoveTempDir();
    RestoreTmpDir();
    HeadlessSetSurfaceSize(DISPLAY_WIDTH, DISPLAY_HEIGHT);
}
