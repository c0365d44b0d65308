// Typing by pasting: during a paste the clipboard holds only the text, marked
// private; afterwards it holds what it held before, whoever put it there.
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

#include "Harness.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"

namespace keyentry::wintest {
namespace {

using Bytes = std::vector<unsigned char>;

std::wstring HeldEventName(unsigned pid) {
  return L"KeyEntryClipboardHeld-" + std::to_wstring(pid);
}

Bytes WideBytes(const std::wstring& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.c_str());
  return Bytes(p, p + (text.size() + 1) * sizeof(wchar_t));
}
Bytes NarrowBytes(const std::string& text) {
  return Bytes(text.c_str(), text.c_str() + text.size() + 1);
}

// Puts these formats on the clipboard, as a program copying something does.
bool Put(const std::vector<std::pair<UINT, Bytes>>& formats) {
  const ClipboardWindow window;
  const OpenedClipboard clipboard(window.get(), 5000);
  if (!clipboard || !::EmptyClipboard()) return false;
  for (const auto& [format, bytes] : formats) {
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(::GlobalLock(memory), bytes.data(), bytes.size());
    ::GlobalUnlock(memory);
    if (!::SetClipboardData(format, memory)) return false;
  }
  return true;
}

// "Another program": this test executable started again with
// --clipboard-helper=put:<text, 4 hex digits a character> or
// --clipboard-helper=hold:<ms>:<pid of the test> does that, then exits
// before any test runs.
[[maybe_unused]] const bool kRunAsAnotherProgram = [] {
  const std::wstring line = ::GetCommandLineW();
  const std::size_t at = line.find(L"--clipboard-helper=");
  if (at == std::wstring::npos) return false;
  const std::wstring job = line.substr(at + std::wcslen(L"--clipboard-helper="));
  unsigned ms = 0, pid = 0;
  if (job.rfind(L"put:", 0) == 0) {
    std::wstring text;
    for (std::size_t i = 4; i + 4 <= job.size(); i += 4) {
      text += static_cast<wchar_t>(std::wcstoul(job.substr(i, 4).c_str(), nullptr, 16));
    }
    Put({{CF_UNICODETEXT, WideBytes(text)}});
  } else if (std::swscanf(job.c_str(), L"hold:%u:%u", &ms, &pid) == 2) {
    const ClipboardWindow window;
    const OpenedClipboard clipboard(window.get(), 5000);
    const UniqueKernelHandle held(
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, HeldEventName(pid).c_str()));
    ::SetEvent(held.get());
    ::Sleep(ms);
  }
  ::ExitProcess(0);
}();

class AnotherProgram {
 public:
  explicit AnotherProgram(const std::wstring& job)
      : held_(
            ::CreateEventW(nullptr, TRUE, FALSE, HeldEventName(::GetCurrentProcessId()).c_str())) {
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe) + L"\" --clipboard-helper=" + job;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      ::CloseHandle(pi.hThread);
      process_.reset(pi.hProcess);
    }
  }
  static AnotherProgram Putting(const std::wstring& text) {
    std::wstring job = L"put:";
    for (const wchar_t c : text) {
      wchar_t hex[5];
      std::swprintf(hex, 5, L"%04x", static_cast<unsigned>(c));
      job += hex;
    }
    return AnotherProgram(job);
  }
  // Served messages meanwhile: emptying the clipboard asks its owner first.
  bool Holding() {
    return WaitFor([&] { return Signalled(held_.get()); }, 10000);
  }
  bool Exited() {
    return WaitFor([&] { return Signalled(process_.get()); }, 10000);
  }

 private:
  static bool Signalled(HANDLE h) { return ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }
  UniqueKernelHandle held_;
  UniqueKernelHandle process_;
};

Bytes Read(UINT format) {
  const OpenedClipboard clipboard(nullptr, 5000);
  const HANDLE data = clipboard ? ::GetClipboardData(format) : nullptr;
  if (!data) return {};
  const auto* p = static_cast<const unsigned char*>(::GlobalLock(data));
  Bytes bytes(p, p + ::GlobalSize(data));
  ::GlobalUnlock(data);
  return bytes;
}
std::wstring Text() {
  const Bytes bytes = Read(CF_UNICODETEXT);
  return bytes.empty() ? L"" : std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
}

// The paste on a worker thread, as the program does it; this thread's
// windows are served meanwhile.
ClipboardPasteResult PasteOnAWorker(const std::wstring& text, std::function<void()> sendCtrlV,
                                    const ClipboardPasteOptions& options = {}) {
  ClipboardPasteResult result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = PasteThroughClipboard(text, sendCtrlV, options);
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }, 15000));
  worker.join();
  return result;
}

TEST(Clipboard, CtrlVPastesTheTextAndTheTextOfAnotherProgramIsBackAfterwards) {
  ASSERT_TRUE(AnotherProgram::Putting(L"原来复制的 text").Exited());
  ASSERT_EQ(Text(), L"原来复制的 text");
  TargetEdit target;
  target.Focus();
  const ClipboardPasteResult result =
      PasteOnAWorker(L"张三 11010519491231002X", [] { PressKey('V', {VK_CONTROL}); });
  EXPECT_TRUE(target.WaitForText(L"张三 11010519491231002X"));
  EXPECT_TRUE(result.textPlaced);
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"原来复制的 text");
}

TEST(Clipboard, FileListAndHtmlAreBackAndOnlyThePrivateTextIsThereMeanwhile) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  Bytes files(reinterpret_cast<const unsigned char*>(&header),
              reinterpret_cast<const unsigned char*>(&header + 1));
  const wchar_t names[] = L"C:\\docs\\a.txt\0C:\\docs\\b.txt\0";  // and the array's zero
  files.insert(files.end(), reinterpret_cast<const unsigned char*>(names),
               reinterpret_cast<const unsigned char*>(names) + sizeof names);
  const UINT html = ::RegisterClipboardFormatW(L"HTML Format");
  const Bytes page = NarrowBytes("Version:0.9\r\nStartHTML:-1\r\n<b>x</b>");
  ASSERT_TRUE(Put({{CF_HDROP, files}, {html, page}}));

  const UINT exclude = ::RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing");
  const UINT history = ::RegisterClipboardFormatW(L"CanIncludeInClipboardHistory");
  const UINT cloud = ::RegisterClipboardFormatW(L"CanUploadToCloudClipboard");
  std::wstring text;
  Bytes excluded, inHistory, toCloud;
  bool oldFormats = true;
  const ClipboardPasteResult result = PasteThroughClipboard(L"李四", [&] {
    text = Text();
    excluded = Read(exclude);
    inHistory = Read(history);
    toCloud = Read(cloud);
    oldFormats = ::IsClipboardFormatAvailable(CF_HDROP) || ::IsClipboardFormatAvailable(html);
  });
  EXPECT_EQ(text, L"李四");
  EXPECT_FALSE(excluded.empty());
  EXPECT_EQ(inHistory, (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(toCloud, (Bytes{0, 0, 0, 0}));
  EXPECT_FALSE(oldFormats);
  EXPECT_TRUE(result.textPlaced);
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Read(CF_HDROP), files);
  EXPECT_EQ(Read(html), page);
  EXPECT_FALSE(::IsClipboardFormatAvailable(exclude));
}

// Pixels of a bitmap, top row first, without the unused fourth byte.
std::vector<DWORD> PixelsOf(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(static_cast<std::size_t>(width * height));
  const WindowDC screen(nullptr);
  ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
              DIB_RGB_COLORS);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

TEST(Clipboard, ABitmapAndADeviceIndependentImageAreBackAfterAPaste) {
  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};  // top row, then bottom row
  {
    const ClipboardWindow window;
    const OpenedClipboard clipboard(window.get(), 5000);
    ASSERT_TRUE(clipboard && ::EmptyClipboard());
    ASSERT_TRUE(::SetClipboardData(CF_BITMAP, ::CreateBitmap(2, 2, 1, 32, colours)));
  }
  EXPECT_TRUE(PasteThroughClipboard(L"王五", [] {}).textPlaced);
  {
    const OpenedClipboard clipboard(nullptr, 5000);
    const auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(PixelsOf(bitmap, 2, 2), (std::vector<DWORD>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
  }

  // 2 x 1 pixels, 24 bits: blue-green-red red, then green, then row padding.
  const Bytes dib = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1,    0, 24,   0, 0, 0, 0, 0,
                     8,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0, 0,    0, 0, 0, 0, 0,
                     0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
  ASSERT_TRUE(Put({{CF_DIB, dib}}));
  EXPECT_TRUE(PasteThroughClipboard(L"王五", [] {}).textPlaced);
  EXPECT_EQ(Read(CF_DIB), dib);
}

TEST(Clipboard, ABusyClipboardIsWaitedForHalfASecondThenLeftAsItWas) {
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"不变")}}));
  bool pasted = false;
  {
    AnotherProgram holder(L"hold:300:" + std::to_wstring(::GetCurrentProcessId()));
    ASSERT_TRUE(holder.Holding());
    const ClipboardPasteResult result =
        PasteThroughClipboard(L"赵六", [&] { pasted = Text() == L"赵六"; });
    EXPECT_TRUE(result.textPlaced);
    EXPECT_TRUE(pasted);
    EXPECT_TRUE(holder.Exited());
  }
  pasted = false;
  AnotherProgram holder(L"hold:1000:" + std::to_wstring(::GetCurrentProcessId()));
  ASSERT_TRUE(holder.Holding());
  const DWORD sequence = ::GetClipboardSequenceNumber();
  const DWORD start = ::GetTickCount();
  const ClipboardPasteResult result = PasteThroughClipboard(L"赵六", [&] { pasted = true; });
  const DWORD took = ::GetTickCount() - start;
  EXPECT_FALSE(result.textPlaced);
  EXPECT_FALSE(pasted);
  EXPECT_GE(took, 450u);
  EXPECT_LE(took, 800u);
  ASSERT_TRUE(holder.Exited());
  EXPECT_EQ(::GetClipboardSequenceNumber(), sequence);
  EXPECT_EQ(Text(), L"不变");
}

TEST(Clipboard, PuttingBackWaitsForABusyClipboardAndLeavesNewerContentAlone) {
  const std::wstring pid = std::to_wstring(::GetCurrentProcessId());
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"旧的")}}));
  ClipboardPasteResult result = PasteThroughClipboard(L"x", [&] {
    AnotherProgram holder(L"hold:1000:" + pid);
    EXPECT_TRUE(holder.Holding());
  });
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"旧的");

  // Held longer than the paste waits: what was there is handed back.
  ClipboardPasteOptions impatient;
  impatient.restoreTimeoutMs = 100;
  result = PasteThroughClipboard(
      L"x", [&] { EXPECT_TRUE(AnotherProgram(L"hold:1000:" + pid).Holding()); }, impatient);
  EXPECT_EQ(result.restore, ClipboardRestore::Failed);
  {
    const ClipboardWindow window;
    const OpenedClipboard clipboard(window.get(), 5000);
    EXPECT_TRUE(result.unrestored.Restore(clipboard));
  }
  EXPECT_EQ(Text(), L"旧的");

  // A program that copies the pasted text again (as some remote-desktop
  // clients do) does not keep it there; one that copies something else does.
  result = PasteThroughClipboard(L"x", [] { EXPECT_TRUE(AnotherProgram::Putting(L"x").Exited()); });
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"旧的");
  result = PasteThroughClipboard(
      L"x", [] { EXPECT_TRUE(AnotherProgram::Putting(L"新复制的").Exited()); });
  EXPECT_EQ(result.restore, ClipboardRestore::Superseded);
  EXPECT_EQ(Text(), L"新复制的");
}

TEST(Clipboard, SavedAreTheFormatsTheSystemCannotMakeAgain) {
  const ClipboardWindow window;
  std::vector<UINT> formats;
  const auto save = [&] {
    const OpenedClipboard clipboard(window.get(), 5000);
    const ClipboardSnapshot snapshot = ClipboardSnapshot::Save(clipboard);
    formats.clear();
    for (const auto& item : snapshot.Items()) formats.push_back(item.format);
  };
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"身份证")}}));
  save();
  EXPECT_EQ(formats, (std::vector<UINT>{CF_UNICODETEXT, CF_LOCALE}));

  // ANSI text that is not the Unicode text made narrow stays, and comes back.
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"unicode")}, {CF_TEXT, NarrowBytes("ansi")}}));
  save();
  EXPECT_EQ(formats, (std::vector<UINT>{CF_UNICODETEXT, CF_TEXT, CF_LOCALE}));
  EXPECT_TRUE(PasteThroughClipboard(L"x", [] {}).textPlaced);
  EXPECT_EQ(Read(CF_TEXT), NarrowBytes("ansi"));

  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  const UniqueBitmap bitmap(::CreateBitmap(2, 2, 1, 32, colours));
  const Bytes dib = PackedDibOf(bitmap.get());
  ASSERT_EQ(dib.size(), 40u + 16u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 2);
  EXPECT_EQ(header.biHeight, 2);
  EXPECT_EQ(header.biBitCount, 32);
  std::vector<DWORD> pixels(4);
  std::memcpy(pixels.data(), dib.data() + 40, 16);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  EXPECT_EQ(pixels,
            (std::vector<DWORD>{0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}));  // bottom row first
}

}  // namespace
}  // namespace keyentry::wintest
