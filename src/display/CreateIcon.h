#pragma once
// Drawing a balance into a 16x16 tray image with the glyph strips, and turning
// a bitmap into an icon that is transparent where it has the colour of its
// top-left pixel.
#include <QIcon>
#include <QImage>
#include <QString>
#include <limits>

// Threshold when balance marking is off: the largest 32-bit signed integer as a float.
inline constexpr float NoMark = static_cast<float>(std::numeric_limits<int>::max());

// Glyph strip layout (both strips alike).
inline constexpr int GlyphMinusLeft = 0, GlyphMinusWidth = 3;
inline constexpr int GlyphPointLeft = 3, GlyphPointWidth = 4;
inline constexpr int GlyphDigitLeft = 8, GlyphDigitWidth = 5;

// The glyph strips and the animation strip, loaded from the resources once.
const QImage &DigitsBitmap();
const QImage &RedDigitsBitmap();
// The navy strip recoloured for the figures of an earlier query: grey, and a
// pale red where they are at or below the threshold.
const QImage &StaleDigitsBitmap();
const QImage &StaleRedDigitsBitmap();
const QImage &AniIconsBitmap();

// The text the tray shows for a value: "%.0f" or "%.1f", ".0" removed, "---"
// when longer than four characters (or not a number at all).
QString TrayNumberText(float value);

// The navy strip when marking is off or the value is above the threshold, else the red one.
const QImage &ChooseDigits(float value, float threshold);

// Draws the value into a 16x16 image (white where there is no ink).
QImage DrawNumber16(const QImage &strip, float value);
// The same for a text of digits, ".", "," and "-".
QImage DrawText16(const QImage &strip, const QString &text);

// Transparent where the image has the colour of its top-left pixel.
QImage CreateIconFromBitmap(const QImage &bitmap);

// The finished 16x16 tray image for a value: colour chosen by colourValue
// against the threshold; stale: the figures of an earlier query.
QImage NumberImage(float value, float colourValue, float threshold, bool stale = false);
// "--" in navy: the phone shown has no figures yet.
QImage NoFiguresImage();

// The colour of the light outline drawn around the ink of tray images.
inline constexpr QRgb HaloColour = 0xEBFFFFFF;

// A 16x16 tray image at a tray's icon size in device pixels: enlarged by a
// whole factor (no blur), centred, with a light outline around the ink so
// that it reads on dark and light panels alike.
QImage TrayImageAtSize(const QImage &image16, int side);

// An icon for the tray from a 16x16 image that draws itself at whatever size
// and pixel ratio the tray asks for (TrayImageAtSize).
QIcon TrayIconFromImage(const QImage &image16);

// Frame i (1..10) of the animation, already made transparent.
const QImage &AniIconImage(int i);
