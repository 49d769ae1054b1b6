// golden-generate [--list] [FOLDER]: draws the key frames into FOLDER (default: the source
// tree's reference folder) as NNNNN-name.png; --list prints each file name and its caption,
// tab-separated, for the contact sheet.
#include "capture/output.h"
#include "tests/golden/golden.h"

#include <cstdio>
#include <cstring>

namespace {

struct Run {
    std::string folder;
    int failures;
};

void Save(const GoldenFrame &frame, const Picture &picture, void *context) {
    Run *run = static_cast<Run *>(context);
    std::string path = run->folder + "/" + GoldenFileName(frame);
    if (PngWrite(path.c_str(), picture.rgb.data(), picture.width, picture.height))
        printf("%s\n", path.c_str());
    else
        run->failures++;
}

} // namespace

int main(int argc, char **argv) {
    Run run{GOLDEN_REFERENCE_DIR, 0};
    if (argc == 2 && !strcmp(argv[1], "--list")) {
        for (const GoldenFrame &frame : GOLDEN_FRAMES)
            printf("%s\tframe %u: %s\n", GoldenFileName(frame).c_str(), frame.frame, frame.label);
        return 0;
    }
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        fprintf(stderr, "Usage: golden-generate [--list] [FOLDER]\n");
        return 2;
    }
    if (argc == 2)
        run.folder = argv[1];
    if (!RenderGoldenFrames(Save, &run)) {
        fprintf(stderr, "golden-generate: the show did not reach its last key frame\n");
        return 1;
    }
    return run.failures ? 1 : 0;
}
