// Typing by pasting: during a paste the clipboard holds only the text, marked
// private; afterwards it holds what it held before, whoever put it there.
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

#include "Harness.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"

namespace keyentry::wintest {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Raw(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  return Bytes(p, p + size);
}
Bytes WideBytes(const std::wstring& text) {
  return Raw(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}
Bytes NarrowBytes(const std::string& text) { return Raw(text.c_str(), text.size() + 1); }

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

// Another program that copies text: this test executable started again with
// --clipboard-helper=<the text, four hex digits a character> puts it on the
// clipboard and exits before any test runs.
[[maybe_unused]] const bool kRunAsAnotherProgram = [] {
  const std::wstring line = ::GetCommandLineW();
  const std::wstring flag = L"--clipboard-helper=";
  const std::size_t at = line.find(flag);
  if (at == std::wstring::npos) return false;
  std::wstring text;
  for (std::size_t i = at + flag.size(); i + 4 <= line.size(); i += 4) {
    text += static_cast<wchar_t>(std::wcstoul(line.substr(i, 4).c_str(), nullptr, 16));
  }
  ::ExitProcess(Put({{CF_UNICODETEXT, WideBytes(text)}}) ? 0 : 1);
}();

bool AnotherProgramCopies(const std::wstring& text) {
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(exe) + L"\" --clipboard-helper=";
  for (const wchar_t c : text) {
    wchar_t hex[5];
    std::swprintf(hex, 5, L"%04x", static_cast<unsigned>(c));
    line += hex;
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return false;
  }
  const UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
  DWORD code = 1;
  // Messages are served meanwhile: emptying the clipboard asks its owner first.
  return WaitFor([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 10000) &&
         ::GetExitCodeProcess(process.get(), &code) && code == 0;
}

// Another thread, with a window of its own, holds the clipboard open for a while.
class Holder {
 public:
  explicit Holder(DWORD ms)
      : thread_([this, ms] {
          const ClipboardWindow window;
          const OpenedClipboard clipboard(window.get(), 5000);
          held_ = static_cast<bool>(clipboard);
          ::Sleep(ms);
        }) {}
  ~Holder() { thread_.join(); }
  bool Holding() {
    return WaitFor([&] { return held_.load(); }, 5000);
  }

 private:
  std::atomic<bool> held_{false};
  std::thread thread_;
};

// Reads as programs do, with a window of their own (the paster tells the
// target by the window that has the clipboard open).
Bytes Read(UINT format) {
  const ClipboardWindow window;
  const OpenedClipboard clipboard(window.get(), 5000);
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

// A target that takes the pasted text (as Ctrl+V in an edit control does).
void Take() { Text(); }

// The paste on a worker thread, as the program does it; this thread's
// windows are served meanwhile.
ClipboardPasteResult PasteOnAWorker(const std::wstring& text, std::function<void()> sendCtrlV) {
  ClipboardPasteResult result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = PasteThroughClipboard(text, sendCtrlV);
    done = true;
  });
  EXPECT_TRUE(WaitFor([&] { return done.load(); }, 15000));
  worker.join();
  return result;
}

TEST(Clipboard, CtrlVPastesTheTextAndTheTextOfAnotherProgramIsBackAfterwards) {
  ASSERT_TRUE(AnotherProgramCopies(L"原来复制的 text"));
  ASSERT_EQ(Text(), L"原来复制的 text");
  TargetEdit target;
  target.Focus();
  const ClipboardPasteResult result =
      PasteOnAWorker(L"张三 11010519491231002X", [] { PressKey('V', {VK_CONTROL}); });
  EXPECT_TRUE(target.WaitForText(L"张三 11010519491231002X"));
  EXPECT_EQ(result.outcome, PasteOutcome::kTaken);
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"原来复制的 text");
}

TEST(Clipboard, FileListAndHtmlAreBackAndOnlyThePrivateTextIsThereMeanwhile) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  Bytes files = Raw(&header, sizeof header);
  const wchar_t names[] = L"C:\\docs\\a.txt\0C:\\docs\\b.txt\0";  // and the array's zero
  const Bytes nameBytes = Raw(names, sizeof names);
  files.insert(files.end(), nameBytes.begin(), nameBytes.end());
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
  EXPECT_EQ(result.outcome, PasteOutcome::kTaken);
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Read(CF_HDROP), files);
  EXPECT_EQ(Read(html), page);
  EXPECT_FALSE(::IsClipboardFormatAvailable(exclude));
}

// Pixels of a bitmap, top row first, without the unused fourth byte.
std::vector<DWORD> PixelsOf(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  std::vector<DWORD> pixels(static_cast<std::size_t>(width * height));
  const WindowDC screen(nullptr);
  ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
              DIB_RGB_COLORS);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

TEST(Clipboard, ImagesAndDrawingsAreBackAfterAPaste) {
  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};  // top row, then bottom row
  {
    const ClipboardWindow window;
    const OpenedClipboard clipboard(window.get(), 5000);
    ASSERT_TRUE(clipboard && ::EmptyClipboard());
    ASSERT_TRUE(::SetClipboardData(CF_BITMAP, ::CreateBitmap(2, 2, 1, 32, colours)));
  }
  EXPECT_TRUE(PasteThroughClipboard(L"王五", Take).outcome == PasteOutcome::kTaken);
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
  EXPECT_TRUE(PasteThroughClipboard(L"王五", Take).outcome == PasteOutcome::kTaken);
  EXPECT_EQ(Read(CF_DIB), dib);

  const auto bitsOf = [](HENHMETAFILE metafile) {
    Bytes bits(::GetEnhMetaFileBits(metafile, 0, nullptr));
    ::GetEnhMetaFileBits(metafile, static_cast<UINT>(bits.size()), bits.data());
    return bits;
  };
  const HDC drawing = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  ::Rectangle(drawing, 1, 2, 30, 40);
  const HENHMETAFILE metafile = ::CloseEnhMetaFile(drawing);
  const Bytes drawn = bitsOf(metafile);
  ASSERT_GT(drawn.size(), 100u);
  {
    const ClipboardWindow window;
    const OpenedClipboard clipboard(window.get(), 5000);
    ASSERT_TRUE(clipboard && ::EmptyClipboard() && ::SetClipboardData(CF_ENHMETAFILE, metafile));
  }
  EXPECT_TRUE(PasteThroughClipboard(L"王五", Take).outcome == PasteOutcome::kTaken);
  const OpenedClipboard clipboard(nullptr, 5000);
  EXPECT_EQ(bitsOf(static_cast<HENHMETAFILE>(::GetClipboardData(CF_ENHMETAFILE))), drawn);
}

TEST(Clipboard, ABusyClipboardIsWaitedForHalfASecondThenLeftAsItWas) {
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"不变")}}));
  bool pasted = false;
  {
    Holder holder(300);
    ASSERT_TRUE(holder.Holding());
    const ClipboardPasteResult result =
        PasteThroughClipboard(L"赵六", [&] { pasted = Text() == L"赵六"; });
    EXPECT_EQ(result.outcome, PasteOutcome::kTaken);
    EXPECT_TRUE(pasted);
  }
  pasted = false;
  std::optional<Holder> holder;
  holder.emplace(1000);
  ASSERT_TRUE(holder->Holding());
  const DWORD sequence = ::GetClipboardSequenceNumber();
  const DWORD start = ::GetTickCount();
  const ClipboardPasteResult result = PasteThroughClipboard(L"赵六", [&] { pasted = true; });
  const DWORD took = ::GetTickCount() - start;
  EXPECT_EQ(result.outcome, PasteOutcome::kBusy);
  EXPECT_FALSE(pasted);
  EXPECT_GE(took, 450u);  // it did wait; the upper bound only shows it gave up before the holder
  EXPECT_LT(took, 1000u);
  holder.reset();
  EXPECT_EQ(::GetClipboardSequenceNumber(), sequence);
  EXPECT_EQ(Text(), L"不变");
}

TEST(Clipboard, PuttingBackWaitsForABusyClipboardAndLeavesNewerContentAlone) {
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"旧的")}}));
  std::optional<Holder> holder;
  const auto takeAndHoldForASecond = [&] {
    Take();
    holder.emplace(1000);
    EXPECT_TRUE(holder->Holding());
  };
  PasteTimings patient;
  patient.restoreWaitMs = 5000;
  ClipboardPasteResult result = PasteThroughClipboard(L"x", takeAndHoldForASecond, patient);
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"旧的");
  holder.reset();

  // Held longer than putting back waits: the old content still waits, and
  // goes back at the next try; unless another program has copied something
  // meanwhile, which is found out once the clipboard is open.
  for (const bool copiedMeanwhile : {false, true}) {
    PasteTimings impatient;
    impatient.restoreWaitMs = 100;
    ClipboardPaster paster(impatient);
    EXPECT_EQ(paster.Paste(L"x", takeAndHoldForASecond, ::GetCurrentProcessId()),
              PasteOutcome::kTaken);
    EXPECT_EQ(paster.Restore(ClipboardAction::kRestoreNow, 500), ClipboardRestore::Failed);
    EXPECT_TRUE(paster.Hold().Pending());
    holder.reset();
    if (copiedMeanwhile) {
      ASSERT_TRUE(AnotherProgramCopies(L"新复制的"));
    }
    EXPECT_EQ(paster.Restore(ClipboardAction::kRestoreNow, 500),
              copiedMeanwhile ? ClipboardRestore::Superseded : ClipboardRestore::Restored);
    EXPECT_FALSE(paster.Hold().Pending());
    EXPECT_EQ(Text(), copiedMeanwhile ? L"新复制的" : L"旧的");
    ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"旧的")}}));
  }

  // A program that copies the pasted text again (as some remote-desktop
  // clients do) does not keep it there; one that copies something else does.
  result = PasteThroughClipboard(L"x", [] {
    Take();
    EXPECT_TRUE(AnotherProgramCopies(L"x"));
  });
  EXPECT_EQ(result.restore, ClipboardRestore::Restored);
  EXPECT_EQ(Text(), L"旧的");
  result = PasteThroughClipboard(L"x", [] {
    Take();
    EXPECT_TRUE(AnotherProgramCopies(L"新复制的"));
  });
  EXPECT_EQ(result.restore, ClipboardRestore::Superseded);
  EXPECT_EQ(Text(), L"新复制的");
}

TEST(Clipboard, ContentTooLargeToSaveIsLeftAloneAndLargeContentUnderTheCapComesBackWhole) {
  const UINT large = ::RegisterClipboardFormatW(L"KeyEntryTest.Large");
  Bytes bytes(2 << 20);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"大的")}, {large, bytes}}));
  const DWORD sequence = ::GetClipboardSequenceNumber();
  PasteTimings small;
  small.saveCapBytes = 1 << 20;
  bool pasted = false;
  const ClipboardPasteResult result = PasteThroughClipboard(
      L"孙七", [&] { pasted = true; }, small);
  EXPECT_EQ(result.outcome, PasteOutcome::kTooLarge);
  EXPECT_FALSE(pasted);
  EXPECT_EQ(::GetClipboardSequenceNumber(), sequence);  // not even emptied
  // Under the cap (the program's is 64 MB) it is saved and comes back.
  EXPECT_EQ(PasteThroughClipboard(L"孙七", Take).outcome, PasteOutcome::kTaken);
  EXPECT_EQ(Read(large), bytes);
  EXPECT_EQ(Text(), L"大的");
}

TEST(Clipboard, GivingUpTheOldContentLeavesNoPastedTextBehind) {
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"旧的")}}));
  ClipboardPaster paster;
  EXPECT_EQ(paster.Paste(L"11010519491231002X", Take, ::GetCurrentProcessId()),
            PasteOutcome::kTaken);
  {
    Holder holder(1000);
    ASSERT_TRUE(holder.Holding());
    EXPECT_EQ(paster.Restore(ClipboardAction::kGiveUp, 100), ClipboardRestore::Failed);
    EXPECT_TRUE(paster.Hold().Pending());  // our text is still to go
  }
  EXPECT_EQ(paster.Restore(ClipboardAction::kGiveUp, 100), ClipboardRestore::Restored);
  EXPECT_FALSE(paster.Hold().Pending());
  EXPECT_EQ(Text(), L"");
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
}

TEST(Clipboard, SavedAreTheFormatsTheSystemCannotMakeAgain) {
  const ClipboardWindow window;
  std::vector<UINT> formats;
  const auto save = [&] {
    const OpenedClipboard clipboard(window.get(), 5000);
    const std::optional<ClipboardSnapshot> snapshot = ClipboardSnapshot::Save(clipboard, 1 << 20);
    formats.clear();
    for (const auto& item : snapshot->Items()) formats.push_back(item.format);
  };
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"身份证")}}));
  save();
  EXPECT_EQ(formats, (std::vector<UINT>{CF_UNICODETEXT, CF_LOCALE}));

  // ANSI text that is not the Unicode text made narrow stays, and comes back.
  ASSERT_TRUE(Put({{CF_UNICODETEXT, WideBytes(L"unicode")}, {CF_TEXT, NarrowBytes("ansi")}}));
  save();
  EXPECT_EQ(formats, (std::vector<UINT>{CF_UNICODETEXT, CF_TEXT, CF_LOCALE}));
  EXPECT_TRUE(PasteThroughClipboard(L"x", Take).outcome == PasteOutcome::kTaken);
  EXPECT_EQ(Read(CF_TEXT), NarrowBytes("ansi"));

  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  const UniqueBitmap bitmap(::CreateBitmap(2, 2, 1, 32, colours));
  const Bytes dib = PackedDibOf(bitmap.get());
  ASSERT_EQ(dib.size(), 40u + 16u);
  // Header size, width, height (positive: bottom-up), planes, bits per pixel.
  EXPECT_EQ(Bytes(dib.begin(), dib.begin() + 16),
            (Bytes{40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0}));
  std::vector<DWORD> pixels(4);
  std::memcpy(pixels.data(), dib.data() + 40, 16);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  EXPECT_EQ(pixels, (std::vector<DWORD>{0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}));
}

}  // namespace
}  // namespace keyentry::wintest
