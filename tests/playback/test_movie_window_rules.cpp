// The movie window's drag rule and creation parameters.
#include <gtest/gtest.h>

#include "playback/UMovieDrag.h"
#include "playback/UMovieWindowStyle.h"

TEST(MovieDrag, StartsOnlyBeyondFivePixelsAndReportsOnce)
{
    TDragOffset offset;
    for (auto [x, y] : {std::pair{5, 0}, {0, 5}, {-5, -5}, {6, 0}, {0, 6}, {-6, 2}, {3, -6}}) {
        const bool beyond = x > 5 || y > 5 || x < -5 || y < -5;
        TDragTracker drag;
        drag.ButtonDown(100, 100, true);
        ASSERT_EQ(beyond, drag.MouseMove(100 + x, 100 + y, true, offset)) << x << "," << y;
        EXPECT_TRUE(!beyond || (offset.X == x && offset.Y == y));
        EXPECT_EQ(beyond, drag.ButtonUp(true)) << "OnDragMoved only after a move";
        EXPECT_FALSE(drag.ButtonUp(true));
        EXPECT_EQ(NoDragPosition, drag.DragStartX());
    }
}

// The window follows the mouse, so offsets stay relative to the press.
TEST(MovieDrag, FollowsTheMouseWhileTheFrameIsSizable)
{
    TDragTracker drag;
    TDragOffset offset;
    EXPECT_FALSE(drag.MouseMove(50, 50, true, offset)) << "no press";
    drag.ButtonDown(10, 20, true);
    ASSERT_TRUE(drag.MouseMove(30, 20, true, offset));
    EXPECT_FALSE(drag.MouseMove(12, 21, true, offset));
    ASSERT_TRUE(drag.MouseMove(10, 0, true, offset));
    EXPECT_TRUE(offset.X == 0 && offset.Y == -20);
    // The frame goes away (full screen): no more moves, no report.
    EXPECT_FALSE(drag.MouseMove(100, 0, false, offset));
    EXPECT_FALSE(drag.ButtonUp(false));
    drag.ButtonDown(0, 0, false);
    EXPECT_FALSE(drag.Pressed());

    EXPECT_EQ(-2, MouseX(0xFFFBFFFEu));  // left of and above a captured client area
    EXPECT_EQ(-5, MouseY(0xFFFBFFFEu));
}

TEST(MovieWindowStyle, CreationParameters)
{
    TMovieWindowParams p = MovieWindowParams(true, false, false, 1024, 768);
    EXPECT_STREQ("Movie Window", p.Caption);
    EXPECT_EQ(0x82040000u, p.Style) << "hidden: no WS_VISIBLE";
    EXPECT_EQ(0x00040000u, p.ExStyle);
    EXPECT_TRUE(p.X == 352 && p.Y == 264 && p.Width == 320 && p.Height == 240);
    p = MovieWindowParams(false, true, true, 301, 200);
    EXPECT_EQ(0x82000000u, p.Style);
    EXPECT_EQ(0x000C0028u, p.ExStyle);
    EXPECT_TRUE(p.X == -9 && p.Y == -20) << "div truncates towards zero";
}
