// The key frames of the show against the committed reference images.
#include "tests/golden/capture_fixture.h"
#include "tests/golden/golden.h"

#include "capture/output.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

// Mesa's llvmpipe draws the same bytes every time for one Mesa version. Another Mesa build
// may round an interpolated colour, a filtered texel or a fog factor the other way (a step
// or two of 255) and may move an edge by a pixel where a vertex sits on a pixel boundary.
// So: every channel within 2 steps on at least 99.5% of the pixels; the 0.5% left
// (1,536 pixels of 640 x 480) is room for edges shifted by a pixel, and far less than any
// misplaced, missing or mistinted layer covers.
constexpr int CHANNEL_SLACK = 2;
constexpr double MATCHING_SHARE = 0.995;

struct Comparison {
    std::vector<std::string> failures;
    std::string actualDir;
};

void Compare(const GoldenFrame &frame, const Picture &actual, void *context) {
    Comparison *comparison = static_cast<Comparison *>(context);
    std::string name = GoldenFileName(frame);
    Picture reference;
    if (!ReadPng(std::string(GOLDEN_REFERENCE_DIR) + "/" + name, &reference)) {
        comparison->failures.push_back(name + ": no reference image (see tests/golden/README.md)");
        return;
    }
    if (reference.width != actual.width || reference.height != actual.height) {
        comparison->failures.push_back(name + ": reference has another size");
        return;
    }
    size_t pixels = size_t(actual.width) * actual.height, off = 0;
    int worst = 0;
    for (size_t i = 0; i < pixels; i++) {
        int pixelWorst = 0;
        for (int c = 0; c < 3; c++)
            pixelWorst = std::max(
                pixelWorst, std::abs(int(actual.rgb[i * 3 + c]) - int(reference.rgb[i * 3 + c])));
        off += pixelWorst > CHANNEL_SLACK;
        worst = std::max(worst, pixelWorst);
    }
    if (double(pixels - off) < MATCHING_SHARE * double(pixels)) {
        std::string saved;
        if (!comparison->actualDir.empty()) {
            mkdir(comparison->actualDir.c_str(), 0777);
            std::string path = comparison->actualDir + "/" + name;
            if (PngWrite(path.c_str(), actual.rgb.data(), actual.width, actual.height))
                saved = "; drawn frame saved as " + path;
        }
        comparison->failures.push_back(name + ": " + std::to_string(off) +
                                       " pixels off by more than " + std::to_string(CHANNEL_SLACK) +
                                       " (worst " + std::to_string(worst) + ")" + saved);
    }
}

using GoldenFrames = PrivateTmpDir;

TEST_F(GoldenFrames, KeyFramesMatchTheReferences) {
    Comparison comparison;
    if (const char *build = getenv("TOLVMARKA_BUILD"))
        comparison.actualDir = std::string(build) + "/golden-actual";
    ASSERT_TRUE(RenderGoldenFrames(Compare, &comparison));
    for (const std::string &failure : comparison.failures)
        ADD_FAILURE() << failure;
    EXPECT_TRUE(Empty()) << "the capture's temporary directory is gone";
}

} // namespace
