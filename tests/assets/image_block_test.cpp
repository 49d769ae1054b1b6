// The six images of assets/images.raw: layout, image boundaries checked by content,
// and the properties the drawing relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include "tests/assets/asset_files.h"

using namespace assets_test;

namespace {

class ImageBlockTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { block = new Bytes(ReadAsset("images.raw")); }
    static void TearDownTestSuite() { delete block; }
    static Image Get(const ImageLayout &layout) { return ImageOf(*block, layout); }
    static Bytes *block;
};
Bytes *ImageBlockTest::block = nullptr;

// Mean absolute channel difference between two lines of texels of an RGB image.
double LineDifference(const Image &img, int a, int b, bool columns) {
    long sum = 0;
    int n = columns ? img.H() : img.W();
    for (int i = 0; i < n; ++i) {
        const unsigned char *p = columns ? img.At(a, i) : img.At(i, a);
        const unsigned char *q = columns ? img.At(b, i) : img.At(i, b);
        for (int c = 0; c < 3; ++c)
            sum += std::abs(p[c] - q[c]);
    }
    return double(sum) / (3.0 * n);
}

struct InkBox {
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    long count = 0;
};

InkBox InkOf(const Image &img) {
    InkBox box;
    for (int y = 0; y < img.H(); ++y)
        for (int x = 0; x < img.W(); ++x)
            if (!img.Black(x, y)) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
                ++box.count;
            }
    return box;
}

} // namespace

TEST_F(ImageBlockTest, SixImagesBackToBackFillTheBlockExactly) {
    ASSERT_EQ(block->size(), kBlockBytes);
    std::size_t next = 0;
    for (const ImageLayout &img : kImages) {
        EXPECT_EQ(img.offset, next) << img.name;
        next += img.Bytes();
    }
    EXPECT_EQ(next, kBlockBytes);
}

// Each image edge is pinned by content that the neighbouring image cannot supply, so an
// image one byte too long or short shows up at the following boundary.
TEST_F(ImageBlockTest, BoundariesSitWhereTheContentChanges) {
    // font: A's left stroke is in column 0, where a leading stray byte would push it away
    Image font = Get(kFont);
    bool column0 = false;
    for (int y = 0; y < font.H(); ++y)
        column0 |= font.At(0, y)[0] == 255;
    EXPECT_TRUE(column0);
    // ring: its first byte follows the font's empty last column, its last byte precedes
    // the plate's black top row; both ring bytes are light
    EXPECT_EQ((*block)[kRing.offset - 1], 0);
    EXPECT_GE((*block)[kRing.offset], 96);
    EXPECT_GE((*block)[kPlate.offset - 1], 96);
    EXPECT_EQ((*block)[kPlate.offset], 0);
    // the plate's wrist runs off its bottom row, right before title A's black margin
    Image plate = Get(kPlate);
    EXPECT_NE(plate.At(plate.W() / 2, plate.H() - 1)[0], 0);
    EXPECT_EQ((*block)[kTitleA.offset], 0);
    // sprite: its black frame meets title B's black margin, so its byte alignment is
    // checked by colour instead. The silver suit mirrors a blue sky: over the figure, blue
    // exceeds red by about 25 levels; read one byte off (or in BGR order) it falls below red.
    Image sprite = Get(kSprite);
    long red = 0, blue = 0, figure = 0;
    for (int y = 0; y < sprite.H(); ++y)
        for (int x = 0; x < sprite.W(); ++x)
            if (!sprite.Black(x, y)) {
                red += sprite.At(x, y)[0];
                blue += sprite.At(x, y)[2];
                ++figure;
            }
    ASSERT_GT(figure, 0);
    EXPECT_GT(double(blue - red) / figure, 10.0);
}

TEST_F(ImageBlockTest, RingHasNoDarkTexelAndManyHues) {
    // "dark" here: any channel below 96; pastel colours are light in all three channels
    const int kDarkBelow = 96;
    Image ring = Get(kRing);
    int darkest = 255;
    std::vector<int> sector(6, 0);
    for (int y = 0; y < ring.H(); ++y)
        for (int x = 0; x < ring.W(); ++x) {
            const unsigned char *p = ring.At(x, y);
            int hi = std::max({p[0], p[1], p[2]}), lo = std::min({p[0], p[1], p[2]});
            darkest = std::min(darkest, lo);
            if (hi == lo)
                continue;
            double h = hi == p[0]   ? std::fmod((p[1] - p[2]) / double(hi - lo) + 6.0, 6.0)
                       : hi == p[1] ? (p[2] - p[0]) / double(hi - lo) + 2.0
                                    : (p[0] - p[1]) / double(hi - lo) + 4.0;
            ++sector[int(h) % 6];
        }
    EXPECT_GE(darkest, kDarkBelow);
    // multicoloured: five of the six hue sectors each take at least 5% of the texels
    int used = std::count_if(sector.begin(), sector.end(),
                             [&](int n) { return n >= ring.W() * ring.H() / 20; });
    EXPECT_GE(used, 5);
}

// The seam between the last and the first column (row) must look like any other pair of
// neighbouring columns (rows): its mean difference may not exceed the largest difference
// between neighbours inside the texture. Texels half the texture apart must differ more
// than every neighbour pair, which shows the measure tells a seam from a continuation.
TEST_F(ImageBlockTest, RingTilesSeamlesslyInBothDirections) {
    Image ring = Get(kRing);
    const int n = ring.W();
    for (bool columns : {true, false}) {
        double worst_neighbours = 0, least_far = 1e9;
        for (int i = 0; i + 1 < n; ++i)
            worst_neighbours = std::max(worst_neighbours, LineDifference(ring, i, i + 1, columns));
        for (int i = 0; i < n; ++i)
            least_far = std::min(least_far, LineDifference(ring, i, (i + n / 2) % n, columns));
        EXPECT_LE(LineDifference(ring, n - 1, 0, columns), worst_neighbours)
            << (columns ? "left/right" : "top/bottom");
        EXPECT_GT(least_far, worst_neighbours) << (columns ? "columns" : "rows");
    }
}

TEST_F(ImageBlockTest, PlateIsAShadedFistRisingFromTheBottomEdge) {
    Image plate = Get(kPlate);
    InkBox ink = InkOf(plate);
    double background = 1.0 - double(ink.count) / (plate.W() * plate.H());
    // about two thirds of the texels are black
    EXPECT_GT(background, 0.60);
    EXPECT_LT(background, 0.72);
    EXPECT_EQ(ink.bottom, plate.H() - 1);
    EXPECT_GT(ink.top, 0);
    EXPECT_GT(ink.left, 0);
    EXPECT_LT(ink.right, plate.W() - 1);
    // centred: the inked span is balanced within a few texels
    EXPECT_NEAR(ink.left + ink.right, plate.W() - 1, 8);
    // shaded in grey, not a flat silhouette
    std::vector<bool> seen(256, false);
    for (int y = 0; y < plate.H(); ++y)
        for (int x = 0; x < plate.W(); ++x)
            seen[plate.At(x, y)[0]] = true;
    EXPECT_GE(std::count(seen.begin(), seen.end(), true), 100);
}

TEST_F(ImageBlockTest, TitlesAreTwoWordsInTheSameLayout) {
    Image a = Get(kTitleA), b = Get(kTitleB);
    for (const Image &t : {a, b}) {
        InkBox ink = InkOf(t);
        SCOPED_TRACE(t.layout.name);
        // black margins all round, the word spread over nearly the whole width
        EXPECT_GE(ink.top, 2);
        EXPECT_LE(ink.bottom, t.H() - 3);
        EXPECT_GE(ink.left, 2);
        EXPECT_LE(ink.right, t.W() - 3);
        EXPECT_LT(ink.left, 16);
        EXPECT_GT(ink.right, t.W() - 16);
        double share = double(ink.count) / (t.W() * t.H());
        EXPECT_GT(share, 0.15);
        EXPECT_LT(share, 0.5);
        int brightest = 0;
        for (int y = 0; y < t.H(); ++y)
            for (int x = 0; x < t.W(); ++x)
                brightest = std::max<int>(brightest, t.At(x, y)[0]);
        EXPECT_EQ(brightest, 255);
    }
    InkBox ia = InkOf(a), ib = InkOf(b);
    EXPECT_EQ(ia.top, ib.top);
    EXPECT_EQ(ia.bottom, ib.bottom);
    // different words: a tenth of the texels differ by more than half the range
    long differ = 0;
    for (int y = 0; y < a.H(); ++y)
        for (int x = 0; x < a.W(); ++x)
            differ += std::abs(a.At(x, y)[0] - b.At(x, y)[0]) > 128;
    EXPECT_GT(differ, a.W() * a.H() / 10);
}

TEST_F(ImageBlockTest, SpriteFigureStandsCentredInTheFrame) {
    Image sprite = Get(kSprite);
    InkBox ink = InkOf(sprite);
    for (int x : {0, sprite.W() - 1})
        for (int y : {0, sprite.H() - 1})
            EXPECT_TRUE(sprite.Black(x, y)) << x << "," << y;
    EXPECT_LT(ink.top, 16);
    EXPECT_GT(ink.bottom, sprite.H() - 16);
    EXPECT_NEAR(ink.left + ink.right, sprite.W() - 1, 32);
    double share = double(ink.count) / (sprite.W() * sprite.H());
    EXPECT_GT(share, 0.3);
    EXPECT_LT(share, 0.7);
}

// Pure black means outside the figure. Outside is the region around the figure plus the
// background seen through gaps in it (under an arm, inside a coiled hose); such gaps are
// sizeable, while a black texel in a dark part of the photo would form a tiny island.
TEST_F(ImageBlockTest, SpriteBlackIsOnlyTheOutside) {
    const int kSmallestGap = 64; // texels; smaller black islands count as flaws
    Image sprite = Get(kSprite);
    const int w = sprite.W(), h = sprite.H();
    std::vector<int> label(std::size_t(w) * h, 0);
    int next = 0;
    for (int sy = 0; sy < h; ++sy)
        for (int sx = 0; sx < w; ++sx) {
            if (!sprite.Black(sx, sy) || label[std::size_t(sy) * w + sx])
                continue;
            ++next;
            std::vector<std::pair<int, int>> stack{{sx, sy}};
            label[std::size_t(sy) * w + sx] = next;
            long size = 0;
            bool border = false;
            while (!stack.empty()) {
                auto [x, y] = stack.back();
                stack.pop_back();
                ++size;
                border |= x == 0 || y == 0 || x == w - 1 || y == h - 1;
                const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
                for (const auto &p : nb) {
                    if (p[0] < 0 || p[1] < 0 || p[0] >= w || p[1] >= h)
                        continue;
                    int &l = label[std::size_t(p[1]) * w + p[0]];
                    if (!l && sprite.Black(p[0], p[1])) {
                        l = next;
                        stack.push_back({p[0], p[1]});
                    }
                }
            }
            EXPECT_TRUE(border || size >= kSmallestGap)
                << "black island of " << size << " texels at " << sx << "," << sy;
        }
    EXPECT_GE(next, 1);
}
