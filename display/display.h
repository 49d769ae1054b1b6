// The drawing surface: the Fullscreen question, the display mode, window 0 and its GL context.
#pragma once
#include "display/platform.h"
#include <cstdint>

constexpr int32_t DISPLAY_WIDTH = 640;
constexpr int32_t DISPLAY_HEIGHT = 480;
constexpr int32_t DISPLAY_BITS = 32;
constexpr uint32_t QUESTION_PAUSE_MS = 50;
extern const char *const SHOW_TITLE; // "Tolvmarka": caption of every box and of the window

extern NativeWindow MainWnd; // window 0
extern NativeWindow MainDC;  // what the frame loop swaps

constexpr int DISPLAY_READY = 1;
constexpr int DISPLAY_FAILED = 0; // the box has been shown; the caller ends the program

// Asks the question, sets the mode, opens window 0 and makes its context current. When the
// mode is refused it reports it and returns DISPLAY_FAILED.
int DisplaySetup();
// Window hook: keeps the viewport equal to the client area on every WM_SIZE.
int32_t ViewportHook(NativeWindow window, uint32_t message, uint32_t wParam, uint32_t lParam);
// gluPerspective with the four values widened to double.
void SetPerspective(float fovy, float aspect, float zNear, float zFar);
