// xmgen OUTPUT.xm: synthesises Tolvmarka's module and writes it.
#include "tools/xmgen/song.h"
#include "tools/xmgen/xm_writer.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xm\n", argv[0]);
        return 2;
    }
    try {
        const std::vector<uint8_t> bytes = xm::XmWrite(song::BuildSong());
        FILE *out = std::fopen(argv[1], "wb");
        if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fclose(out) != 0) {
            std::perror(argv[1]);
            return 1;
        }
        std::printf("%s: %zu bytes\n", argv[1], bytes.size());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "xmgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
