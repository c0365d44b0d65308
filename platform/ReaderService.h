#pragma once
// The reader, asked from the interface thread without ever waiting on it: a
// job (a port search, a poll) runs on a thread of its own against the
// supervised helper process, and what it found is taken on the interface
// thread afterwards, carried there as a window message.
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/ReaderLibrary.h"
#include "core/SupervisedReader.h"
#include "platform/ReaderProcess.h"

namespace keyentry {

class ReaderService {
 public:
  using Job = std::function<void(ReaderLibrary&)>;  // where the reader is called
  using Done = std::function<void()>;               // then, on the interface thread
  virtual ~ReaderService() = default;
  // One job at a time: the caller waits for its Done before the next.
  virtual void Submit(Job job, Done done) = 0;
  // From inside a job: note runs on the interface thread, before the job's
  // Done (never after Shutdown). For progress, such as the port being tried.
  virtual void Tell(Done note) = 0;
  // At exit, on the interface thread, within about two seconds whatever the
  // helper does: KLV_CloseComm once with a short deadline when the helper is
  // free (a call under way gets 300 ms to end), then the helper is ended. No
  // Done runs afterwards.
  virtual void Shutdown() = 0;
  virtual ReaderHelperFacts Facts() const = 0;
};

// A library in this process, called at once on the interface thread (for
// measurements in a test harness).
class InlineReaderService : public ReaderService {
 public:
  explicit InlineReaderService(ReaderLibrary& reader) : reader_(reader) {}
  void Submit(Job job, Done done) override;
  void Tell(Done note) override;
  void Shutdown() override;
  ReaderHelperFacts Facts() const override { return ReaderHelperFacts{}; }

 private:
  ReaderLibrary& reader_;
  bool closed_ = false;
};

// The program's own: KeyEntryReader.exe beside the program.
class HelperReaderService : public ReaderService {
 public:
  explicit HelperReaderService(const std::wstring& folder);
  ~HelperReaderService() override;
  HelperReaderService(const HelperReaderService&) = delete;
  HelperReaderService& operator=(const HelperReaderService&) = delete;

  void Submit(Job job, Done done) override;
  void Tell(Done note) override;
  void Shutdown() override;
  ReaderHelperFacts Facts() const override { return supervised_.Facts(); }

 private:
  class TickClock : public MonotonicClock {
   public:
    std::uint64_t NowMs() override { return ::GetTickCount64(); }
  };
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  void Run();
  void RunDones();
  // Waits up to ms for the thread to have no job; true when it has none.
  bool WaitUntilIdle(DWORD ms);

  ReaderProcess process_;
  TickClock clock_;
  SupervisedReader supervised_;
  HWND window_ = nullptr;  // message-only, of the interface thread
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::deque<Done> dones_;
  bool busy_ = false;
  bool stopping_ = false;
  bool finished_ = false;
  std::thread thread_;
};

}  // namespace keyentry
