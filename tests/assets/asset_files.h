// Access to the committed asset files and the layout of the image block.
#pragma once

#include <cstddef>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace assets_test {

using Bytes = std::vector<unsigned char>;

inline Bytes ReadAsset(const std::string &name) {
    std::ifstream in(std::string(TOLVMARKA_ASSET_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct ImageLayout {
    const char *name;
    int width, height, channels;
    std::size_t offset;
    std::size_t Bytes() const { return std::size_t(width) * height * channels; }
};

constexpr std::size_t kBlockBytes = 581632;
constexpr ImageLayout kFont{"font", 512, 16, 1, 0};

// One image of the block; rows from the top, channels interleaved.
struct Image {
    const unsigned char *data;
    ImageLayout layout;
    const unsigned char *At(int x, int y) const {
        return data + (std::size_t(y) * layout.width + x) * layout.channels;
    }
};

inline Image ImageOf(const Bytes &block, const ImageLayout &layout) {
    return Image{block.data() + layout.offset, layout};
}

// Font cells: 12 x 16 texels from column 0 of the strip.
constexpr int kCellW = 12, kCellH = 16, kCells = 36;
constexpr char kCellChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ.,;:\\/-?!#";

// The cell the scroller draws for a character, -1 for the space (drawn as nothing).
inline int CellOf(char c) {
    switch (c) {
    case ' ':
        return -1;
    case '!':
        return 34;
    case '.':
        return 26;
    case ',':
        return 27;
    case ':':
        return 29;
    case '?':
        return 33;
    default:
        return static_cast<signed char>(static_cast<unsigned char>(c) - 65);
    }
}

} // namespace assets_test
