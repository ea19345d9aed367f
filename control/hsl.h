// Colours in the hue-saturation-lightness model, from which the button shades are derived.
#pragma once
#include <windows.h>

struct Hsl {
    double h;  // 0..360
    double s;  // 0..1
    double l;  // 0..1
};

Hsl RgbToHsl(COLORREF colour);
COLORREF HslToRgb(const Hsl& colour);
// The colour with its lightness moved by `delta` (clamped to 0..1); hue and saturation kept.
COLORREF ShiftLightness(COLORREF colour, double delta);
