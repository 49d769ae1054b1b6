// Start-up and shutdown of the show.
#pragma once

// The whole run: start-up, the frame loop, shutdown. Never returns.
[[noreturn]] void DemoMain();
// The start-up steps up to the first frame. Returns 0 when there is no display.
int DemoStartUp();
// Frees the player, deletes its file and ends through ProgramEnd.
[[noreturn]] void DemoShutdown();
// The common end sequence: RuntimeEnd, MainHeap destroyed, exit code 0.
[[noreturn]] void ProgramEnd();
