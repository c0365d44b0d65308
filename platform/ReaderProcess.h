#pragma once
// The reader helper KeyEntryReader.exe as a process: started with a pair of
// anonymous pipes and a handle to this process, all inherited and nothing
// else, so that no other program can reach it, and named by number on its
// command line (its standard handles are NUL, out of the reader library's
// reach); a call waits for its reply up to its deadline, and a helper that
// misses it is ended.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "core/HelperProcess.h"
#include "platform/Handles.h"

namespace keyentry {

inline constexpr const wchar_t* kReaderHelperFileName = L"KeyEntryReader.exe";

class ReaderProcess : public HelperProcess {
 public:
  // folder: the program's folder, where the helper and ostra.dll lie.
  explicit ReaderProcess(std::wstring folder);
  ~ReaderProcess() override;
  ReaderProcess(const ReaderProcess&) = delete;
  ReaderProcess& operator=(const ReaderProcess&) = delete;

  bool Start() override;
  CallOutcome Call(ReaderCall call, std::int32_t argument, std::uint32_t deadlineMs) override;
  void End() override;

 private:
  static void CALLBACK DeadlinePassed(void* self, BOOLEAN);
  void CloseLocked();

  std::wstring folder_;
  std::mutex mutex_;
  UniqueKernelHandle process_;
  UniqueKernelHandle toHelper_;
  UniqueKernelHandle fromHelper_;
  bool inCall_ = false;
  bool endAsked_ = false;  // End() came while a call waited
  bool deadlinePassed_ = false;
  std::uint32_t sequence_ = 0;
};

}  // namespace keyentry
