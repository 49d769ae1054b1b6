// Start-up and shutdown of the show.
#pragma once

// The whole run: start-up, the frame loop, shutdown. Never returns.
[[noreturn]] void DemoMain();
#include <cstdint>

// The player's output: DEVICE_DEFAULT for the show; DEVICE_NONE when the caller decodes.
extern int32_t PlayerDevice;

// The start-up steps up to the first frame. Returns 0 when there is no display.
int DemoStartUp();
// The player's release and the deletion of its file and folder, without ending the program.
void PlayerRelease();
// Frees the player, deletes its file and ends through ProgramEnd.
[[noreturn]] void DemoShutdown();
// The common end sequence: the player released when it still is installed, RuntimeEnd,
// MainHeap destroyed, exit code 0.
[[noreturn]] void ProgramEnd();
