#include "tests/golden/capture_fixture.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <ftw.h>
#include <sstream>

namespace {
int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}
} // namespace

void PrivateTmpDir::SetUp() {
    const char *old = getenv("TMPDIR");
    hadSaved_ = old != nullptr;
    saved_ = old ? old : "";
    char name[] = "/tmp/tolvmarka-capture-test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    setenv("TMPDIR", dir_.c_str(), 1);
}

void PrivateTmpDir::TearDown() {
    if (hadSaved_)
        setenv("TMPDIR", saved_.c_str(), 1);
    else
        unsetenv("TMPDIR");
    if (!dir_.empty())
        nftw(dir_.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> PrivateTmpDir::Entries() const {
    std::vector<std::string> names;
    if (DIR *dir = opendir(dir_.c_str())) {
        while (dirent *entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

bool PrivateTmpDir::Empty() const {
    return Entries().empty();
}

uint64_t Fnv1a(const void *data, size_t size, uint64_t hash) {
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < size; i++)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}
