// How long the program's interface thread is held when one of its windows
// goes away: the key settings window closed (from WM_CLOSE posted to it until
// the main window answers a sent message again), and the whole program ended
// (from WM_CLOSE posted to the main window until the process has exited).
// Under Wine the X11 driver may wait for a window manager when it hides a
// window; these figures show whether it does in the setting the benchmark
// runs in (see scripts/wine-env.sh).
#include <windows.h>

#include <string>

#include "BenchUtil.h"
#include "tests/support/KeyFiles.h"
#include "ui/res/resource.h"

namespace keyentry::bench {
namespace {

class Program {
 public:
  explicit Program(const std::wstring& folder) {
    WriteFileBytes(folder + L"\\SetKey.txt", keyentry::test::kKeyFileF1ToF8);
    std::wstring command = L"\"" + folder + L"\\KeyEntry.exe\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &si, &pi_))
      return;
    main_ = WaitForWindow(L"KeyEntryMain", 20000);
  }
  ~Program() {
    if (!pi_.hProcess) return;
    if (::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
      if (::WaitForSingleObject(pi_.hProcess, 10000) == WAIT_TIMEOUT)
        ::TerminateProcess(pi_.hProcess, 1);
    }
    ::CloseHandle(pi_.hProcess);
    ::CloseHandle(pi_.hThread);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  HWND Main() const { return main_; }

  // A visible top-level window of the program of this class, within the time.
  HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs) const {
    const double start = NowMs();
    while (NowMs() - start < timeoutMs) {
      for (HWND w = ::FindWindowExW(nullptr, nullptr, className, nullptr); w;
           w = ::FindWindowExW(nullptr, w, className, nullptr)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid == pi_.dwProcessId && ::IsWindowVisible(w)) return w;
      }
      PumpMessagesFor(5);
    }
    return nullptr;
  }

  // Opens the key settings window and closes it again; the time from the
  // close until the main window answers, or a negative value on failure.
  double CloseSettingsWindow() const {
    ::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(IDC_KEY_SETTINGS, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(main_, IDC_KEY_SETTINGS)));
    HWND options = WaitForWindow(L"KeyEntryOptions", 10000);
    if (!options) return -2;
    PumpMessagesFor(200);  // shown and painted
    const double start = NowMs();
    ::PostMessageW(options, WM_CLOSE, 0, 0);
    // A sent message is served before a posted one: ask only once the
    // window has begun to go, or the answer could come before the close.
    while (::IsWindowVisible(options) && NowMs() - start < 10000) ::Sleep(0);
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored)) return -3;
    const double answered = NowMs() - start;
    PumpMessagesFor(200);
    return ::IsWindow(options) ? -4 : answered;
  }

  // Closes the program; the time until its process has ended, or a
  // negative value on failure.
  double Exit() const {
    const double start = NowMs();
    ::PostMessageW(main_, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(pi_.hProcess, 20000) != WAIT_OBJECT_0) return -1;
    return NowMs() - start;
  }

 private:
  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr;
};

}  // namespace
}  // namespace keyentry::bench

int wmain() {
  using namespace keyentry::bench;
  const std::wstring bin = keyentry::ProgramFolder();
  const std::wstring folder = ScratchFolder(L"keyentry-window-bench");
  for (const wchar_t* name : {L"KeyEntry.exe", L"SendStr.dll", L"ostra.dll"})
    ::CopyFileW((bin + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
  ::CreateDirectoryW((folder + L"\\reader-sim").c_str(), nullptr);
  WriteFileBytes(folder + L"\\reader-sim\\ports.txt", "1001\r\n");
  std::vector<double> closeSettings, exit;
  int failed = 0;
  for (int i = 0; i < 11; ++i) {
    Program program(folder);
    if (!program.Main()) {
      std::printf("round %d: no main window\n", i);
      ++failed;
      continue;
    }
    keyentry::PumpMessagesFor(300);
    const double c = program.CloseSettingsWindow();
    const double e = program.Exit();
    if (c < 0 || e < 0) {
      std::printf("round %d: closing the settings window %.0f, the program %.0f\n", i, c, e);
      ++failed;
    }
    if (i < 1) continue;  // warm-up
    if (c >= 0) closeSettings.push_back(c);
    if (e >= 0) exit.push_back(e);
  }
  Print("key settings window closed: main window answers", Summarise(closeSettings));
  Print("program closed: process ended", Summarise(exit));
  std::printf("%-44s %zu rounds counted, %d failed\n", "", closeSettings.size(), failed);
  return failed == 0 ? 0 : 1;
}
