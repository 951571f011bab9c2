// Every test starts on an empty simulated desktop and must leave nothing
// open behind it: no device context, no snapshot, no pen left selected.
#pragma once

#include "sim/sim.h"

#include <gtest/gtest.h>

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Reset(); }
    void TearDown() override {
        EXPECT_EQ(sim::OpenDCs(), 0) << "device contexts left open (GetDC or BeginPaint)";
        EXPECT_EQ(sim::OpenSnapshots(), 0) << "module snapshots left open";
        EXPECT_EQ(sim::DCsReleasedWithPenSelected(), 0) << "pen not restored before release";
    }
};

inline RECT Rect(LONG x, LONG y, LONG width, LONG height) { return {x, y, x + width, y + height}; }
