// Runs a fuzz target over the files named on the command line, for builds without
// libFuzzer: the committed corpus becomes a regression test of the ordinary build.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        fprintf(stderr, "%s\n", argv[i]); // named first: a hang's input is the last one printed
        std::ifstream file(argv[i], std::ios::binary);
        if (!file)
            return 1;
        const std::vector<uint8_t> data(std::istreambuf_iterator<char>(file), {});
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    return argc < 2 ? 2 : 0; // no input would pass without testing anything
}
