#include "platform/FileChangeWatch.h"

#include <utility>
#include <vector>

#include "core/PathNames.h"

namespace keyentry {

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION;
// Room for the records of one wait: more than a burst of saves and card
// reads needs. (Network folders take at most 64 KiB.)
constexpr std::size_t kBufferDwords = 16 * 1024 / sizeof(DWORD);

bool SameName(const wchar_t* a, std::size_t aLength, const std::wstring& b) {
  return ::CompareStringOrdinal(a, static_cast<int>(aLength), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// A name in the 8.3 form ("KEYENT~1.INI"), as notifications give for a file
// that was opened by its short name.
bool MayBeShortName(const wchar_t* name, std::size_t length) {
  if (length > 12) return false;
  for (std::size_t k = 0; k < length; ++k)
    if (name[k] == L'~') return true;
  return false;
}

}  // namespace

FileChangeWatch::FileChangeWatch(const std::wstring& folder, std::wstring fileName, HWND window,
                                 UINT message)
    : folder_(folder), fileName_(std::move(fileName)), window_(window), message_(message) {
  directory_.reset(::CreateFileW(ExtendedLengthPath(folder).c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                 nullptr));
  stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  changed_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!directory_ || !stop_ || !changed_) return;
  thread_ = std::thread([this] { Run(); });
}

FileChangeWatch::~FileChangeWatch() {
  if (!thread_.joinable()) return;
  ::SetEvent(stop_.get());
  thread_.join();
}

bool FileChangeWatch::NamesTheFile(const wchar_t* name, std::size_t length) const {
  if (SameName(name, length, fileName_)) return true;
  if (!MayBeShortName(name, length)) return false;
  // Its long name, while the file is there; a short name that can no longer
  // be looked up may have been the file's.
  const std::wstring path = ExtendedLengthPath(folder_ + L"\\" + std::wstring(name, length));
  wchar_t longPath[1024];
  const DWORD n = ::GetLongPathNameW(path.c_str(), longPath, 1024);
  if (n == 0 || n >= 1024) return true;
  const wchar_t* last = longPath;
  for (const wchar_t* p = longPath; *p; ++p)
    if (*p == L'\\') last = p + 1;
  return SameName(last, static_cast<std::size_t>(longPath + n - last), fileName_);
}

void FileChangeWatch::Post() {
  if (!pending_.exchange(true)) ::PostMessageW(window_, message_, 0, 0);
}

void FileChangeWatch::Run() {
  std::vector<DWORD> buffer(kBufferDwords);
  const DWORD bufferBytes = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = changed_.get();
    ::ResetEvent(changed_.get());
    if (!::ReadDirectoryChangesW(directory_.get(), buffer.data(), bufferBytes, FALSE, kChanges,
                                 nullptr, &overlapped, nullptr)) {
      return;  // the folder cannot be watched (any more)
    }
    const HANDLE waits[2] = {stop_.get(), changed_.get()};
    const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    DWORD bytes = 0;
    if (woken != WAIT_OBJECT_0 + 1) {
      // Asked to stop (or the wait failed): the read is cancelled, and ended
      // before its buffer goes.
      ::CancelIo(directory_.get());
      ::GetOverlappedResult(directory_.get(), &overlapped, &bytes, TRUE);
      return;
    }
    if (!::GetOverlappedResult(directory_.get(), &overlapped, &bytes, FALSE)) {
      if (::GetLastError() != ERROR_NOTIFY_ENUM_DIR) return;
      bytes = 0;  // too many changes to record
    }
    if (bytes == 0) {
      Post();
      continue;
    }
    const auto* base = reinterpret_cast<const unsigned char*>(buffer.data());
    for (DWORD offset = 0;;) {
      const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
      if (NamesTheFile(record->FileName, record->FileNameLength / sizeof(wchar_t))) {
        Post();
        break;
      }
      if (record->NextEntryOffset == 0) break;
      offset += record->NextEntryOffset;
      if (offset >= bytes) break;
    }
  }
}

}  // namespace keyentry
