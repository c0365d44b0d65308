#include "platform/ReaderService.h"

#include <chrono>
#include <utility>

#include "platform/WindowMessages.h"

namespace keyentry {

namespace {
constexpr const wchar_t* kWindowClass = L"KeyEntryReaderAnswers";
// At exit: how long a call under way may still take, and a margin over the
// deadline of KLV_CloseComm.
constexpr DWORD kExitGraceMs = 300;
constexpr DWORD kExitMarginMs = 500;
}  // namespace

void InlineReaderService::Submit(Job job, Done done) {
  if (closed_) return;
  job(reader_);
  done();
}

void InlineReaderService::Tell(Done note) {
  if (!closed_) note();
}

void InlineReaderService::Shutdown() {
  if (closed_) return;
  closed_ = true;
  try {
    reader_.CloseComm();
  } catch (const std::exception&) {
  }
}

HelperReaderService::HelperReaderService(const std::wstring& folder)
    : process_(folder), supervised_(process_, clock_) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &HelperReaderService::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWindowClass;
  ::RegisterClassExW(&wc);
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  thread_ = std::thread([this] { Run(); });
}

HelperReaderService::~HelperReaderService() {
  Shutdown();
  if (window_) ::DestroyWindow(window_);
}

LRESULT CALLBACK HelperReaderService::WindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                 LPARAM lParam) {
  auto* self = reinterpret_cast<HelperReaderService*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == kMsgReaderDone && self) {
    self->RunDones();
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void HelperReaderService::RunDones() {
  for (;;) {
    Done done;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (dones_.empty() || stopping_) return;
      done = std::move(dones_.front());
      dones_.pop_front();
    }
    done();
  }
}

void HelperReaderService::Submit(Job job, Done done) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return;
  jobs_.push_back([job = std::move(job), done = std::move(done), this](ReaderLibrary& reader) {
    job(reader);
    std::lock_guard<std::mutex> lock(mutex_);
    dones_.push_back(done);
  });
  changed_.notify_all();
}

void HelperReaderService::Tell(Done note) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    dones_.push_back(std::move(note));
  }
  ::PostMessageW(window_, kMsgReaderDone, 0, 0);
}

void HelperReaderService::Run() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) break;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      busy_ = true;
    }
    job(supervised_);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      busy_ = false;
    }
    changed_.notify_all();
    ::PostMessageW(window_, kMsgReaderDone, 0, 0);
  }
  supervised_.CloseAtExit();
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

bool HelperReaderService::WaitUntilIdle(DWORD ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !busy_; });
}

void HelperReaderService::Shutdown() {
  if (!thread_.joinable()) return;
  // A call under way may end on its own within the grace; else it is cut.
  if (!WaitUntilIdle(kExitGraceMs)) supervised_.EndNow();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    dones_.clear();
  }
  changed_.notify_all();
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool closed = changed_.wait_for(
        lock, std::chrono::milliseconds(ReaderDeadlines{}.closeComm + kExitMarginMs),
        [this] { return finished_; });
    lock.unlock();
    if (!closed) supervised_.EndNow();
  }
  thread_.join();
}

}  // namespace keyentry
