// The cross drawn into a video window: its exact lines for each frame, the
// pen it is drawn with, and the device context given back on every path.
#include "overlay/crosshair.h"
#include "tests/sim_fixture.h"
#include "tests/sim_layouts.h"

namespace {

class CrosshairTest : public SimTest {};

// The cross lies where the frame says, whatever the window's own size.
TEST_F(CrosshairTest, DrawsBothLinesThroughTheFrameCentre) {
    const LONG sizes[][2] = {{640, 480}, {648, 489}, {500, 350}, {1280, 1024}, {0, 0}};
    for (FrameKind kind : {FRAME_LPI, FRAME_DSI})
        for (const auto& size : sizes) {
            sim::Reset();
            HWND video = sim::AddWindow(nullptr, "", Rect(0, 0, size[0], size[1]));
            DrawCrosshair(video, kind);

            ASSERT_EQ(sim::Drawings().size(), 1u);
            const sim::Drawing& d = sim::Drawings()[0];
            EXPECT_EQ(d.window, video);
            EXPECT_EQ(d.pen, sim::StockObject(WHITE_PEN));
            EXPECT_EQ(Lines(d), Lines(kind)) << size[0] << " x " << size[1];
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
