// The key frames of the show against the committed reference images.
#include "capture/output.h"
#include "tests/golden/capture_fixture.h"
#include "tests/golden/golden.h"

#include <sys/stat.h>

namespace {

// One Mesa version's llvmpipe draws the same bytes every time; another may round a colour, a
// texel or a fog factor the other way, or move an edge by a pixel. So: every channel within 2
// steps on at least 99.5% of the pixels, far more than any misplaced or mistinted layer leaves.
constexpr int CHANNEL_SLACK = 2;
constexpr double MATCHING_SHARE = 0.995;

// Adds a failure per frame that does not match; the drawn frame goes to `actualDir`.
void Compare(const GoldenFrame &frame, const Picture &actual, void *actualDir) {
    std::string name = GoldenFileName(frame);
    Picture reference;
    ASSERT_TRUE(ReadPng(std::string(GOLDEN_REFERENCE_DIR) + "/" + name, &reference)) << name;
    ASSERT_EQ(reference.rgb.size(), actual.rgb.size()) << name;
    size_t pixels = actual.rgb.size() / 3, off = 0;
    for (size_t i = 0; i < pixels; i++) {
        bool near = true;
        for (size_t c = i * 3; c < i * 3 + 3; c++)
            near = near && std::abs(int(actual.rgb[c]) - int(reference.rgb[c])) <= CHANNEL_SLACK;
        off += !near;
    }
    if (double(pixels - off) < MATCHING_SHARE * double(pixels)) {
        std::string path = *static_cast<std::string *>(actualDir) + "/" + name;
        mkdir(static_cast<std::string *>(actualDir)->c_str(), 0777);
        PngWrite(path.c_str(), actual.rgb.data(), actual.width, actual.height);
        ADD_FAILURE() << name << ": " << off << " pixels off, drawn frame saved as " << path;
    }
}

using GoldenFrames = PrivateTmpDir;

TEST_F(GoldenFrames, KeyFramesMatchTheReferences) {
    const char *build = getenv("TOLVMARKA_BUILD");
    std::string actualDir = std::string(build ? build : ".") + "/golden-actual";
    ASSERT_TRUE(RenderGoldenFrames(Compare, &actualDir));
    EXPECT_TRUE(Empty()) << "the capture's temporary directory is gone";
}

} // namespace
