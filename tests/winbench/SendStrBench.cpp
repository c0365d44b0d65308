// Time until SendStr returns for a 100-character Chinese field, typed into
// an edit control of this process.
#include <windows.h>

#include "BenchUtil.h"

int wmain() {
  using namespace keyentry::bench;
  HMODULE library = ::LoadLibraryW((keyentry::ProgramFolder() + L"\\SendStr.dll").c_str());
  auto send = library ? reinterpret_cast<void(WINAPI*)(const char*)>(
                            reinterpret_cast<void*>(::GetProcAddress(library, "SendStr")))
                      : nullptr;
  if (!send) {
    std::printf("SendStr.dll not found beside the benchmark\n");
    return 1;
  }
  std::wstring field;
  const std::wstring chars = L"青岚市望湖区演示路一百二十八号样板花园小区北区七栋二单元";
  while (field.size() < 100) field += chars;
  field.resize(100);
  char ansi[512] = {};
  ::WideCharToMultiByte(CP_ACP, 0, field.c_str(), static_cast<int>(field.size()), ansi,
                        sizeof ansi - 1, nullptr, nullptr);

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
    send(ansi);
    const double took = NowMs() - start;
    // Let the typing arrive before the next round.
    const double deadline = NowMs() + 3000;
    while (::GetWindowTextLengthW(edit) < 100 && NowMs() < deadline) keyentry::PumpMessagesFor(2);
    if (::GetWindowTextLengthW(edit) == 100) ++complete;
    if (i >= 10) samples.push_back(took);
  }
  Print("SendStr, 100 Chinese characters (until return)", Summarise(samples));
  std::printf("%-44s %d of 60 rounds arrived complete\n", "", complete);
  ::DestroyWindow(frame);
  return 0;
}
