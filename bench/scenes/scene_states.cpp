#include "bench/scenes/scene_states.h"
#include "core/frame_loop.h"
#include "core/offline.h"
#include "core/scene.h"
#include "music/music.h"

#include <climits>
#include <cstring>

namespace {

constexpr uint8_t TITLE_HELD_PHASE = 50;      // second title, mid-countdown: plays the music
constexpr float TITLE_FULL_ALPHA = 1.02f;     // where the fade ends
constexpr uint8_t TITLE_PHASE_DONE = 1;       // the opening is over
constexpr uint32_t PLATE_FLIGHT_FRAMES = 120; // the plates have crossed the screen by then
constexpr uint32_t SPRITE_RUN_FRAMES = 240;   // the sprite has crossed the screen by then
constexpr uint32_t PULSE_FRAMES = 20;         // about one beat of the song

float PlateStartA, PlateStartB, PlateStartC, SpriteStart;

} // namespace

const SceneState SCENE_STATES[] = {
    {"title", LAYER_TITLE, 0},          {"glitch", LAYER_GLITCH, 0},
    {"plates+scroll", LAYER_PLATES, 1}, {"sprite+scroll", LAYER_SPRITE, 1},
    {"object+scroll", LAYER_OBJECT, 1}, {"tunnel+object+scroll", LAYER_TUNNEL | LAYER_OBJECT, 1},
};
const int SCENE_STATE_COUNT = int(sizeof SCENE_STATES / sizeof SCENE_STATES[0]);

const uint8_t OP_ARGUMENT_WORDS[OP_COUNT] = {
    0, // OP_FRAME_END
    1, // OP_CLEAR
    1, // OP_MATRIX_MODE
    0, // OP_LOAD_IDENTITY
    8, // OP_PERSPECTIVE
    0, // OP_PUSH_MATRIX
    0, // OP_POP_MATRIX
    1, // OP_ENABLE
    1, // OP_DISABLE
    4, // OP_ROTATE
    3, // OP_TRANSLATE
    3, // OP_SCALE
    2, // OP_BIND_TEXTURE
    3, // OP_TEX_PARAMETER_I
    1, // OP_BEGIN
    0, // OP_END
    4, // OP_COLOR4
    2, // OP_TEX_COORD2
    3, // OP_VERTEX3
    2, // OP_BLEND_FUNC
    3, // OP_MATERIAL_1
    6, // OP_MATERIAL_4
    1, // OP_CALL_LIST
    0, // OP_FLUSH
};

int FindSceneState(const char *name) {
    for (int i = 0; i < SCENE_STATE_COUNT; i++)
        if (!strcmp(SCENE_STATES[i].name, name))
            return i;
    return -1;
}

int EnterSceneState(int state) {
    if (!OfflineStart(DEFAULT_SEED))
        return 0;
    const SceneState &s = SCENE_STATES[state];
    PlateStartA = PlateOffsetA;
    PlateStartB = PlateOffsetB;
    PlateStartC = PlateOffsetC;
    SpriteStart = SpritePhase;
    if (s.mask == LAYER_TITLE) {
        TitleAlpha = TITLE_FULL_ALPHA;
        TitlePhase = TITLE_HELD_PHASE;
    } else if (s.mask == LAYER_GLITCH) {
        TitleAlpha = TITLE_FULL_ALPHA;
        TitlePhase = TITLE_HELD_PHASE;
        GlitchCountdown = INT32_MAX;
    } else {
        TitleAlpha = TITLE_FULL_ALPHA;
        TitlePhase = TITLE_PHASE_DONE;
    }
    ScrollerOn = s.scrollerOn;
    SceneMask.store(s.mask);
    return 1;
}

void HoldSceneState(int state, uint32_t frame) {
    const SceneState &s = SCENE_STATES[state];
    if (s.mask == LAYER_TITLE)
        TitlePhase = TITLE_HELD_PHASE;
    if ((s.mask & LAYER_PLATES) && (frame - 1) % PLATE_FLIGHT_FRAMES == 0) {
        PlateOffsetA = PlateStartA;
        PlateOffsetB = PlateStartB;
        PlateOffsetC = PlateStartC;
    }
    if ((s.mask & LAYER_SPRITE) && (frame - 1) % SPRITE_RUN_FRAMES == 0)
        SpritePhase = SpriteStart;
    if ((s.mask & LAYER_OBJECT) && frame % PULSE_FRAMES == 0)
        SyncCallback(0, 0, SYNC_USER_PULSE);
}
