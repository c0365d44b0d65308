#include "platform/SharedFileWatch.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "core/PathNames.h"
#include "platform/Handles.h"

namespace keyentry {

namespace {

// A settings file is far smaller; a larger one counts as unreadable.
constexpr DWORD kMaxSharedFileBytes = 4u * 1024 * 1024;
// After a change notice, the file is looked at once the folder has been
// quiet this long (an editor writes in several steps), at the latest after
// kNoticeMaxWaitMs.
constexpr DWORD kNoticeQuietMs = 500;
constexpr DWORD kNoticeMaxWaitMs = 5000;
// A file that changed while it was read is looked at again this soon.
constexpr DWORD kChangingRetryMs = 1000;
// How often a folder that could not be watched is tried again.
constexpr DWORD kNoticeRetryMs = 60000;

struct Stamp {
  ULONGLONG size = 0;
  FILETIME written{};
};
bool operator==(const Stamp& a, const Stamp& b) {
  return a.size == b.size && a.written.dwLowDateTime == b.written.dwLowDateTime &&
         a.written.dwHighDateTime == b.written.dwHighDateTime;
}

bool StampOf(HANDLE file, Stamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  stamp.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.written = info.ftLastWriteTime;
  return true;
}

// The network work of one step, done on a worker thread of its own so that
// the watch can give up on it. The watch reads the results only once the
// worker has ended; a job given up on is freed by its worker.
struct Job {
  enum class Task { kLook, kWatchFolder } task = Task::kLook;
  std::wstring path;  // the file, or for kWatchFolder its folder
  bool mustRead = false;
  std::optional<Stamp> last;  // of the last read
  // Results.
  enum class Outcome { kUnreachable, kUnchanged, kRead, kChanging } outcome = Outcome::kUnreachable;
  std::string bytes;
  Stamp stamp;
  UniqueChangeNotification notice;

  void Look() {
    UniqueFile file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !StampOf(file.get(), stamp)) return;
    if (!mustRead && last && *last == stamp) {
      outcome = Outcome::kUnchanged;
      return;
    }
    if (stamp.size > kMaxSharedFileBytes) return;
    bytes.assign(static_cast<std::size_t>(stamp.size), '\0');
    DWORD done = 0;
    while (done < bytes.size()) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), &bytes[done], static_cast<DWORD>(bytes.size()) - done, &got,
                      nullptr)) {
        return;
      }
      if (got == 0) break;
      done += got;
    }
    Stamp after;
    if (!StampOf(file.get(), after)) return;
    // Written meanwhile: the bytes may be half old, half new.
    outcome = done == bytes.size() && after == stamp ? Outcome::kRead : Outcome::kChanging;
  }

  void WatchFolder() {
    notice.reset(::FindFirstChangeNotificationW(
        ExtendedLengthPath(path).c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE));
  }

  static DWORD WINAPI Run(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(parameter));
    if ((*job)->task == Task::kLook) {
      (*job)->Look();
    } else {
      (*job)->WatchFolder();
    }
    return 0;
  }
};

}  // namespace

struct SharedFileWatch::State {
  std::wstring path;
  std::wstring folder;
  HWND window = nullptr;
  UINT message = 0;
  UniqueKernelHandle stop;  // manual reset
  UniqueKernelHandle wake;  // auto reset: the period changed
  std::atomic<DWORD> periodMs{kDefaultPeriodMs};
  std::mutex mutex;
  std::optional<SharedFileAnswer> answer;  // under mutex
  bool posted = false;                     // under mutex
};

namespace {

// The watch's thread. It waits for events and timeouts only; the file and
// its folder are reached through workers it gives up on after the limit.
class WatchLoop {
 public:
  explicit WatchLoop(std::shared_ptr<SharedFileWatch::State> state) : state_(std::move(state)) {}

  void Run() {
    DWORD nextWaitMs = Look(true) ? state_->periodMs.load() : kChangingRetryMs;
    DWORD noticeTriedAt = 0;
    for (;;) {
      if (!notice_ && (noticeTriedAt == 0 || ::GetTickCount() - noticeTriedAt >= kNoticeRetryMs)) {
        noticeTriedAt = ::GetTickCount() | 1;
        Job job;
        job.task = Job::Task::kWatchFolder;
        job.path = state_->folder;
        if (!Work(job)) return;
        notice_ = std::move(job.notice);
      }
      HANDLE waits[3] = {state_->stop.get(), state_->wake.get(), notice_.get()};
      const DWORD count = notice_ ? 3 : 2;
      const DWORD woken = ::WaitForMultipleObjects(count, waits, FALSE, nextWaitMs);
      bool mustRead = false;
      if (woken == WAIT_OBJECT_0 + 1) {
        nextWaitMs = state_->periodMs.load();
        continue;
      } else if (woken == WAIT_OBJECT_0 + 2) {
        if (!Quiet()) return;
        mustRead = true;
      } else if (woken != WAIT_TIMEOUT) {
        return;  // asked to stop
      }
      if (stopped_) return;
      nextWaitMs = Look(mustRead) ? state_->periodMs.load() : kChangingRetryMs;
      if (stopped_) return;
    }
  }

 private:
  // Waits until the folder has had no change notice for a while; false when
  // asked to stop.
  bool Quiet() {
    const DWORD start = ::GetTickCount();
    for (;;) {
      if (!::FindNextChangeNotification(notice_.get())) {
        notice_.reset();
        return true;
      }
      const DWORD waited = ::GetTickCount() - start;
      if (waited >= kNoticeMaxWaitMs) return true;
      HANDLE waits[2] = {state_->stop.get(), notice_.get()};
      const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, kNoticeQuietMs);
      if (woken == WAIT_TIMEOUT) return true;
      if (woken != WAIT_OBJECT_0 + 1) {
        stopped_ = true;
        return false;
      }
    }
  }

  // One look; false when the file changed while it was read (then nothing
  // is told, and it is looked at again soon).
  bool Look(bool mustRead) {
    Job job;
    job.path = state_->path;
    job.mustRead = mustRead;
    job.last = last_;
    if (!Work(job)) return true;
    SharedFileAnswer answer;
    switch (job.outcome) {
      case Job::Outcome::kChanging:
        return false;
      case Job::Outcome::kRead:
        last_ = job.stamp;
        answer.kind = SharedFileAnswer::Kind::kRead;
        answer.bytes = std::move(job.bytes);
        break;
      case Job::Outcome::kUnchanged:
        answer.kind = SharedFileAnswer::Kind::kUnchanged;
        break;
      case Job::Outcome::kUnreachable:
        // After an outage the file is read whole again.
        last_.reset();
        answer.kind = SharedFileAnswer::Kind::kUnreachable;
        break;
    }
    Tell(std::move(answer));
    return true;
  }

  // Runs the job on a worker and waits for it, kLookLimitMs at most: on
  // time its results are in the job; too late, or no worker free, its
  // outcome stays unreachable (its I/O cancelled, the worker left to end by
  // itself). False when asked to stop meanwhile.
  bool Work(Job& job) {
    if (hung_ && ::WaitForSingleObject(hung_.get(), 0) != WAIT_OBJECT_0) return true;
    hung_.reset();
    auto shared = std::make_shared<Job>(std::move(job));
    auto* parameter = new std::shared_ptr<Job>(shared);
    UniqueKernelHandle worker(::CreateThread(nullptr, 0, &Job::Run, parameter, 0, nullptr));
    if (!worker) {
      delete parameter;
      job = std::move(*shared);
      return true;
    }
    HANDLE waits[2] = {state_->stop.get(), worker.get()};
    const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, SharedFileWatch::kLookLimitMs);
    if (woken == WAIT_OBJECT_0 + 1) {
      job = std::move(*shared);
      return true;
    }
    // The worker may be stuck opening a path on a server that does not
    // answer: its I/O is cancelled and its result left to it.
    ::CancelSynchronousIo(worker.get());
    hung_ = std::move(worker);
    job.outcome = Job::Outcome::kUnreachable;
    job.notice.reset();
    if (woken == WAIT_TIMEOUT) return true;
    stopped_ = true;
    return false;
  }

  void Tell(SharedFileAnswer answer) {
    bool post = false;
    {
      const std::lock_guard<std::mutex> lock(state_->mutex);
      auto& waiting = state_->answer;
      const bool keepRead = waiting && waiting->kind == SharedFileAnswer::Kind::kRead &&
                            answer.kind == SharedFileAnswer::Kind::kUnchanged;
      if (!keepRead) waiting = std::move(answer);
      post = !std::exchange(state_->posted, true);
    }
    if (post) ::PostMessageW(state_->window, state_->message, 0, 0);
  }

  std::shared_ptr<SharedFileWatch::State> state_;
  std::optional<Stamp> last_;
  UniqueChangeNotification notice_;
  UniqueKernelHandle hung_;  // a worker given up on that has not ended yet
  bool stopped_ = false;
};

DWORD WINAPI RunWatch(void* parameter) {
  std::unique_ptr<std::shared_ptr<SharedFileWatch::State>> state(
      static_cast<std::shared_ptr<SharedFileWatch::State>*>(parameter));
  WatchLoop(*state).Run();
  return 0;
}

// The file's folder; the root of a drive with its separator ("Z:\\").
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
}

}  // namespace

SharedFileWatch::SharedFileWatch(std::wstring path, HWND window, UINT message, DWORD periodMs)
    : state_(std::make_shared<State>()) {
  state_->folder = FolderOf(path);
  state_->path = std::move(path);
  state_->window = window;
  state_->message = message;
  state_->periodMs = periodMs;
  state_->stop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  state_->wake.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (!state_->stop || !state_->wake) return;
  auto* parameter = new std::shared_ptr<State>(state_);
  UniqueKernelHandle thread(::CreateThread(nullptr, 0, &RunWatch, parameter, 0, nullptr));
  if (!thread) delete parameter;
}

SharedFileWatch::~SharedFileWatch() {
  // The thread ends by itself; whatever it holds lives until then.
  if (state_->stop) ::SetEvent(state_->stop.get());
}

const std::wstring& SharedFileWatch::Path() const { return state_->path; }

std::optional<SharedFileAnswer> SharedFileWatch::Take() {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->posted = false;
  return std::exchange(state_->answer, std::nullopt);
}

void SharedFileWatch::SetPeriod(DWORD periodMs) {
  state_->periodMs = periodMs;
  if (state_->wake) ::SetEvent(state_->wake.get());
}

}  // namespace keyentry
