// A push button that paints itself: a frame and a two-part vertical gradient whose shades
// come from the state's base colour, then the caption. It sends its command to the parent.
#pragma once
#include <windows.h>

class MyButton {
public:
    enum State { Normal, Disabled, Pressed, CheckedNormal, CheckedDisabled, CheckedPressed, StateCount };

    // Subclasses `button`; the object lives until the button is destroyed.
    static MyButton* Attach(HWND button, int scheme);
    virtual ~MyButton() = default;

    State CurrentState() const;

protected:
    MyButton(HWND button, int scheme);
    virtual void Paint(HDC dc, const RECT& area);
    virtual LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool CursorInside(LPARAM lParam) const;

    HWND window_;
    WNDPROC original_;
    int scheme_;
    bool tracking_ = false;  // holds the capture after a left-button press
    bool pressed_ = false;   // ... and the cursor is inside
    bool checked_ = false;
};

// Colours of one state: the base from which the gradient is derived, and the caption's.
struct ButtonColours {
    COLORREF base;
    COLORREF text;
};
// Scheme 0 is derived from the system's button face, scheme 3 is grey with white text;
// other numbers fall back to scheme 0.
ButtonColours SchemeColours(int scheme, MyButton::State state);
