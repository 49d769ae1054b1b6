// The player library: written to a folder of this run's own in the temporary directory,
// loaded under a library number, and reached through one wrapper per export that looks the
// export up at each call.
#pragma once
#include "music/player_api.h"
#include "runtime/files.h"
#include <cstdint>

constexpr int32_t PLAYER_LIBRARY = 0; // the only library number the show uses
constexpr int32_t PLAYER_FILE = 0;
extern const char *const PLAYER_FILE_NAME; // "bassmod.dll", inside PlayerDir
constexpr int32_t PLAYER_DIR_SIZE = TEMP_PATH_SIZE + 32;
// The run's private folder, TempPath + "tolvmarka.XXXXXX"; empty when there is none. Only
// we may enter it, and its name is new, so no other user and no other copy of the show can
// reach or block the file in it. The file is reached through the folder's descriptor.
extern char PlayerDir[PLAYER_DIR_SIZE];
extern int PlayerDirDescriptor; // -1 when there is no folder

constexpr int PLAYER_INSTALLED = 1;
constexpr int PLAYER_INSTALL_FAILED = 0; // the box has been shown; the caller ends the program

// Writes the player file whole, loads that very file, and initialises the player on `device`.
// When the file cannot be created or written whole it removes what it made, shows the install
// failure and returns PLAYER_INSTALL_FAILED.
int PlayerInstall(int32_t device);

// The player file itself, one flavour per platform (player_file.cpp: a private folder reached
// through its descriptor; player_file_win32.cpp: TempPath + "bassmod.dll").
// Creates the file as PLAYER_FILE and writes the embedded library into it whole; 0 when that
// fails, with everything it made removed.
int PlayerFileWrite();
// The name to load the written file by, at StringTop; PLAYER_FILE must still be open (a
// flavour whose loader cannot open a file held for writing closes it here).
const char *PlayerFileLoadPath();
// The file's name at StringTop ("/proc/self/fd/N/bassmod.dll" through the folder's
// descriptor), or null when there is no file place or the name was cut.
const char *PlayerFilePath();
// Closes and deletes the player file and then its folder, as far as they exist. Safe to
// call more than once.
void PlayerFileRemove();

// Wrappers: the library number first, then the export's arguments. Those marked "reports"
// show the player's error box on failure and go on.
int32_t PlayerFree(int32_t library); // then unloads the library
uint32_t PlayerGetCPU(int32_t library);
const char *PlayerGetDeviceDescription(int32_t library, int32_t device); // reports
// "low.high" of the version word, in StringBuffer at StringTop.
const char *PlayerGetVersion(int32_t library);
int32_t PlayerGetVolume(int32_t library);
// Loads the library from `path` first; 0 without the call when that fails.
int32_t PlayerInit(int32_t library, const char *path, int32_t device, uint32_t freq,
                   uint32_t flags);
void PlayerMusicFree(int32_t library);
int32_t PlayerMusicGetLength(int32_t library, int32_t playlen); // reports
const char *PlayerMusicGetName(int32_t library);                // reports
int32_t PlayerMusicGetPosition(int32_t library);                // reports
uint32_t PlayerMusicIsActive(int32_t library);
int32_t PlayerMusicLoad(int32_t library, int32_t mem, const void *file, uint32_t offset,
                        uint32_t length, uint32_t flags); // reports
int32_t PlayerMusicPause(int32_t library);
int32_t PlayerMusicPlay(int32_t library);
int32_t PlayerMusicPlayEx(int32_t library, uint16_t pos, int32_t flags, int32_t reset);
int32_t PlayerMusicRemoveSync(int32_t library, uint32_t sync);
int32_t PlayerMusicSetAmplify(int32_t library, uint32_t amp);
int32_t PlayerMusicSetPanSep(int32_t library, uint32_t pan);
int32_t PlayerMusicSetPosition(int32_t library, uint16_t order, uint16_t row);
int32_t PlayerMusicSetPositionScaler(int32_t library, uint32_t scale);
uint32_t PlayerMusicSetSync(int32_t library, uint32_t type, uint32_t param, SyncProc proc,
                            uint32_t user); // reports
int32_t PlayerMusicStop(int32_t library);
int32_t PlayerSetVolume(int32_t library, uint32_t volume); // reports
