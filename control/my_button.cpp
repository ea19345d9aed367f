#include "my_button.h"

#include "hsl.h"

namespace {
const wchar_t kProp[] = L"VeloraMyButton";
const COLORREF kGrey = RGB(128, 128, 128);

TRIVERTEX Vertex(LONG x, LONG y, COLORREF c) {
    TRIVERTEX v;
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(GetRValue(c) << 8);
    v.Green = static_cast<COLOR16>(GetGValue(c) << 8);
    v.Blue = static_cast<COLOR16>(GetBValue(c) << 8);
    v.Alpha = 0;
    return v;
}

void VerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    if (r.bottom <= r.top || r.right <= r.left) return;
    TRIVERTEX v[2] = {Vertex(r.left, r.top, top), Vertex(r.right, r.bottom, bottom)};
    GRADIENT_RECT g = {0, 1};
    GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}
}  // namespace

ButtonColours SchemeColours(int scheme, MyButton::State state) {
    // Lightness steps of each state relative to the scheme's base colour.
    static const double kShift[MyButton::StateCount] = {0.0, 0.08, -0.10, -0.06, 0.04, -0.14};
    if (scheme == 3) {
        COLORREF text = state == MyButton::Disabled || state == MyButton::CheckedDisabled
                            ? GetSysColor(COLOR_GRAYTEXT)
                            : RGB(255, 255, 255);
        return {ShiftLightness(kGrey, kShift[state]), text};
    }
    COLORREF face = ShiftLightness(GetSysColor(COLOR_BTNFACE), -0.10);  // the normal state
    COLORREF text = state == MyButton::Disabled || state == MyButton::CheckedDisabled
                        ? GetSysColor(COLOR_GRAYTEXT)
                        : GetSysColor(COLOR_BTNTEXT);
    return {ShiftLightness(face, kShift[state]), text};
}

MyButton::MyButton(HWND button, int scheme)
    : window_(button), original_(nullptr), scheme_(scheme) {}

MyButton* MyButton::Attach(HWND button, int scheme) {
    if (!button) return nullptr;
    MyButton* self = new MyButton(button, scheme);
    SetPropW(button, kProp, self);
    self->original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MyButton::Proc)));
    InvalidateRect(button, nullptr, TRUE);
    return self;
}

LRESULT CALLBACK MyButton::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MyButton* self = static_cast<MyButton*>(GetPropW(window, kProp));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC original = self->original_;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(window, kProp);
        delete self;
        return CallWindowProcW(original, window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

MyButton::State MyButton::CurrentState() const {
    bool enabled = IsWindowEnabled(window_) != FALSE;
    if (checked_) return !enabled ? CheckedDisabled : pressed_ ? CheckedPressed : CheckedNormal;
    return !enabled ? Disabled : pressed_ ? Pressed : Normal;
}

bool MyButton::CursorInside(LPARAM lParam) const {
    RECT client;
    GetClientRect(window_, &client);
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, p) != FALSE;
}

void MyButton::Paint(HDC dc, const RECT& area) {
    State state = CurrentState();
    ButtonColours colours = SchemeColours(scheme_, state);
    bool disabled = state == Disabled || state == CheckedDisabled;

    HBRUSH frame = CreateSolidBrush(disabled ? kGrey : ShiftLightness(colours.base, -0.35));
    FrameRect(dc, &area, frame);
    DeleteObject(frame);

    RECT inner = area;
    InflateRect(&inner, -1, -1);
    LONG split = inner.top + (inner.bottom - inner.top) * 40 / 100;
    RECT upper = {inner.left, inner.top, inner.right, split};
    RECT lower = {inner.left, split, inner.right, inner.bottom};
    VerticalGradient(dc, upper, ShiftLightness(colours.base, 0.16), ShiftLightness(colours.base, 0.07));
    VerticalGradient(dc, lower, ShiftLightness(colours.base, -0.03), ShiftLightness(colours.base, 0.06));

    wchar_t text[128] = L"";
    GetWindowTextW(window_, text, 128);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.text);
    RECT textArea = inner;
    if (state == Pressed || state == CheckedPressed) OffsetRect(&textArea, 1, 1);
    DrawTextW(dc, text, -1, &textArea, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (oldFont) SelectObject(dc, oldFont);
}

LRESULT MyButton::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            RECT area;
            GetClientRect(window_, &area);
            if (ps.fErase) {
                HWND parent = GetParent(window_);
                HBRUSH background = reinterpret_cast<HBRUSH>(
                    SendMessageW(parent, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(window_)));
                FillRect(dc, &area, background ? background : GetSysColorBrush(COLOR_BTNFACE));
            }
            Paint(dc, area);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!IsWindowEnabled(window_)) return 0;
            SetCapture(window_);
            tracking_ = true;
            pressed_ = true;
            InvalidateRect(window_, nullptr, FALSE);
            return 0;
        case WM_MOUSEMOVE:
            if (tracking_) {
                bool inside = CursorInside(lParam);
                if (inside != pressed_) {
                    pressed_ = inside;
                    InvalidateRect(window_, nullptr, FALSE);
                }
            }
            return 0;
        case WM_LBUTTONUP: {
            if (!tracking_) return 0;
            bool click = CursorInside(lParam);
            tracking_ = false;
            pressed_ = false;
            ReleaseCapture();
            InvalidateRect(window_, nullptr, FALSE);
            // No command while a modal box disables the parent: it would run inside the box.
            HWND parent = GetParent(window_);
            if (click && IsWindowEnabled(window_) && IsWindowEnabled(parent))
                PostMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window_), BN_CLICKED),
                             reinterpret_cast<LPARAM>(window_));
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (tracking_ && reinterpret_cast<HWND>(lParam) != window_) {
                tracking_ = false;
                pressed_ = false;
                InvalidateRect(window_, nullptr, FALSE);
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return 0;  // system keys (Alt+F4) still reach the window
        case BM_GETCHECK:
            return checked_ ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            checked_ = wParam == BST_CHECKED;
            InvalidateRect(window_, nullptr, FALSE);
            return 0;
        case BM_GETSTATE:
            return (checked_ ? BST_CHECKED : 0) | (pressed_ ? BST_PUSHED : 0);
        case WM_ENABLE:
        case WM_SETTEXT: {
            LRESULT result = CallWindowProcW(original_, window_, message, wParam, lParam);
            InvalidateRect(window_, nullptr, TRUE);
            return result;
        }
        default:
            return CallWindowProcW(original_, window_, message, wParam, lParam);
    }
}
