// Data linked into the executable (see assets/embed.S.in).
#pragma once

extern "C" {
extern const unsigned char PlayerImage[], PlayerImageEnd[]; // the player library's file
extern const unsigned char ImageBlock[], ImageBlockEnd[];   // six raw images, back to back
extern const unsigned char ModuleImage[], ModuleImageEnd[]; // the music module (XM)
extern const char ScrollText[];                             // NUL-terminated
}
