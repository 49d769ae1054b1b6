// The bitmap font strip and the text line: one textured square per character.
#include "content/content.h"

namespace {

// Width of a 12-texel cell in s: the float nearest to 0.023438, a hair over 12/512.
constexpr float CELL_WIDTH = 0.023438f;
constexpr uint8_t FIRST_CELL_CODE = 'A'; // cell 0
constexpr float CHARACTER_ADVANCE = 2.0f;

// Codes whose cells hold the marks of the text, which do not follow their own codes.
constexpr uint8_t CODE_EXCLAMATION = 99; // cell 34
constexpr uint8_t CODE_FULL_STOP = 91;   // cell 26
constexpr uint8_t CODE_COMMA = 92;       // cell 27
constexpr uint8_t CODE_COLON = 94;       // cell 29
constexpr uint8_t CODE_QUESTION = 98;    // cell 33

} // namespace

void DrawGlyph(uint8_t code) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TexFont);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    // Codes below 'A' and from 193 on wrap to negative cells.
    int8_t cell = int8_t(uint8_t(code - FIRST_CELL_CODE));
    float u0 = float(cell) * CELL_WIDTH;
    float u1 = u0 + CELL_WIDTH;
    glPushMatrix();
    glBegin(GL_QUADS);
    glTexCoord2f(u0, 0.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glTexCoord2f(u1, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(u1, 1.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glTexCoord2f(u0, 1.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glEnd();
    glPopMatrix();
    glDisable(GL_TEXTURE_2D);
}

void DrawTextLine(const char *text) {
    for (const char *c = text; *c != '\0'; c++) {
        glTranslatef(CHARACTER_ADVANCE, 0.0f, 0.0f);
        switch (*c) {
        case ' ':
            break;
        case '!':
            DrawGlyph(CODE_EXCLAMATION);
            break;
        case '.':
            DrawGlyph(CODE_FULL_STOP);
            break;
        case ',':
            DrawGlyph(CODE_COMMA);
            break;
        case ':':
            DrawGlyph(CODE_COLON);
            break;
        case '?':
            DrawGlyph(CODE_QUESTION);
            break;
        default:
            DrawGlyph(uint8_t(*c));
        }
    }
}
