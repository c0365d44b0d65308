// Keeps a picture of the main window with the demo card, for a person to
// look at (build/win32/artifacts/main-window.bmp).
#include <gtest/gtest.h>

#include "Harness.h"
#include "platform/Handles.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

// Writes the screen area of the window as a 24-bit bitmap file.
bool SaveWindowPicture(HWND window, const std::wstring& path) {
  RECT r{};
  ::GetWindowRect(window, &r);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  const WindowDC screen(nullptr);
  const UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  const UniqueBitmap dib(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !dib) return false;
  {
    const SelectedObject selected(memory.get(), dib.get());
    ::BitBlt(memory.get(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY);
  }
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4;
  const DWORD imageSize = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + imageSize;
  const UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  DWORD n = 0;
  return ::WriteFile(f.get(), &fh, sizeof fh, &n, nullptr) &&
         ::WriteFile(f.get(), &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr) &&
         ::WriteFile(f.get(), bits, imageSize, &n, nullptr);
}

TEST(Screenshot, MainWindowWithTheDemoCard) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  box.PlaceCard("demo");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return !program.Text(IDC_VALUE_NAME).empty(); }, 3000));
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_CLOCK) != L"时间"; }, 2500));
  ::SetForegroundWindow(program.MainWindow());
  PumpMessagesFor(500);
  const std::wstring dir = ProgramFolder() + L"\\..\\artifacts";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  EXPECT_TRUE(SaveWindowPicture(program.MainWindow(), dir + L"\\main-window.bmp"));
  // The second card's photo is smaller: the box shrinks and what it
  // uncovers is painted again.
  box.PlaceCard("second");
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"欧阳样例"; }, 3000));
  PumpMessagesFor(500);
  EXPECT_TRUE(SaveWindowPicture(program.MainWindow(), dir + L"\\main-window-second-card.bmp"));
  program.Click(IDC_KEY_SETTINGS);
  HWND options = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (options = program.FindTopLevel(L"KeyEntryOptions")) != nullptr; }, 5000));
  PumpMessagesFor(500);
  EXPECT_TRUE(SaveWindowPicture(options, dir + L"\\settings-window.bmp"));
}

}  // namespace
}  // namespace keyentry::wintest
