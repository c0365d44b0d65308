// Templates and typing modes in the real program: KeyEntry.exe runs from a
// scratch folder with the simulated reader and a card, and types into a
// window of this benchmark that keeps the characters it receives (and on
// Ctrl+V the clipboard's text) without drawing them: an edit control under
// Wine on Xvfb spends several milliseconds drawing each Chinese character,
// which would swamp what is measured here. Measured from the injected
// key-down until the window has received the whole text ("key to text"), and how long the injected
// key-down takes to return: under Wine SendInput returns only when every
// low-level hook has answered for the event, so that is the time of the
// program's hook callback plus one round trip between the processes. The
// program is started once per typing mode, all in one run.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "BenchUtil.h"
#include "tests/support/KeyFiles.h"
#include "ui/res/resource.h"

namespace keyentry::bench {
namespace {

// Name 3, sex 1, nation 1, birth 8, address 35, ID 18, authority 10 and
// validity 21 characters.
const wchar_t* const kCard[] = {
    L"林示范",
    L"男",
    L"汉",
    L"19880315",
    L"青岚市望湖区演示路一百二十八号样板花园小区北区七栋二单元一六零三室东侧",
    L"99010119880315049X",
    L"青岚市公安局望湖分局",
    L"2016.03.15-2036.03.15"};
const wchar_t* const kEightFields =
    L"{姓名}{Tab}{性别}{Tab}{民族}{Tab}{出生日期}{Tab}{住址}{Tab}{身份证号}{Tab}{签发机关}{Tab}{"
    L"有效期限}";

std::string Narrow(const std::wstring& text, UINT codePage) {
  const int n = ::WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
  return out;
}

// The window typed into: WM_CHAR appended, Ctrl+V (character 0x16) pastes.
// For each paste: from the V key-down until the clipboard handed over the
// text (the program renders it on request).
// An F9 key-down is noted with its time and how much text had come before it.
std::wstring received;
std::vector<double> ctrlVToTaken;
double ctrlVDownAt = 0;
double f9At = -1;
std::size_t receivedBeforeF9 = 0;

LRESULT CALLBACK TargetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN && wParam == VK_F9 && f9At < 0) {
    f9At = NowMs();
    receivedBeforeF9 = received.size();
  }
  if (msg == WM_KEYDOWN && wParam == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
    ctrlVDownAt = NowMs();
  }
  if (msg != WM_CHAR) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  if (wParam != 0x16) {
    received += static_cast<wchar_t>(wParam);
  } else if (::OpenClipboard(hwnd)) {
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
      ctrlVToTaken.push_back(NowMs() - ctrlVDownAt);
      received += static_cast<const wchar_t*>(::GlobalLock(data));
      ::GlobalUnlock(data);
    } else if (const HANDLE picture = ::GetClipboardData(CF_DIB)) {
      // A picture ({照片}) counts as one character once it has arrived whole.
      if (::GlobalSize(picture) > sizeof(BITMAPINFOHEADER)) received += L'\x25A3';
    }
    ::CloseClipboard();
  }
  return 0;
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Waits, serving messages, until the window has `length` characters or the
// time is up; the time it took, or -1.
double WaitForLength(double start, std::size_t length, double timeoutMs) {
  while (NowMs() - start < timeoutMs) {
    Pump();
    if (received.size() >= length) return NowMs() - start;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return -1;
}

void Press(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[0].ki.wScan = in[1].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, in, sizeof(INPUT));
}

double Percentile(std::vector<double> samples, double q) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto at = static_cast<std::size_t>(std::ceil(q * static_cast<double>(samples.size())));
  return samples[std::min(samples.size() - 1, at == 0 ? 0 : at - 1)];
}

class Bench {
 public:
  const std::wstring& Folder() const { return folder_; }
  Bench() : folder_(ScratchFolder(L"keyentry-typing-bench")) {
    const std::wstring bin = ProgramFolder();
    for (const wchar_t* name :
         {L"KeyEntry.exe", L"KeyEntryReader.exe", L"SendStr.dll", L"ostra.dll"}) {
      ::CopyFileW((bin + L"\\" + name).c_str(), (folder_ + L"\\" + name).c_str(), FALSE);
    }
    for (const wchar_t* dir :
         {L"\\reader-sim", L"\\reader-sim\\cards", L"\\reader-sim\\cards\\b"}) {
      ::CreateDirectoryW((folder_ + dir).c_str(), nullptr);
    }
    ::CopyFileW((bin + L"\\demo-reader\\cards\\demo\\zp.bmp").c_str(),
                (folder_ + L"\\reader-sim\\cards\\b\\zp.bmp").c_str(), FALSE);
    WriteFileBytes(folder_ + L"\\reader-sim\\ports.txt", "1001\r\n");
    WriteFileBytes(folder_ + L"\\reader-sim\\card.txt", "b\r\n");
    WNDCLASSW wc{};
    wc.lpfnWndProc = &TargetProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TypingBenchTarget";
    ::RegisterClassW(&wc);
    frame_ =
        ::CreateWindowExW(0, wc.lpszClassName, L"typing bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                          10, 10, 600, 200, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~Bench() {
    Stop();
    ::DestroyWindow(frame_);
  }

  // Starts the program with these settings and waits for the card; a card
  // text other than the benchmark's card can be given (its name first).
  bool Start(const std::wstring& ini, const std::string& cardText = std::string()) {
    Stop();
    WriteFileBytes(folder_ + L"\\reader-sim\\cards\\b\\wz.txt",
                   cardText.empty() ? Card() : cardText);
    WriteFileBytes(folder_ + L"\\SetKey.txt", keyentry::test::kKeyFileF1ToF8);
    WriteFileBytes(folder_ + L"\\KeyEntry.ini", Narrow(ini, CP_UTF8));
    std::wstring command = L"\"" + folder_ + L"\\KeyEntry.exe\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder_.c_str(), &si, &process_)) {
      return false;
    }
    const double deadline = NowMs() + 20000;
    while (NowMs() < deadline) {
      HWND main = ::FindWindowW(L"KeyEntryMain", nullptr);
      wchar_t name[16] = {};
      if (main) ::GetDlgItemTextW(main, IDC_VALUE_NAME, name, 16);
      if (std::wstring(name) == kCard[0]) {
        main_ = main;
        PumpMessagesFor(300);
        return true;
      }
      PumpMessagesFor(20);
    }
    return false;
  }

  static std::string Card() {
    std::string card;
    for (const wchar_t* line : kCard) card += Narrow(line, 936) + "\r\n";
    return card;
  }

  // Presses a field key and at once F9, which no field uses, `rounds` times
  // (the first `warmUp` not counted): from the field key's key-down until
  // F9 reaches the window, which must be after the whole `expected` text.
  std::vector<double> MeasureKeyAfterField(WORD vk, const std::wstring& expected, int rounds,
                                           int warmUp, int* wrong) {
    std::vector<double> keyToF9;
    for (int i = 0; i < rounds; ++i) {
      ::SetForegroundWindow(frame_);
      ::SetFocus(frame_);
      PumpMessagesFor(30);
      received.clear();
      f9At = -1;
      INPUT in[4] = {};
      for (int k = 0; k < 4; ++k) {
        const WORD key = k < 2 ? vk : static_cast<WORD>(VK_F9);
        in[k].type = INPUT_KEYBOARD;
        in[k].ki.wVk = key;
        in[k].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        in[k].ki.dwFlags = k % 2 ? KEYEVENTF_KEYUP : 0;
      }
      const double start = NowMs();
      ::SendInput(2, &in[0], sizeof(INPUT));  // the field key, as the test presses it
      ::SendInput(2, &in[2], sizeof(INPUT));  // then F9
      while (f9At < 0 && NowMs() - start < 10000) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
      }
      PumpMessagesFor(400);
      if (f9At < 0 || received != expected || receivedBeforeF9 != expected.size()) ++*wrong;
      if (i < warmUp || f9At < 0) continue;
      keyToF9.push_back(f9At - start);
    }
    return keyToF9;
  }

  struct Samples {
    std::vector<double> keyToText, keyDown;
    int wrong = 0;
  };

  // 20 presses 20 ms apart (F1..F8 in turn), `rounds` times: from the
  // first press until the last text is complete; wrong: a round whose texts
  // did not all arrive, in order.
  Samples Burst(int rounds = 10) {
    Samples s;
    std::wstring expected;
    for (int i = 0; i < 20; ++i) expected += kCard[i % 8];
    for (int r = 0; r < rounds; ++r) {
      ::SetForegroundWindow(frame_);
      ::SetFocus(frame_);
      PumpMessagesFor(30);
      received.clear();
      const double start = NowMs();
      for (int i = 0; i < 20; ++i) {
        const double due = start + 20.0 * i;
        while (NowMs() < due) {
          Pump();
          ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        Press(static_cast<WORD>(VK_F1 + i % 8));
      }
      const double took = WaitForLength(start, expected.size(), 30000);
      PumpMessagesFor(500);
      if (received != expected || took < 0) ++s.wrong;
      if (took >= 0) s.keyToText.push_back(took);
    }
    return s;
  }

  // Typing on read: the card taken off the simulated reader for 2 s (the
  // same card counts as new again only after 1.5 s without it), then the
  // reader reports it again; from then until the whole template is
  // in the window, `rounds` times.
  Samples OnRead(const std::wstring& expected, int rounds = 20) {
    Samples s;
    const std::wstring cardFile = folder_ + L"\\reader-sim\\card.txt";
    for (int r = 0; r < rounds; ++r) {
      ::DeleteFileW(cardFile.c_str());
      PumpMessagesFor(2000);
      ::SetForegroundWindow(frame_);
      ::SetFocus(frame_);
      PumpMessagesFor(30);
      received.clear();
      const double start = NowMs();
      WriteFileBytes(cardFile, "b\r\n");
      const double took = WaitForLength(start, expected.size(), 5000);
      PumpMessagesFor(300);
      if (received != expected || took < 0) ++s.wrong;
      if (took >= 0) s.keyToText.push_back(took);
    }
    return s;
  }

  void Stop() {
    if (!process_.hProcess) return;
    if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.hProcess, 1);
    }
    ::CloseHandle(process_.hProcess);
    ::CloseHandle(process_.hThread);
    process_ = {};
    main_ = nullptr;
  }

  // Presses the key `rounds` times (the first `warmUp` not counted) and
  // waits each time for `expected` in the window.
  Samples Measure(WORD vk, const std::wstring& expected, int rounds = 30, int warmUp = 5) {
    Samples s;
    for (int i = 0; i < rounds; ++i) {
      ::SetForegroundWindow(frame_);
      ::SetFocus(frame_);
      PumpMessagesFor(30);
      received.clear();
      INPUT in[2] = {};
      in[0].type = in[1].type = INPUT_KEYBOARD;
      in[0].ki.wVk = in[1].ki.wVk = vk;
      in[0].ki.wScan = in[1].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
      in[1].ki.dwFlags = KEYEVENTF_KEYUP;
      const double start = NowMs();
      ::SendInput(1, &in[0], sizeof(INPUT));
      const double returned = NowMs();
      ::SendInput(1, &in[1], sizeof(INPUT));
      const int length = static_cast<int>(expected.size());
      double done = -1;
      while (NowMs() - start < 5000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          ::TranslateMessage(&msg);
          ::DispatchMessageW(&msg);
        }
        if (static_cast<int>(received.size()) >= length) {
          done = NowMs();
          break;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
      }
      PumpMessagesFor(400);  // anything late, and a paste's clipboard put back
      if (received != expected || done < 0) ++s.wrong;
      if (i < warmUp || done < 0) continue;
      s.keyToText.push_back(done - start);
      s.keyDown.push_back(returned - start);
    }
    return s;
  }

 private:
  std::wstring folder_;
  HWND frame_ = nullptr;
  HWND main_ = nullptr;
  PROCESS_INFORMATION process_{};
};

// A program that reads every new clipboard content at once (as some
// remote-desktop clients do): how long after a text is offered with delayed
// rendering it asks for it. The offer on this thread, the reader on another
// with a clipboard format listener, `rounds` times.
double offeredAt = 0;
std::vector<double> earlyReadDelays;

LRESULT CALLBACK OfferingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_RENDERFORMAT) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  earlyReadDelays.push_back(NowMs() - offeredAt);
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, 4 * sizeof(wchar_t));
  std::memcpy(::GlobalLock(memory), L"abc", 4 * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  ::SetClipboardData(CF_UNICODETEXT, memory);
  return 0;
}

LRESULT CALLBACK ReadingAtOnceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLIPBOARDUPDATE && ::OpenClipboard(hwnd)) {
    ::GetClipboardData(CF_UNICODETEXT);
    ::CloseClipboard();
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MessageWindow(const wchar_t* className, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = className;
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                           nullptr);
}

std::vector<double> EarlyReads(int rounds = 40) {
  earlyReadDelays.clear();
  const HWND offering = MessageWindow(L"TypingBenchOwner", &OfferingProc);
  std::atomic<DWORD> readerThread{0};
  std::thread reader([&] {
    const HWND window = MessageWindow(L"TypingBenchReader", &ReadingAtOnceProc);
    ::AddClipboardFormatListener(window);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    readerThread = ::GetCurrentThreadId();
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    ::RemoveClipboardFormatListener(window);
    ::DestroyWindow(window);
  });
  while (readerThread == 0) ::Sleep(1);
  for (int i = 0; i < rounds; ++i) {
    if (!::OpenClipboard(offering)) continue;
    ::EmptyClipboard();
    ::SetClipboardData(CF_UNICODETEXT, nullptr);
    offeredAt = NowMs();
    ::CloseClipboard();
    PumpMessagesFor(200);
  }
  ::PostThreadMessageW(readerThread, WM_QUIT, 0, 0);
  reader.join();
  ::DestroyWindow(offering);
  return earlyReadDelays;
}

void Report(const char* what, const Bench::Samples& s) {
  char line[128];
  std::snprintf(line, sizeof line, "%s: key to text", what);
  Print(line, Summarise(s.keyToText));
  std::snprintf(line, sizeof line, "%s: key-down returned", what);
  Print(line, Summarise(s.keyDown));
  std::printf("%-44s p99 %8.3f ms  (%zu presses counted, %d typed wrong or late)\n", "",
              Percentile(s.keyDown, 0.99), s.keyDown.size(), s.wrong);
}

}  // namespace
}  // namespace keyentry::bench

int wmain() {
  using namespace keyentry::bench;
  Bench bench;
  std::wstring eight;
  for (int k = 0; k < 8; ++k) eight += (k ? L"\t" : L"") + std::wstring(kCard[k]);
  const std::wstring address = kCard[4], id = kCard[5];
  const std::wstring templates =
      std::wstring(L"[模板]\nF9 = ") + kEightFields + L"\nF10 = {身份证号}\n";

  if (!bench.Start(templates)) {
    std::printf("KeyEntry.exe did not show the card\n");
    return 1;
  }
  const auto field = bench.Measure(VK_F5, address);
  const auto tmpl = bench.Measure(VK_F9, eight, 105, 5);
  const auto uniId = bench.Measure(VK_F10, id);
  Report("unicode, 1 field of 35 (SendStr.dll)", field);
  Report("unicode, 8-field template, no pause", tmpl);
  Report("unicode, template of the ID number", uniId);
  std::printf("%-44s %.2f (median over median; target at most 2)\n", "template over one field",
              Summarise(tmpl.keyToText).median / Summarise(field.keyToText).median);

  bench.Start(templates + L"[输入]\n方式 = 按键\n");
  const auto keysId = bench.Measure(VK_F10, id);
  const auto keysTmpl = bench.Measure(VK_F9, eight);
  Report("keys, template of the ID number", keysId);
  Report("keys, 8-field template, no pause", keysTmpl);
  std::printf("%-44s %.2f (ID number), %.2f (8 fields) (median over median; at most 1.5)\n",
              "keys over unicode",
              Summarise(keysId.keyToText).median / Summarise(uniId.keyToText).median,
              Summarise(keysTmpl.keyToText).median / Summarise(tmpl.keyToText).median);

  bench.Start(templates + L"[输入]\n方式 = 粘贴\n");
  ctrlVToTaken.clear();
  const auto paste = bench.Measure(VK_F5, address);
  Report("paste, 1 field of 35", paste);
  Print("paste: Ctrl+V arrived until the text was taken", Summarise(ctrlVToTaken));

  // The photo: pasted as a picture, and written to a file whose path is typed.
  const std::wstring photos = bench.Folder() + L"\\photos";
  bench.Start(L"[模板]\nF11 = {照片}\nF12 = {照片文件}\n[照片]\n文件夹 = " + photos + L"\n");
  const auto picture = bench.Measure(VK_F11, L"\x25A3");
  const auto photoFile = bench.Measure(VK_F12, photos + L"\\" + id + L".jpg");
  Report("{照片}: key to the picture pasted", picture);
  Report("{照片文件}: key to the JPEG's path typed", photoFile);

  // 20 presses 20 ms apart in each mode: everything, in order.
  const struct {
    const char* name;
    const wchar_t* typing;
  } modes[] = {
      {"unicode", L""}, {"keys", L"[输入]\n方式 = 按键\n"}, {"paste", L"[输入]\n方式 = 粘贴\n"}};
  for (const auto& mode : modes) {
    bench.Start(templates + mode.typing);
    const auto burst = bench.Burst();
    char what[80];
    std::snprintf(what, sizeof what, "%s, 20 presses 20 ms apart: until the last", mode.name);
    Print(what, Summarise(burst.keyToText));
    std::printf("%-44s %zu rounds, %d with a text missing or out of order\n", "",
                burst.keyToText.size(), burst.wrong);
  }

  // Typing on read of a 6-field template, against the poll period.
  bench.Start(
      L"[模板]\n读卡后 = "
      L"{姓名}{Tab}{性别}{Tab}{出生日期}{Tab}{住址}{Tab}{身份证号}{Tab}{签发机关}\n");
  std::wstring six;
  for (const int k : {0, 1, 3, 4, 5, 6})
    six += (six.empty() ? L"" : L"\t") + std::wstring(kCard[k]);
  const auto onRead = bench.OnRead(six);
  Print("on read: reader reports the card until typed", Summarise(onRead.keyToText));
  std::printf("%-44s %zu reads, %d typed wrong or not at all; poll period 300 ms\n", "",
              onRead.keyToText.size(), onRead.wrong);
  bench.Stop();

  Print("clipboard: text offered until read at once", Summarise(EarlyReads()));

  // A 60 KB address, as the Windows test LongCardField uses (the card stays
  // within the 64 KiB read of wz.txt): kept cut to 128 units, F5 types those
  // and F9 pressed right after waits for them.
  const std::wstring pattern = L"江南省临水市青石区杏花巷十八号";
  std::string big;
  for (int k = 0; k < 4; ++k) big += Narrow(kCard[k], 936) + "\r\n";
  const std::string unit = Narrow(pattern, 936);
  while (big.size() + unit.size() < 60000) big += unit;
  for (int k = 5; k < 8; ++k) big += "\r\n" + Narrow(kCard[k], 936);
  std::wstring cut;
  while (cut.size() < 128) cut += pattern;
  cut.resize(128);
  int wrong = 0;
  if (!bench.Start(L"", big)) {
    std::printf("KeyEntry.exe did not show the card with the 60 KB address\n");
    return 1;
  }
  const auto longField = bench.MeasureKeyAfterField(VK_F5, cut, 23, 3, &wrong);
  Print("60 KB address cut to 128: F5 key to F9", Summarise(longField));
  std::printf("%-44s (%zu presses counted, %d typed wrong, late or out of order)\n", "",
              longField.size(), wrong);
  bench.Stop();
  return 0;
}
