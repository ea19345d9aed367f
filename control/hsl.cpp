#include "hsl.h"

#include <algorithm>
#include <cmath>

Hsl RgbToHsl(COLORREF colour) {
    double r = GetRValue(colour) / 255.0, g = GetGValue(colour) / 255.0, b = GetBValue(colour) / 255.0;
    double maxc = std::max({r, g, b}), minc = std::min({r, g, b});
    Hsl out = {0.0, 0.0, (maxc + minc) / 2};
    double d = maxc - minc;
    if (d <= 0.0) return out;  // grey: no hue, no saturation
    out.s = out.l > 0.5 ? d / (2.0 - maxc - minc) : d / (maxc + minc);
    if (maxc == r)
        out.h = std::fmod((g - b) / d + 6.0, 6.0);
    else if (maxc == g)
        out.h = (b - r) / d + 2.0;
    else
        out.h = (r - g) / d + 4.0;
    out.h *= 60.0;
    return out;
}

namespace {
double HueToChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}
BYTE ToByte(double v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }
}  // namespace

COLORREF HslToRgb(const Hsl& c) {
    if (c.s <= 0.0) return RGB(ToByte(c.l), ToByte(c.l), ToByte(c.l));
    double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
    double p = 2 * c.l - q;
    double h = c.h / 360.0;
    return RGB(ToByte(HueToChannel(p, q, h + 1.0 / 3)), ToByte(HueToChannel(p, q, h)),
               ToByte(HueToChannel(p, q, h - 1.0 / 3)));
}

COLORREF ShiftLightness(COLORREF colour, double delta) {
    Hsl c = RgbToHsl(colour);
    c.l = std::clamp(c.l + delta, 0.0, 1.0);
    return HslToRgb(c);
}
