// The player library's exports as one list: the tests resolve them, the fuzz target declares them.
#pragma once

// Kept by hand: the formatter does not settle on a layout for this list.
// clang-format off
#define PLAYER_EXPORTS(X) \
    X(ErrorGetCode) X(Free) X(GetCPU) X(GetDeviceDescription) X(GetVersion) X(GetVolume) \
    X(Init) X(MusicFree) X(MusicGetLength) X(MusicGetName) X(MusicGetPosition) \
    X(MusicIsActive) X(MusicLoad) X(MusicPause) X(MusicPlay) X(MusicPlayEx) \
    X(MusicRemoveSync) X(MusicSetAmplify) X(MusicSetPanSep) X(MusicSetPosition) \
    X(MusicSetPositionScaler) X(MusicSetSync) X(MusicStop) X(SetVolume) X(MusicDecode) \
    X(MusicGetFrame)
// clang-format on
