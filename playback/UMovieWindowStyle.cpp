#include "playback/UMovieWindowStyle.h"

std::uint32_t MovieWindowStyle(bool sizableFrame)
{
    return MovieStyle::Popup | MovieStyle::ClipChildren | (sizableFrame ? MovieStyle::ThickFrame : 0);
}

std::uint32_t MovieWindowExStyle(bool layered, bool topMost)
{
    return MovieStyle::AppWindow | (layered ? MovieStyle::LayeredBits : 0) |
           (topMost ? MovieStyle::TopMost : 0);
}

std::uint32_t WithStyleBits(std::uint32_t style, std::uint32_t bits, bool on)
{
    return on ? (style | bits) : (style & ~bits);
}

TMovieWindowParams MovieWindowParams(bool sizableFrame, bool layered, bool topMost, int screenWidth,
                                     int screenHeight)
{
    TMovieWindowParams p;
    p.Style = MovieWindowStyle(sizableFrame);
    p.ExStyle = MovieWindowExStyle(layered, topMost);
    p.X = (screenWidth - p.Width) / 2;
    p.Y = (screenHeight - p.Height) / 2;
    return p;
}

TBorderOffset BorderOffsetOf(int outerWidth, int outerHeight, int clientWidth, int clientHeight)
{
    return TBorderOffset{(outerWidth - clientWidth) / 2, (outerHeight - clientHeight) / 2};
}
