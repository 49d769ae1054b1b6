// Scene state shared by the frame loop, the layer steps and the sync callback.
#pragma once
#include <atomic>
#include <cstdint>

// Layer bits of SceneMask. The mask is always replaced whole.
enum : uint32_t {
    LAYER_PLATES = 0x01,
    LAYER_GLITCH = 0x02,
    LAYER_TITLE = 0x04,
    LAYER_SPRITE = 0x08,
    LAYER_TUNNEL = 0x10,
    LAYER_OBJECT = 0x20,
};

// Written by the frame loop and by SyncCallback on the player's thread: each store is
// one whole 32-bit value, no other ordering is relied on.
extern std::atomic<uint32_t> SceneMask;
extern std::atomic<float> ObjectPulse;

extern uint8_t TitlePhase; // 0 during title A, then 100 counting down to 1
extern uint8_t ScrollerOn; // the scroll text is drawn when it equals 1
extern float TitleAlpha;
extern int32_t GlitchCountdown; // glitch frames left
extern float ScrollX;
extern float SpritePhase;
extern float TunnelShift;
extern float TunnelAngle; // degrees
extern float ObjectAngle; // degrees
extern float PlateOffsetA;
extern float PlateOffsetB;
extern float PlateOffsetC;
extern float PlaneDepth;
extern float MaterialShininess;
extern float LightPosition[4];
extern float EmissionOuter[4];
extern float EmissionInner[4];

static_assert(std::atomic<uint32_t>::is_always_lock_free && std::atomic<float>::is_always_lock_free,
              "SceneMask and ObjectPulse must be plain 32-bit stores");

// Gives every scene variable its start value (the rest are zero).
void SceneVariablesReset();

void DrawTunnelLayer();
void DrawObjectLayer();
void DrawPlatesLayer();
void DrawTitleLayer();
void DrawGlitchLayer();
void DrawSpriteLayer();
void DrawScroller();
