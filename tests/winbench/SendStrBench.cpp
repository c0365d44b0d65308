// SendStr with Chinese fields, typed into an edit control of this process:
// the time until it returns for a 100-character field; and the time the
// program's keyboard hook procedure takes when one key types one or eight
// fields of a given length (a low-level hook of this process, on a thread of
// its own like the program's, calls SendStr for the injected F1).
#include <windows.h>

#include <atomic>

#include "BenchUtil.h"

namespace {

using keyentry::bench::NowMs;
using SendFunction = void(WINAPI*)(const char*);

SendFunction send = nullptr;
HHOOK hook = nullptr;
std::string hookText;  // what F1 types, `hookFields` times
int hookFields = 0;
std::atomic<double> hookMs{-1};

std::string Field(int length) {
  std::wstring field;
  const std::wstring chars = L"青岚市望湖区演示路一百二十八号样板花园小区北区七栋二单元";
  while (static_cast<int>(field.size()) < length) field += chars;
  field.resize(static_cast<std::size_t>(length));
  std::string ansi(field.size() * 2 + 1, '\0');
  const int n = ::WideCharToMultiByte(CP_ACP, 0, field.c_str(), length, &ansi[0],
                                      static_cast<int>(ansi.size()), nullptr, nullptr);
  ansi.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return ansi;
}

LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam) {
  const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && key->vkCode == VK_F1) {
    if (wParam == WM_KEYDOWN) {
      const double start = NowMs();
      for (int i = 0; i < hookFields; ++i) send(hookText.c_str());
      hookMs = NowMs() - start;
    }
    return 1;
  }
  return ::CallNextHookEx(hook, code, wParam, lParam);
}

DWORD WINAPI HookThread(LPVOID ready) {
  hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, &HookProc, ::GetModuleHandleW(nullptr), 0);
  ::SetEvent(static_cast<HANDLE>(ready));
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  ::UnhookWindowsHookEx(hook);
  return 0;
}

void PressF1() {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = VK_F1;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, in, sizeof(INPUT));
}

}  // namespace

int wmain() {
  using namespace keyentry::bench;
  HMODULE library = ::LoadLibraryW((keyentry::ProgramFolder() + L"\\SendStr.dll").c_str());
  send = library ? reinterpret_cast<SendFunction>(
                       reinterpret_cast<void*>(::GetProcAddress(library, "SendStr")))
                 : nullptr;
  if (!send) {
    std::printf("SendStr.dll not found beside the benchmark\n");
    return 1;
  }
  const std::string hundred = Field(100);

  HWND frame = ::CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                 600, 200, nullptr, nullptr, nullptr, nullptr);
  HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 580,
                                160, frame, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(frame);
  ::SetFocus(edit);
  keyentry::PumpMessagesFor(200);

  std::vector<double> samples;
  int complete = 0;
  for (int i = 0; i < 60; ++i) {
    ::SetWindowTextW(edit, L"");
    const double start = NowMs();
    send(hundred.c_str());
    const double took = NowMs() - start;
    // Let the typing arrive before the next round.
    const double deadline = NowMs() + 3000;
    while (::GetWindowTextLengthW(edit) < 100 && NowMs() < deadline) keyentry::PumpMessagesFor(2);
    if (::GetWindowTextLengthW(edit) == 100) ++complete;
    if (i >= 10) samples.push_back(took);
  }
  Print("SendStr, 100 Chinese characters (until return)", Summarise(samples));
  std::printf("%-44s %d of 60 rounds arrived complete\n", "", complete);

  // Inside the hook procedure. Under Wine every injected event passes this
  // process's hook before SendInput goes on, so the time grows with the text.
  HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD threadId = 0;
  HANDLE thread = ::CreateThread(nullptr, 0, &HookThread, ready, 0, &threadId);
  ::WaitForSingleObject(ready, 5000);
  struct Case {
    int fields, length;
    const char* name;
  };
  for (const Case& c : {Case{1, 35, "hook: 1 field of 35 characters"},
                        Case{1, 128, "hook: 1 field of 128 characters"},
                        Case{8, 128, "hook: 8 fields of 128 characters"},
                        Case{1, 256, "hook: 1 field of 256 characters"},
                        Case{8, 256, "hook: 8 fields of 256 characters"}}) {
    hookText = Field(c.length);
    hookFields = c.fields;
    samples.clear();
    for (int i = 0; i < 12; ++i) {
      ::SetWindowTextW(edit, L"");
      hookMs = -1;
      PressF1();
      const double deadline = NowMs() + 30000;
      while (hookMs < 0 && NowMs() < deadline) keyentry::PumpMessagesFor(5);
      keyentry::PumpMessagesFor(100);  // let the typing arrive
      if (i >= 2 && hookMs >= 0) samples.push_back(hookMs);
    }
    Print(c.name, Summarise(samples));
  }
  ::PostThreadMessageW(threadId, WM_QUIT, 0, 0);
  ::WaitForSingleObject(thread, 5000);
  ::CloseHandle(thread);
  ::CloseHandle(ready);
  ::DestroyWindow(frame);
  return 0;
}
