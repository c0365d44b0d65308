// Time of one poll tick of the real main window with a card, without the
// reader library's own time: the windows run in this process with a reader
// that answers at once, and two cards take turns.
#include <windows.h>

#include "BenchUtil.h"
#include "tests/support/KeyFiles.h"
#include "ui/App.h"

namespace keyentry::bench {
namespace {

class InstantReader : public ReaderLibrary {
 public:
  double spentMs = 0;
  std::int32_t InitComm(std::int32_t port) override {
    return Timed([&] { return port == 1001; });
  }
  std::int32_t Authenticate() override {
    return Timed([] { return true; });
  }
  std::int32_t ReadContent(std::int32_t) override {
    return Timed([] { return true; });
  }
  std::int32_t CloseComm() override { return 1; }

 private:
  template <typename F>
  std::int32_t Timed(F f) {
    const double start = NowMs();
    const bool ok = f();
    spentMs += NowMs() - start;
    return ok ? 1 : 0;
  }
};

std::string ReadAll(const std::wstring& path) {
  return keyentry::Win32FileStore().ReadAll(path).value_or(std::string());
}

}  // namespace
}  // namespace keyentry::bench

int wmain() {
  using namespace keyentry::bench;
  const std::wstring folder = keyentry::ProgramFolder();
  const std::wstring cards = folder + L"\\demo-reader\\cards\\";
  const std::string text[2] = {ReadAll(cards + L"demo\\wz.txt"),
                               ReadAll(cards + L"second\\wz.txt")};
  const std::string photo[2] = {ReadAll(cards + L"demo\\zp.bmp"),
                                ReadAll(cards + L"second\\zp.bmp")};
  if (text[0].empty() || photo[1].empty()) {
    std::printf("demo cards not found beside the benchmark\n");
    return 1;
  }
  // The program's files go beside this executable: keep the build folder clean.
  const std::wstring keyFile = folder + L"\\SetKey.txt";
  WriteFileBytes(keyFile, keyentry::test::kKeyFileF1ToF8);

  InstantReader reader;
  keyentry::App app(::GetModuleHandleW(nullptr), &reader);
  if (!app.Start(SW_SHOWNORMAL)) return 1;
  HWND main = app.MainWindow();
  ::KillTimer(main, 1);  // ticks come from here only
  keyentry::PumpMessagesFor(300);

  // Two runs: cards whose photos have the same size (as real card photos
  // do), and cards whose photos differ in size, so that the photo box is
  // resized and the window behind it repainted at every tick.
  for (int run = 0; run < 2; ++run) {
    const bool sameSize = run == 0;
    std::vector<double> ticks;
    for (int i = 0; i < 300; ++i) {
      WriteFileBytes(folder + L"\\wz.txt", text[i % 2]);
      WriteFileBytes(folder + L"\\zp.bmp", photo[sameSize ? 0 : i % 2]);
      reader.spentMs = 0;
      const double start = NowMs();
      ::SendMessageW(main, WM_TIMER, 1, 0);
      const double tick = NowMs() - start - reader.spentMs;
      ::KillTimer(main, 1);                // the tick starts the timer again
      if (i >= 20) ticks.push_back(tick);  // the first ones warm caches
      keyentry::PumpMessagesFor(2);
    }
    Print(sameSize ? "poll tick, new card, photo of the same size"
                   : "poll tick, new card, photo of another size",
          Summarise(ticks));
  }
  ::SendMessageW(main, WM_CLOSE, 0, 0);
  keyentry::PumpMessagesFor(200);
  for (const wchar_t* name : {L"\\SetKey.txt", L"\\wz.txt", L"\\zp.bmp"})
    ::DeleteFileW((folder + name).c_str());
  return 0;
}
