// The cost of the reader's helper process: a poll's KLV_Authenticate through
// KeyEntryReader.exe and the pipe, against the same call of the simulated
// library loaded into this process; and the time from a crash inside the
// library to the next good answer (a fresh helper started, the port opened
// again, the call made).
#include <windows.h>

#include "BenchUtil.h"
#include "core/SupervisedReader.h"
#include "platform/ReaderProcess.h"

namespace keyentry::bench {
namespace {
class TickClock : public MonotonicClock {
 public:
  std::uint64_t NowMs() override { return ::GetTickCount64(); }
};
}  // namespace
}  // namespace keyentry::bench

int wmain() {
  using namespace keyentry;
  using namespace keyentry::bench;
  const std::wstring bin = ProgramFolder();
  const std::wstring folder = ScratchFolder(L"keyentry-reader-bench");
  for (const wchar_t* name : {L"KeyEntryReader.exe", L"ostra.dll"})
    ::CopyFileW((bin + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
  ::CreateDirectoryW((folder + L"\\reader-sim").c_str(), nullptr);
  WriteFileBytes(folder + L"\\reader-sim\\ports.txt", "1001\r\n");
  const std::wstring faults = folder + L"\\reader-sim\\faults.txt";
  ::DeleteFileW(faults.c_str());

  // The call itself, in this process.
  HMODULE library = ::LoadLibraryW((folder + L"\\ostra.dll").c_str());
  using Plain = int(WINAPI*)();
  using Port = int(WINAPI*)(int);
  auto init =
      reinterpret_cast<Port>(reinterpret_cast<void*>(::GetProcAddress(library, "KLV_InitComm")));
  auto authenticate = reinterpret_cast<Plain>(
      reinterpret_cast<void*>(::GetProcAddress(library, "KLV_Authenticate")));
  if (!init || !authenticate) {
    std::printf("simulated ostra.dll not found beside the benchmark\n");
    return 1;
  }
  init(1001);
  std::vector<double> direct;
  for (int i = 0; i < 520; ++i) {
    const double start = NowMs();
    authenticate();
    if (i >= 20) direct.push_back(NowMs() - start);
  }
  ::FreeLibrary(library);

  ReaderProcess process(folder);
  TickClock clock;
  SupervisedReader reader(process, clock);
  reader.InitComm(1001);
  std::vector<double> helper;
  for (int i = 0; i < 520; ++i) {
    const double start = NowMs();
    reader.Authenticate();
    if (i >= 20) helper.push_back(NowMs() - start);
  }
  const Stats d = Summarise(direct), h = Summarise(helper);
  Print("KLV_Authenticate in this process", d);
  Print("KLV_Authenticate through the helper", h);
  std::printf("%-44s median %8.3f ms\n", "cost of the round trip", h.median - d.median);

  // A crash, then the next good answer. Each round waits out the pause of
  // one failure, which is none.
  std::vector<double> recovery;
  for (int i = 0; i < 20; ++i) {
    WriteFileBytes(faults, "crash=Authenticate\r\n");
    try {
      reader.Authenticate();
    } catch (const ReaderUnavailable&) {
    }
    const double crashed = NowMs();
    ::DeleteFileW(faults.c_str());
    reader.Authenticate();
    recovery.push_back(NowMs() - crashed);
  }
  Print("crash to the next good answer", Summarise(recovery));
  std::printf("helper restarts: %u\n", reader.Facts().restarts);
  reader.CloseAtExit();
  return 0;
}
