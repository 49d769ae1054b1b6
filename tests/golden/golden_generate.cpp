// golden-generate: draws the key frames of key_frames.h into PNG reference images.
#include "capture/output.h"
#include "tests/golden/golden.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char *const USAGE =
    "Usage: golden-generate [--list] [FOLDER]\n"
    "Draws the golden reference frames of the show into FOLDER (default: the source tree's\n"
    "tests/golden/reference) as NNNNN-name.png.\n"
    "  --list   print each file name and its caption, tab-separated, and draw nothing\n";

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
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--help") || !strcmp(argv[i], "-h")) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (!strcmp(argv[i], "--list")) {
            for (const GoldenFrame &frame : GOLDEN_FRAMES)
                printf("%s\tframe %u: %s\n", GoldenFileName(frame).c_str(), frame.frame,
                       frame.label);
            return 0;
        }
        if (argv[i][0] == '-' || i + 1 < argc) {
            fprintf(stderr, "golden-generate: unexpected argument %s\n%s", argv[i], USAGE);
            return 2;
        }
        run.folder = argv[i];
    }
    if (!RenderGoldenFrames(Save, &run)) {
        fprintf(stderr, "golden-generate: the show did not reach frame %u\n", GOLDEN_LAST_FRAME);
        return 1;
    }
    return run.failures ? 1 : 0;
}
