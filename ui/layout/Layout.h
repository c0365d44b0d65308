#pragma once
// Window geometry without the window system: layouts are given in twips
// (1/1440 inch) and turned into pixels at the screen's real DPI.
namespace keyentry {

// Twips to pixels, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// Left (or top) edge, in pixels, that centres a window of the given outer
// size on a screen of the given size. The half is taken exactly and only the
// result is rounded; nothing is clamped, so a window larger than the screen
// gets a negative position.
int CentredOrigin(int screenPixels, int windowPixels);

// Font height for a point size at the given DPI, as a negative character
// height in pixels (what LOGFONT expects for a point size).
int PointsToFontHeight(int points, int dpi);

}  // namespace keyentry
