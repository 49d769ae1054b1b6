// Test support for the capture: a private TMPDIR for each test, and small helpers.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include <vector>

// Points TMPDIR at a fresh directory of the test's own and removes it afterwards; Empty()
// tells whether the capture left anything in it.
class PrivateTmpDir : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    bool Empty() const;
    std::vector<std::string> Entries() const;
    std::string dir_;
    std::string saved_;
    bool hadSaved_ = false;
};

uint64_t Fnv1a(const void *data, size_t size, uint64_t hash = 1469598103934665603ull);
std::string ReadFile(const std::string &path);
