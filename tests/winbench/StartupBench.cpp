// Start-up time from process creation until the main window is on the
// screen, for KeyEntry.exe (simulated reader attached, no card) and for a
// minimal window program built the same way (same toolchain, static runtime
// and manifest), measured in turns; and, for comparison, the minimal program
// without the manifest, and with one push button (its first control loads
// the common controls library).
#include <windows.h>

#include "BenchUtil.h"
#include "tests/support/KeyFiles.h"

namespace keyentry::bench {
namespace {

struct Search {
  DWORD pid;
  bool found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == s->pid && ::IsWindowVisible(hwnd)) {
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    if (lstrcmpW(cls, L"KeyEntryMain") == 0 || lstrcmpW(cls, L"MinimalWindow") == 0) {
      s->found = true;
      return FALSE;
    }
  }
  return TRUE;
}

// Milliseconds until a visible main window, or a negative value on failure.
double TimeToWindow(const std::wstring& exe, const std::wstring& folder) {
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double start = NowMs();
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &si, &pi))
    return -1;
  double took = -1;
  while (NowMs() - start < 20000) {
    Search s{pi.dwProcessId, false};
    ::EnumWindows(&FindVisible, reinterpret_cast<LPARAM>(&s));
    if (s.found) {
      took = NowMs() - start;
      break;
    }
    ::Sleep(1);
  }
  // Close it the ordinary way and wait for the end.
  Search s{pi.dwProcessId, false};
  for (int i = 0; i < 2000 && ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; ++i) {
    struct Closer {
      static BOOL CALLBACK Close(HWND hwnd, LPARAM pid) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner == static_cast<DWORD>(pid) && ::IsWindowVisible(hwnd))
          ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
      }
    };
    ::EnumWindows(&Closer::Close, static_cast<LPARAM>(pi.dwProcessId));
    ::Sleep(10);
  }
  (void)s;
  if (::WaitForSingleObject(pi.hProcess, 5000) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 1);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return took;
}

}  // namespace
}  // namespace keyentry::bench

int wmain() {
  using namespace keyentry::bench;
  const std::wstring bin = keyentry::ProgramFolder();
  const std::wstring folder = ScratchFolder(L"keyentry-startup-bench");
  for (const wchar_t* name :
       {L"KeyEntry.exe", L"KeyEntryReader.exe", L"SendStr.dll", L"ostra.dll", L"MinimalWindow.exe",
        L"MinimalWindowPlain.exe", L"MinimalWindowButton.exe"})
    ::CopyFileW((bin + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
  ::CreateDirectoryW((folder + L"\\reader-sim").c_str(), nullptr);
  WriteFileBytes(folder + L"\\reader-sim\\ports.txt", "1001\r\n");
  std::vector<double> program, minimal, plain, button;
  for (int i = 0; i < 32; ++i) {
    WriteFileBytes(folder + L"\\SetKey.txt", keyentry::test::kKeyFileF1ToF8);
    const double a = TimeToWindow(folder + L"\\KeyEntry.exe", folder);
    const double b = TimeToWindow(folder + L"\\MinimalWindow.exe", folder);
    const double c = TimeToWindow(folder + L"\\MinimalWindowPlain.exe", folder);
    const double d = TimeToWindow(folder + L"\\MinimalWindowButton.exe", folder);
    if (i < 2) continue;  // warm-up
    if (a >= 0) program.push_back(a);
    if (b >= 0) minimal.push_back(b);
    if (c >= 0) plain.push_back(c);
    if (d >= 0) button.push_back(d);
  }
  const Stats p = Summarise(program);
  const Stats m = Summarise(minimal);
  Print("start-up to main window: KeyEntry.exe", p);
  Print("start-up to main window: minimal program", m);
  Print("  (minimal program without the manifest)", Summarise(plain));
  Print("  (minimal program with one push button)", Summarise(button));
  std::printf("%-44s %.2f (median over median, %zu runs each)\n", "ratio", p.median / m.median,
              program.size());
  std::printf("%-44s %.2f (fastest over fastest)\n", "ratio", p.min / m.min);
  return 0;
}
