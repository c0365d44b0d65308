#include "platform/ReaderProcess.h"

#include <utility>
#include <vector>

#include "core/FileStore.h"
#include "core/PathNames.h"
#include "core/ReaderProtocol.h"
#include "platform/PipeMessages.h"
#include "platform/ReaderDll.h"

namespace keyentry {

namespace {

// How long an ended helper may take to be gone, so that a fresh one finds
// the reader's port free.
constexpr DWORD kEndWaitMs = 3000;

// The handle made inheritable; false when that fails.
bool Inheritable(HANDLE h) {
  return ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
}

// Starts the helper with exactly these handles inherited where the system
// allows naming them (PROC_THREAD_ATTRIBUTE_HANDLE_LIST; where it does not,
// every inheritable handle is, and the program keeps none but these while it
// starts the helper). The pipes are not its standard handles: the reader
// library shares the process and may print, and whatever it printed would
// land among the replies. Its standard input, output and error are NUL.
bool CreateHelper(const std::wstring& exe, std::wstring command, HANDLE in, HANDLE out,
                  HANDLE parent, HANDLE nul, PROCESS_INFORMATION& pi) {
  HANDLE inherited[4] = {in, out, parent, nul};
  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> buffer(size ? size : 1);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
  const bool withList = size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size) &&
                        ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                    inherited, sizeof inherited, nullptr, nullptr);
  STARTUPINFOEXW si{};
  si.StartupInfo.cb = withList ? sizeof si : sizeof si.StartupInfo;
  si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  si.StartupInfo.hStdInput = nul;
  si.StartupInfo.hStdOutput = nul;
  si.StartupInfo.hStdError = nul;
  if (withList) si.lpAttributeList = list;
  const DWORD flags = withList ? EXTENDED_STARTUPINFO_PRESENT : 0;
  // The helper makes the program folder its current folder itself (a deep
  // folder cannot be given here).
  const bool ok = ::CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, TRUE, flags, nullptr,
                                   nullptr, &si.StartupInfo, &pi) != 0;
  if (withList) ::DeleteProcThreadAttributeList(list);
  return ok;
}

// The null device, for the helper's standard handles.
HANDLE OpenNul() {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE h =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// A handle's value as the helper's command line names it (an inherited
// handle has the same value in the helper).
std::wstring Number(HANDLE h) { return std::to_wstring(reinterpret_cast<std::uintptr_t>(h)); }

}  // namespace

ReaderProcess::ReaderProcess(std::wstring folder) : folder_(std::move(folder)) {}

ReaderProcess::~ReaderProcess() { End(); }

bool ReaderProcess::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (process_) return true;
  HANDLE requestRead = nullptr, requestWrite = nullptr, replyRead = nullptr, replyWrite = nullptr;
  if (!::CreatePipe(&requestRead, &requestWrite, nullptr, 0)) return false;
  UniqueKernelHandle childIn(requestRead), toHelper(requestWrite);
  if (!::CreatePipe(&replyRead, &replyWrite, nullptr, 0)) return false;
  UniqueKernelHandle fromHelper(replyRead), childOut(replyWrite);
  HANDLE self = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0)) {
    return false;
  }
  UniqueKernelHandle parent(self);
  if (!Inheritable(childIn.get()) || !Inheritable(childOut.get())) return false;
  UniqueKernelHandle nul(OpenNul());
  if (!nul) return false;

  const std::wstring path = PathInFolder(folder_, kReaderHelperFileName);
  std::vector<std::wstring> names{path};
  // A path too long for CreateProcess: its short form, or the bare name in
  // the current folder (which the program made its own folder at start).
  for (const std::wstring& form : {ExtendedLengthPath(path), path}) {
    std::wstring shortPath(32768, L'\0');
    const DWORD n =
        ::GetShortPathNameW(form.c_str(), &shortPath[0], static_cast<DWORD>(shortPath.size()));
    if (n == 0 || n >= shortPath.size()) continue;
    shortPath.resize(n);
    if (shortPath.rfind(L"\\\\?\\", 0) == 0) shortPath.erase(0, 4);
    if (shortPath != path) names.push_back(shortPath);
  }
  std::wstring current(32768, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(current.size()), &current[0]);
  current.resize(length < current.size() ? length : 0);
  if (!current.empty() && (current.back() == L'\\' || current.back() == L'/')) current.pop_back();
  if (!current.empty() && ::lstrcmpiW(current.c_str(), folder_.c_str()) == 0) {
    names.push_back(kReaderHelperFileName);
  }
  PROCESS_INFORMATION pi{};
  bool started = false;
  for (const std::wstring& exe : names) {
    // The handles by number: the program, the requests, the replies.
    const std::wstring command = L"\"" + exe + L"\" " + Number(parent.get()) + L" " +
                                 Number(childIn.get()) + L" " + Number(childOut.get());
    started =
        CreateHelper(exe, command, childIn.get(), childOut.get(), parent.get(), nul.get(), pi);
    if (started) break;
  }
  if (!started) return false;
  ::CloseHandle(pi.hThread);
  process_.reset(pi.hProcess);
  toHelper_ = std::move(toHelper);
  fromHelper_ = std::move(fromHelper);
  // childIn, childOut, parent and nul are closed here: the pipe breaks when the
  // helper ends.
  return true;
}

void CALLBACK ReaderProcess::DeadlinePassed(void* self, BOOLEAN) {
  auto* me = static_cast<ReaderProcess*>(self);
  std::lock_guard<std::mutex> lock(me->mutex_);
  me->deadlinePassed_ = true;
  if (me->process_) ::TerminateProcess(me->process_.get(), 1);
}

CallOutcome ReaderProcess::Call(ReaderCall call, std::int32_t argument, std::uint32_t deadlineMs) {
  HANDLE to = nullptr, from = nullptr;
  ReaderRequest request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!process_ || endAsked_) {
      CallOutcome gone;
      gone.kind = CallOutcome::Kind::kCrashed;
      return gone;
    }
    to = toHelper_.get();
    from = fromHelper_.get();
    inCall_ = true;
    deadlinePassed_ = false;
    request = ReaderRequest{++sequence_, static_cast<std::uint32_t>(call), argument};
  }
  const auto bytes = EncodeRequest(request);
  bool ok = WriteExactly(to, bytes.data(), static_cast<DWORD>(bytes.size()));
  std::uint8_t reply[kReaderReplyBytes];
  if (ok) {
    HANDLE timer = nullptr;
    const bool timed = ::CreateTimerQueueTimer(&timer, nullptr, &ReaderProcess::DeadlinePassed,
                                               this, deadlineMs, 0, WT_EXECUTEONLYONCE) != 0;
    ok = ReadExactly(from, reply, kReaderReplyBytes);
    if (timed) ::DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  inCall_ = false;
  CallOutcome outcome;
  if (endAsked_) {
    CloseLocked();
    outcome.kind = CallOutcome::Kind::kEnded;
  } else if (deadlinePassed_) {
    outcome.kind = CallOutcome::Kind::kDeadline;
  } else if (!ok) {
    outcome.kind = CallOutcome::Kind::kCrashed;
  } else {
    const ReaderReply answer = DecodeReply(reply);
    if (answer.sequence != request.sequence) {
      outcome.kind = CallOutcome::Kind::kCrashed;  // out of step: start afresh
    } else {
      outcome.kind =
          answer.libraryError ? CallOutcome::Kind::kLibraryError : CallOutcome::Kind::kAnswered;
      outcome.value = answer.value;
      outcome.facts = FactsOfReply(answer, PathInFolder(folder_, kReaderLibraryFileName));
    }
  }
  return outcome;
}

void ReaderProcess::End() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!process_) return;
  ::TerminateProcess(process_.get(), 0);
  if (inCall_) {
    // The waiting call returns at once now that the pipe is broken, and
    // closes the handles itself.
    endAsked_ = true;
    return;
  }
  CloseLocked();
}

void ReaderProcess::CloseLocked() {
  if (process_) ::WaitForSingleObject(process_.get(), kEndWaitMs);
  process_.reset();
  toHelper_.reset();
  fromHelper_.reset();
  endAsked_ = false;
}

}  // namespace keyentry
