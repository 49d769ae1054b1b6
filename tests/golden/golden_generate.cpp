// golden-generate [FOLDER]: draws the key frames as NNNNN-name.png into FOLDER (default: the
// references). --list: each file name and its caption, tab-separated, for the contact sheet.
#include "capture/output.h"
#include "tests/golden/golden.h"

#include <cstdio>
#include <cstring>

namespace {

void Save(const GoldenFrame &frame, const Picture &picture, void *folder) {
    std::string path = *static_cast<std::string *>(folder) + "/" + GoldenFileName(frame);
    if (!PngWrite(path.c_str(), picture.rgb.data(), picture.width, picture.height))
        exit(1);
    printf("%s\n", path.c_str());
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && !strcmp(argv[1], "--list")) {
        for (const GoldenFrame &frame : GOLDEN_FRAMES)
            printf("%s\tframe %u: %s\n", GoldenFileName(frame).c_str(), frame.frame, frame.label);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        fprintf(stderr, "Usage: golden-generate [--list] [FOLDER]\n");
        return 2;
    }
    std::string folder = argc == 2 ? argv[1] : GOLDEN_REFERENCE_DIR;
    if (RenderGoldenFrames(Save, &folder))
        return 0;
    fprintf(stderr, "golden-generate: the show did not reach its last key frame\n");
    return 1;
}
