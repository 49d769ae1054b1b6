// The scene states whose frame cost scenes_bench measures, and the call stream that
// scenes_record captures from them: shared by the two programs so that both draw exactly
// the same frames.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int WARMUP_FRAMES = 10; // first frames compile the driver's shaders: not timed
constexpr int TIMED_FRAMES = 500;

struct SceneState {
    const char *name;
    uint32_t mask;      // SceneMask held for the whole run
    uint8_t scrollerOn; // the scroll text runs from the plates on, as in the show
};

extern const SceneState SCENE_STATES[];
extern const int SCENE_STATE_COUNT;

// Index of the state called `name`, -1 when there is none.
int FindSceneState(const char *name);
// Starts the offline show (fixed seed, virtual clock) and puts it into the state.
// Returns 0 when the show could not start.
int EnterSceneState(int state);
// Called before frame `frame` (from 1): keeps the state where the show would move on by
// itself (the title's countdown, the plates' and the sprite's flight off the screen) and
// gives the object its pulses.
void HoldSceneState(int state, uint32_t frame);

// The recorded stream: 32-bit words, an opcode followed by its arguments (floats as their
// bits, doubles as two words, enumerants and names as they are).
enum : uint32_t {
    OP_FRAME_END, // the frame loop swapped: no arguments
    OP_CLEAR,
    OP_MATRIX_MODE,
    OP_LOAD_IDENTITY,
    OP_PERSPECTIVE, // gluPerspective: four doubles
    OP_PUSH_MATRIX,
    OP_POP_MATRIX,
    OP_ENABLE,
    OP_DISABLE,
    OP_ROTATE,
    OP_TRANSLATE,
    OP_SCALE,
    OP_BIND_TEXTURE,
    OP_TEX_PARAMETER_I,
    OP_BEGIN,
    OP_END,
    OP_COLOR4,
    OP_TEX_COORD2,
    OP_VERTEX3,
    OP_BLEND_FUNC,
    OP_MATERIAL_1, // glMaterialfv with one value (GL_SHININESS)
    OP_MATERIAL_4, // glMaterialfv with four values
    OP_CALL_LIST,
    OP_FLUSH,
    OP_COUNT
};

// Words after the opcode for each opcode.
extern const uint8_t OP_ARGUMENT_WORDS[OP_COUNT];
