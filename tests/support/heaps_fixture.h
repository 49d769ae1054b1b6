// Fresh heaps and string buffer around each test, as RuntimeStart would leave them.
#pragma once
#include "runtime/heap.h"
#include "runtime/strings.h"

#include <gtest/gtest.h>

class HeapsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MainHeap = HeapCreate(4000);
        ListHeap = HeapCreate(1024);
        ASSERT_TRUE(MainHeap && ListHeap);
        ASSERT_EQ(StringBufferInit(), 1);
        StringCut = 0;
    }
    void TearDown() override {
        HeapDestroy(ListHeap);
        HeapDestroy(MainHeap);
        ListHeap = MainHeap = nullptr;
        StringBuffer = StringTop = nullptr;
    }
};
