// Graphics content: the texture set made from the embedded image block, the procedural
// object and its display list, the ring and plate primitives, the font and the text line.
// Every procedure here needs the rendering context current, except the pure arithmetic
// (DegToRad, Superformula, TriangleNormal, VectorLength).
#pragma once
#include <GL/gl.h>
#include <cstdint>

// ---- Texture set ----

// The image block: six raw images back to back, no header, no padding.
constexpr uint32_t IMAGE_BLOCK_BYTES = 581632;

// Texture names, 0 until UploadTextures has run; drawing code only reads them.
extern GLuint TexFont;   // 512 x 16 alpha glyph strip
extern GLuint TexRing;   // 128 x 128 RGB tunnel pattern
extern GLuint TexPlate;  // 256 x 256 luminance plate picture
extern GLuint TexTitleA; // 512 x 64 luminance, first title
extern GLuint TexTitleB; // 512 x 64 luminance, second title
extern GLuint TexSprite; // 256 x 512 RGB photo sprite

// Creates the six mipmapped textures from ImageBlock; leaves TexSprite bound.
void UploadTextures();

// ---- Procedural object ----

// Superformula parameters, in this order.
struct ShapeParams {
    float a, b, m, n1, n2, n3;
};

extern GLuint ObjectList; // display list of the object, 0 until BuildObjectList has run

float DegToRad(float degrees);
// Radius of the superformula at `angle` radians, every step rounded to single precision.
float Superformula(float angle, float a, float b, float m, float n1, float n2, float n3);
float VectorLength(float x, float y, float z);
// Unit normal of the triangle p1 p2 p3 into `normal`; (0, 0, 0) for a degenerate triangle.
void TriangleNormal(float p1x, float p1y, float p1z, float p2x, float p2y, float p2z, float p3x,
                    float p3y, float p3z, float normal[3]);
// Emits the spherical product of two superformula curves (first over longitude, second
// over latitude; spans in whole degrees, sampled every 8) as one triangle strip per pair
// of neighbouring latitude rows, with normals.
void DrawSupershape(int32_t lonStart, int32_t lonEnd, const ShapeParams &first, int32_t latStart,
                    int32_t latEnd, const ShapeParams &second);
// Compiles the production's object into ObjectList.
void BuildObjectList();

// ---- Ring and plate ----

// One tunnel ring: radius 1 around z, z from 0 to 0.25. Leaves texturing on with TexRing
// bound and the colour (1, 1, 1, 1).
void DrawRing();
// One square (-1, -1)..(1, 1) at z = 0 with TexPlate, tinted by the caller's colour.
// Leaves texturing off.
void DrawPlate();

// ---- Font and text line ----

// Draws the font cell of `code` (cell = code - 65 as a signed byte) as a 2 x 2 square at the
// origin. Leaves texturing off.
void DrawGlyph(uint8_t code);
// Steps the modelview 2 units along x before each character and draws its glyph; does not
// restore the matrix: the caller saves and restores it.
void DrawTextLine(const char *text);
