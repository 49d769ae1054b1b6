// The core library carries the committed image block and scroll text unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "assets/assets.h"
#include "tests/assets/asset_files.h"

using namespace assets_test;

TEST(EmbeddedAssetsTest, ImageBlockIsTheCommittedFile) {
    Bytes file = ReadAsset("images.raw");
    ASSERT_EQ(std::size_t(ImageBlockEnd - ImageBlock), kBlockBytes);
    ASSERT_EQ(file.size(), kBlockBytes);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), ImageBlock));
}

TEST(EmbeddedAssetsTest, ScrollTextIsTheCommittedFileNulTerminated) {
    Bytes file = ReadAsset("scroll.txt");
    ASSERT_EQ(std::strlen(ScrollText), file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), ScrollText));
}
