#pragma once
// Helpers shared by the two windows: DPI, fonts, child controls placed in
// twips, and painting of the program's own labels.
#include <windows.h>

#include <string>

#include "platform/Handles.h"

namespace keyentry {

struct TwipRect {
  int left, top, width, height;
};

// Dots per inch of the screen (the program is system-DPI-aware).
int SystemDpi();

// A 12-point (or other) GB2312 font of the given face, weight 400; when the
// face is not installed, a close relative or the system's choice for the
// character set stands in.
UniqueFont CreateChineseFont(const wchar_t* face, int points, int dpi);

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 const TwipRect& rect, int id, HFONT font, int dpi);

// Gives the window the client size in twips and centres it on the primary
// screen by its outer size.
void SizeAndCentre(HWND window, int clientWidthTwips, int clientHeightTwips, int dpi);

std::wstring WindowText(HWND window);

// An open window of the program brought forward: restored if minimised,
// shown, made the foreground window and put on top.
void BringToFront(HWND window);

// Window procedure of a window owned by a C++ object of type T: the object's
// address is passed to CreateWindowExW, and from then on every message goes
// to T::HandleMessage. T::Attach(HWND) learns the handle at creation.
template <typename T>
LRESULT CALLBACK ForwardToOwner(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Attach(hwnd);
  }
  auto* self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return self ? self->HandleMessage(msg, wParam, lParam)
              : ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// WM_CTLCOLORSTATIC answer for captions: button-text colour on button face.
LRESULT ButtonFaceColours(WPARAM dc);

// Paints an owner-drawn label: its background, then its text in black,
// broken into lines that fit and cut at its edges.
void DrawLabel(const DRAWITEMSTRUCT& item, COLORREF background, bool centred);

}  // namespace keyentry
