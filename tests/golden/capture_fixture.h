// A fresh TMPDIR (tmp_) and output folder (out_) for each capture test, removed afterwards,
// and small file helpers.
#pragma once
#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

// The names in `folder`, sorted.
inline std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string ReadFile(const std::string &path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

class PrivateTmpDir : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/tolvmarka-capture-test.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        base_ = name;
        tmp_ = base_ + "/tmp";
        out_ = base_ + "/out";
        ASSERT_EQ(mkdir(tmp_.c_str(), 0700) | mkdir(out_.c_str(), 0700), 0);
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TMPDIR");
        EXPECT_EQ(system(("rm -rf '" + base_ + "'").c_str()), 0);
    }
    bool Empty() const { return Names(tmp_).empty(); }
    std::string base_, tmp_, out_;
};
