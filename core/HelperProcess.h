#pragma once
// The reader's helper process as the supervisor sees it: started, called
// with a deadline, ended. The program's own is platform/ReaderProcess; the
// tests use a scripted one.
#include <cstdint>

#include "core/ReaderCall.h"

namespace keyentry {

// End() may be called from any thread, also while another thread waits in
// Call(): that call then ends with kEnded.
class HelperProcess {
 public:
  virtual ~HelperProcess() = default;
  // Starts a fresh helper; false when it cannot be started.
  virtual bool Start() = 0;
  virtual CallOutcome Call(ReaderCall call, std::int32_t argument, std::uint32_t deadlineMs) = 0;
  // Ends the helper (nothing when none runs) and lets go of its handles.
  virtual void End() = 0;
};

}  // namespace keyentry
