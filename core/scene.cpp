#include "core/scene.h"

std::atomic<uint32_t> SceneMask;
std::atomic<float> ObjectPulse;
uint8_t TitlePhase;
uint8_t ScrollerOn;
float TitleAlpha;
int32_t GlitchCountdown;
float ScrollX;
float SpritePhase;
float TunnelShift;
float TunnelAngle;
float ObjectAngle;
float PlateOffsetA;
float PlateOffsetB;
float PlateOffsetC;
float PlaneDepth;
float MaterialShininess;
float LightPosition[4];
float EmissionOuter[4];
float EmissionInner[4];

void SceneVariablesReset() {
    PlaneDepth = -2.0f;
    PlateOffsetA = 4.0f;
    PlateOffsetB = 6.0f;
    PlateOffsetC = 8.5f;
    GlitchCountdown = 50;
    SceneMask.store(LAYER_TITLE);
    ScrollerOn = 0;
    ScrollX = -6.0f;
    SpritePhase = -6.0f;
    MaterialShininess = 127.0f;
    TitlePhase = 0;
    TitleAlpha = 0.0f;
    TunnelShift = 0.0f;
    TunnelAngle = 0.0f;
    ObjectAngle = 0.0f;
    ObjectPulse.store(0.0f);
}
