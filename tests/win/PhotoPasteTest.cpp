// {照片} under Wine: the photo pasted as a picture (CF_DIB and PNG) between
// text and keys, the operator's clipboard back afterwards; a damaged photo
// pastes nothing, with one beep, and the rest of the template still types.
#include <gtest/gtest.h>
#include <string>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

using PhotoPaste = TypingProgram;

// A program that takes pictures on Ctrl+V, as a chat window does. Its log
// tells what arrived, in order: the characters, "[Tab]", and for each paste
// "[W x H colour png]" (colour: the one all pixels share, or "mixed";
// png: the PNG form was there too).
class PictureTarget {
 public:
  PictureTarget() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeyEntryTestPicture";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"picture", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                60, 60, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~PictureTarget() { ::DestroyWindow(window_); }
  bool Focus() { return BringForward(window_, window_); }
  std::wstring log;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PictureTarget*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_KEYDOWN && wParam == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
      self->Paste();
      return 0;
    }
    if (self && msg == WM_KEYDOWN && wParam == VK_TAB) self->log += L"[Tab]";
    if (self && msg == WM_CHAR && wParam >= L' ') self->log += static_cast<wchar_t>(wParam);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  void Paste() {
    for (int i = 0; i < 50 && !::OpenClipboard(window_); ++i) ::Sleep(10);
    std::wstring got = L"[none]";
    if (const HANDLE data = ::GetClipboardData(CF_DIB)) {
      const auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(data));
      const auto* pixels = reinterpret_cast<const BYTE*>(header + 1);
      const LONG width = header->biWidth;
      const LONG height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
      const LONG stride = (width * 3 + 3) / 4 * 4;
      std::wstring colour;
      bool same = header->biBitCount == 24;
      for (LONG y = 0; same && y < height; ++y) {
        for (LONG x = 0; x < width; ++x) {
          const BYTE* p = pixels + y * stride + x * 3;
          same = same && p[0] == pixels[0] && p[1] == pixels[1] && p[2] == pixels[2];
        }
      }
      colour = same ? std::to_wstring(pixels[2]) + L"," + std::to_wstring(pixels[1]) + L"," +
                          std::to_wstring(pixels[0])
                    : L"mixed";
      ::GlobalUnlock(data);
      const HANDLE png = ::GetClipboardData(::RegisterClipboardFormatW(L"PNG"));
      const bool isPng = png && ::GlobalSize(png) > 8 &&
                         std::string(static_cast<const char*>(::GlobalLock(png)), 4) == "\x89PNG";
      if (png) ::GlobalUnlock(png);
      got = L"[" + std::to_wstring(width) + L"x" + std::to_wstring(height) + L" " + colour +
            (isPng ? L" png]" : L"]");
    }
    ::CloseClipboard();
    log += got;
  }
  HWND window_ = nullptr;
};

TEST_F(PhotoPaste, ThePictureArrivesBetweenTextAndKeysAndTheOldClipboardComesBack) {
  box.MakeCardWithPhoto("test", kCard, 33, 21, RGB(200, 30, 40));
  Start(L"[模板]\nF9 = 甲{照片}{Tab}{姓名}\n");
  ASSERT_TRUE(CopyText(L"操作员的文字"));
  PictureTarget target;
  ASSERT_TRUE(target.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return target.log.find(kCard[0]) != std::wstring::npos; }, 8000));
  EXPECT_EQ(target.log, L"甲[33x21 200,30,40 png][Tab]" + kCard[0]);
  EXPECT_TRUE(WaitFor([&] { return ClipboardText() == L"操作员的文字"; }, 5000));
  EXPECT_EQ(ClipboardText(), L"操作员的文字");
  EXPECT_EQ(Beeps(), 0);

  // A photo cut short: nothing pasted for it, one beep, the rest typed.
  const std::vector<std::wstring> second = {
      L"司马青山",       L"男", L"汉", L"19700101", L"江北省", L"990101197001010011", L"临山市",
      L"2010.01.01-长期"};
  box.MakeCard("broken", second);
  const std::string whole = box.Read(L"reader-sim\\cards\\broken\\zp.bmp").value_or("");
  box.Write(L"reader-sim\\cards\\broken\\zp.bmp", whole.substr(0, 60));
  box.PlaceCard("broken");
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == second[0]; }, 5000));
  target.log.clear();
  ASSERT_TRUE(target.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return target.log.find(second[0]) != std::wstring::npos; }, 8000));
  EXPECT_EQ(target.log, L"甲[Tab]" + second[0]);
  EXPECT_EQ(Beeps(), 1);
  EXPECT_EQ(ClipboardText(), L"操作员的文字");
}

// A real right click at a point of the screen.
void RightClickAt(POINT p) {
  ::SetCursorPos(p.x, p.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  ::SendInput(2, in, sizeof(INPUT));
}

bool MenuShown() {
  const HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu && ::IsWindowVisible(menu);
}

// The width and height a packed bitmap of the clipboard tells.
std::pair<LONG, LONG> SizeOf(const std::vector<char>& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return {0, 0};
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  return {header->biWidth, header->biHeight};
}

TEST_F(PhotoPaste, ThePhotoBoxMenuCopiesThePhotoAndSavesItWhereTheOperatorSays) {
  box.MakeCardWithPhoto("test", kCard, 27, 19, RGB(10, 200, 10));
  Start(L"");
  const HWND main = program->MainWindow();
  const HWND photo = ::GetDlgItem(main, IDC_PHOTO);
  ASSERT_TRUE(BringForward(main, main));
  ASSERT_TRUE(CopyText(L"旧"));

  RightClickAt(CentreOf(photo));
  ASSERT_TRUE(WaitFor(MenuShown, 3000));
  PressKey(VK_DOWN);
  PressKey(VK_RETURN);  // 复制照片
  ASSERT_TRUE(WaitFor([] { return !Held(CF_DIB).empty(); }, 3000));
  EXPECT_EQ(SizeOf(Held(CF_DIB)), std::make_pair(27L, 19L));
  EXPECT_FALSE(Held(::RegisterClipboardFormatW(L"PNG")).empty());

  RightClickAt(CentreOf(photo));
  ASSERT_TRUE(WaitFor(MenuShown, 3000));
  PressKey(VK_DOWN);
  PressKey(VK_DOWN);
  PressKey(VK_RETURN);  // 保存照片…
  HWND dialog = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (dialog = ::FindWindowW(L"#32770", L"保存照片")) != nullptr; }, 5000));
  // The name {照片文件} would use is offered.
  HWND nameBox = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        nameBox = ::FindWindowExW(dialog, nullptr, L"Edit", nullptr);
        if (!nameBox) {
          const HWND combo = ::FindWindowExW(dialog, nullptr, L"ComboBoxEx32", nullptr);
          const HWND inner =
              combo ? ::FindWindowExW(combo, nullptr, L"ComboBox", nullptr) : nullptr;
          nameBox = inner ? ::FindWindowExW(inner, nullptr, L"Edit", nullptr) : nullptr;
        }
        return nameBox != nullptr;
      },
      3000));
  EXPECT_EQ(program->Text(nameBox), kCard[5] + L".jpg");
  const std::wstring saved = box.Path(L"mine.png");
  ASSERT_TRUE(BringForward(dialog, nameBox));
  PressKey('A', {VK_CONTROL});
  TypeText(saved);
  PressKey(VK_RETURN);
  ASSERT_TRUE(WaitFor([&] { return box.Read(L"mine.png").has_value(); }, 5000));
  EXPECT_EQ(box.Read(L"mine.png")->substr(0, 4), std::string("\x89PNG"));

  // The operator's file stays, also at exit.
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_TRUE(box.Read(L"mine.png").has_value());
}

}  // namespace
}  // namespace keyentry::wintest
