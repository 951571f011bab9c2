// The cross drawn into a video window: its exact lines for each frame, the
// pen it is drawn with, and the device context given back on every path.
#include "overlay/crosshair.h"
#include "tests/sim_fixture.h"

namespace {

class CrosshairTest : public SimTest {};

void ExpectPoint(const POINT& actual, LONG x, LONG y) {
    EXPECT_EQ(actual.x, x);
    EXPECT_EQ(actual.y, y);
}

TEST_F(CrosshairTest, DrawsBothLinesThroughTheFrameCentre) {
    const struct {
        FrameKind kind;
        LONG width, height, cx, cy;
        LONG windowWidth, windowHeight;
    } cases[] = {
        {FRAME_LPI, 640, 480, 320, 240, 640, 480},
        {FRAME_DSI, 648, 489, 324, 244, 648, 489},
        // The window's own size never moves the cross.
        {FRAME_LPI, 640, 480, 320, 240, 500, 350},
        {FRAME_DSI, 648, 489, 324, 244, 500, 350},
        {FRAME_DSI, 648, 489, 324, 244, 1280, 1024},
        {FRAME_LPI, 640, 480, 320, 240, 0, 0},
    };
    for (const auto& c : cases) {
        sim::Reset();
        HWND video = sim::AddWindow(nullptr, "", Rect(0, 0, c.windowWidth, c.windowHeight));
        DrawCrosshair(video, c.kind);

        ASSERT_EQ(sim::Drawings().size(), 1u);
        const sim::Drawing& d = sim::Drawings()[0];
        EXPECT_EQ(d.window, video);
        EXPECT_EQ(d.pen, sim::StockObject(WHITE_PEN));
        ASSERT_EQ(d.counts.size(), 2u);
        EXPECT_EQ(d.counts[0], 2u);
        EXPECT_EQ(d.counts[1], 2u);
        ASSERT_EQ(d.points.size(), 4u);
        ExpectPoint(d.points[0], c.cx, 0);
        ExpectPoint(d.points[1], c.cx, c.height);
        ExpectPoint(d.points[2], 0, c.cy);
        ExpectPoint(d.points[3], c.width, c.cy);
        EXPECT_EQ(sim::OpenDCs(), 0);
        EXPECT_EQ(sim::DCsReleasedWithPenSelected(), 0);
    }
}

// Each failing call stops the drawing there; whatever was obtained is
// given back, and the pen is never left in the context.
TEST_F(CrosshairTest, FailuresDrawNothingAndLeaveNothingOpen) {
    const struct {
        sim::Op op;
        long getDCs;     // GetDC calls expected
        long releases;   // ReleaseDC calls expected
    } cases[] = {
        {sim::Op::GetClientRect, 0, 0},
        {sim::Op::GetDC, 1, 0},
        {sim::Op::GetStockObject, 1, 1},
        {sim::Op::SelectObject, 1, 1},
        {sim::Op::PolyPolyline, 1, 1},
    };
    for (const auto& c : cases) {
        sim::Reset();
        HWND video = sim::AddWindow(nullptr, "", Rect(0, 0, 640, 480));
        sim::FailCall(c.op);
        DrawCrosshair(video, FRAME_LPI);
        EXPECT_TRUE(sim::Drawings().empty()) << sim::OpName(c.op);
        EXPECT_EQ(sim::CallCount(sim::Op::GetDC), c.getDCs) << sim::OpName(c.op);
        EXPECT_EQ(sim::CallCount(sim::Op::ReleaseDC), c.releases) << sim::OpName(c.op);
        EXPECT_EQ(sim::OpenDCs(), 0) << sim::OpName(c.op);
        EXPECT_EQ(sim::DCsReleasedWithPenSelected(), 0) << sim::OpName(c.op);
    }
}

TEST_F(CrosshairTest, AWindowGoneBeforeDrawingGetsNothing) {
    HWND video = sim::AddWindow(nullptr, "", Rect(0, 0, 640, 480));
    sim::DestroyWindow(video);
    DrawCrosshair(video, FRAME_DSI);
    EXPECT_TRUE(sim::Drawings().empty());
    EXPECT_EQ(sim::CallCount(sim::Op::GetDC), 0);
}

// Destroyed at any point during the drawing, the context is still released.
TEST_F(CrosshairTest, AWindowGoneWhileDrawingStillReleasesItsContext) {
    for (int after = 0; after <= 8; ++after) {
        sim::Reset();
        HWND video = sim::AddWindow(nullptr, "", Rect(0, 0, 640, 480));
        sim::DestroyAfterCalls(video, after);
        DrawCrosshair(video, FRAME_DSI);
        EXPECT_EQ(sim::OpenDCs(), 0) << "after " << after;
        EXPECT_EQ(sim::DCsReleasedWithPenSelected(), 0) << "after " << after;
    }
}

}  // namespace
