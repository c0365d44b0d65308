#include "ui/Controls.h"

#include <algorithm>
#include <vector>

#include "ui/layout/Layout.h"
#include "ui/layout/TextWrap.h"

namespace keyentry {

int SystemDpi() {
  const WindowDC screen(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
  return dpi > 0 ? dpi : 96;
}

namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const wchar_t* face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  const WindowDC screen(nullptr);
  ::EnumFontFamiliesExW(screen.get(), &query, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

const wchar_t* InstalledFace(const wchar_t* face) {
  const bool newSong = lstrcmpW(face, L"新宋体") == 0;
  const wchar_t* const candidates[] = {
      face,
      newSong ? L"NSimSun" : L"SimSun",
      newSong ? L"宋体" : L"新宋体",
      newSong ? L"SimSun" : L"NSimSun",
  };
  for (const wchar_t* candidate : candidates)
    if (FaceInstalled(candidate)) return candidate;
  return face;  // the font mapper picks a font of the character set
}

}  // namespace

UniqueFont CreateChineseFont(const wchar_t* face, int points, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = PointsToFontHeight(points, dpi);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  lstrcpynW(lf.lfFaceName, InstalledFace(face), LF_FACESIZE);
  return UniqueFont(::CreateFontIndirectW(&lf));
}

HWND CreateChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 const TwipRect& r, int id, HFONT font, int dpi) {
  HWND child = ::CreateWindowExW(
      0, className, text, WS_CHILD | WS_VISIBLE | style, TwipsToPixels(r.left, dpi),
      TwipsToPixels(r.top, dpi), TwipsToPixels(r.width, dpi), TwipsToPixels(r.height, dpi), parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (child && font) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

void SizeAndCentre(HWND window, int clientWidthTwips, int clientHeightTwips, int dpi) {
  RECT r{0, 0, TwipsToPixels(clientWidthTwips, dpi), TwipsToPixels(clientHeightTwips, dpi)};
  const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
  ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int left = CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), width);
  const int top = CentredOrigin(::GetSystemMetrics(SM_CYSCREEN), height);
  ::SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring WindowText(HWND window) {
  const int len = ::GetWindowTextLengthW(window);
  if (len <= 0) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<std::size_t>(len) + 1);
  const int got = ::GetWindowTextW(window, buffer.data(), len + 1);
  return std::wstring(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
}

LRESULT ButtonFaceColours(WPARAM dc) {
  ::SetTextColor(reinterpret_cast<HDC>(dc), ::GetSysColor(COLOR_BTNTEXT));
  ::SetBkColor(reinterpret_cast<HDC>(dc), ::GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void DrawLabel(const DRAWITEMSTRUCT& item, COLORREF background, bool centred) {
  HDC dc = item.hDC;
  const RECT& rc = item.rcItem;
  UniqueBrush brush(::CreateSolidBrush(background));
  ::FillRect(dc, &rc, brush.get());

  const std::wstring text = WindowText(item.hwndItem);
  if (text.empty()) return;
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const SelectedObject selectedFont(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(0, 0, 0));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  const int lineHeight = std::max<int>(1, tm.tmHeight);
  const int width = rc.right - rc.left;
  const std::size_t maxLines = static_cast<std::size_t>((rc.bottom - rc.top) / lineHeight + 1);

  auto measure = [dc](std::wstring_view piece) {
    SIZE size{};
    ::GetTextExtentPoint32W(dc, piece.data(), static_cast<int>(piece.size()), &size);
    return static_cast<int>(size.cx);
  };
  const auto lines = WrapText(text, width, maxLines, measure);
  int y = rc.top;
  for (const auto& line : lines) {
    int x = rc.left;
    if (centred) x += (width - measure(line)) / 2;
    ::ExtTextOutW(dc, x, y, ETO_CLIPPED, &rc, line.data(), static_cast<UINT>(line.size()), nullptr);
    y += lineHeight;
  }
}

void BringToFront(HWND window) {
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  ::ShowWindow(window, SW_SHOW);
  ::SetForegroundWindow(window);
  ::BringWindowToTop(window);
}

}  // namespace keyentry
