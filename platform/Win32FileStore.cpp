#include "platform/Win32FileStore.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "core/PathNames.h"
#include "platform/Handles.h"

namespace keyentry {

namespace {
// Larger files are no settings or card text the program could use.
constexpr std::size_t kMaxReadBytes = 256u * 1024 * 1024;
// How long a replace blocked by another program is tried again, and how often.
constexpr DWORD kReplaceRetryMs = 2000;
constexpr DWORD kReplaceRetryPauseMs = 50;

std::atomic<std::uint32_t> scratchCounter{0};

// File times count 100 ns steps from 1601-01-01 UTC.
std::int64_t UnixSeconds(const FILETIME& time) {
  const auto steps = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return steps / 10000000 - 11644473600LL;
}

bool WriteAllTo(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// Read-only files and folders are never replaced.
bool RefusedTarget(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

// Whether a failed move may be another program holding a file for a moment.
// A scanner holding the scratch file gives a sharing violation. A target held
// open by another program, whatever it shares, cannot be replaced either:
// Wine answers ERROR_ACCESS_DENIED then (checked), and so do Windows file
// systems for a file that is open or about to be deleted. Access denied is
// also the answer for a target the operator may not replace at all, which
// then costs the two seconds before the same failure; a read-only target or
// a folder is refused at once.
bool MayBePassingLock(DWORD error, const std::wstring& target) {
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !RefusedTarget(attributes);
}

// A scratch file this process made; removed at the end of its scope unless
// it has been moved into place.
class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Creates a new, empty scratch file for the target in its folder.
  UniqueFile Create(const std::wstring& folder, const std::wstring& targetName) {
    const auto processId = static_cast<std::uint32_t>(::GetCurrentProcessId());
    for (int attempt = 0; attempt < 8; ++attempt) {
      std::wstring path = ExtendedLengthPath(
          folder + L"\\" + ScratchFileName(targetName, processId, scratchCounter++));
      UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file) {
        path_ = std::move(path);
        return file;
      }
      // A name of this process taken already can only be an orphan of an
      // earlier process with the same id: take the next number.
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return UniqueFile();
  }

  const std::wstring& path() const { return path_; }
  void Kept() { path_.clear(); }

 private:
  std::wstring path_;
};

// Whether a process of this id runs now (this one included). A process that
// cannot be looked at for lack of rights counts as running.
bool ProcessRuns(std::uint32_t processId) {
  UniqueKernelHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
  if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;
  // A process that has ended stays open while others still hold it.
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

// At most maxBytes of the file's start; with wholeOrNothing a larger file
// gives nothing instead.
std::optional<std::string> ReadUpTo(const std::wstring& path, std::size_t maxBytes,
                                    bool wholeOrNothing) {
  UniqueFile file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return std::nullopt;
  const auto fileSize = static_cast<unsigned long long>(size.QuadPart);
  if (wholeOrNothing && fileSize > maxBytes) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(fileSize < maxBytes ? fileSize : maxBytes), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const std::size_t left = bytes.size() - done;
    const DWORD want = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
    if (!::ReadFile(file.get(), &bytes[done], want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;  // the file shrank while being read
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

std::optional<std::string> Win32FileStore::ReadAll(const std::wstring& path) {
  return ReadUpTo(path, kMaxReadBytes, /*wholeOrNothing=*/true);
}

bool Win32FileStore::Replace(const std::wstring& path, std::string_view bytes) {
  const std::wstring target = ExtendedLengthPath(path);
  if (RefusedTarget(::GetFileAttributesW(target.c_str()))) return false;
  const auto slash = path.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);

  ScratchFile scratch;
  {
    UniqueFile file = scratch.Create(folder, name);
    if (!file || !WriteAllTo(file.get(), bytes) || !::FlushFileBuffers(file.get())) return false;
  }
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (::MoveFileExW(scratch.path().c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      scratch.Kept();
      return true;
    }
    const DWORD error = ::GetLastError();
    if (!MayBePassingLock(error, target) || ::GetTickCount() - start >= kReplaceRetryMs) {
      return false;
    }
    ::Sleep(kReplaceRetryPauseMs);
  }
}

bool Win32FileStore::Remove(const std::wstring& path) {
  const std::wstring target = ExtendedLengthPath(path);
  if (RefusedTarget(::GetFileAttributesW(target.c_str()))) return false;
  return ::DeleteFileW(target.c_str()) != 0;
}

std::optional<std::int64_t> Win32FileStore::ModifiedTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(ExtendedLengthPath(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return UnixSeconds(data.ftLastWriteTime);
}

bool Win32FileStore::Empty(const std::wstring& path) {
  // A read-only file is left as it is, as Remove and Replace leave it.
  const std::wstring target = ExtendedLengthPath(path);
  if (RefusedTarget(::GetFileAttributesW(target.c_str()))) return false;
  const UniqueFile file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

int Win32FileStore::RemoveOrphanedScratchFiles(const std::wstring& folder) {
  const auto self = static_cast<std::uint32_t>(::GetCurrentProcessId());
  int removed = 0;
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = ExtendedLengthPath(folder + L"\\*.tmp");
  const UniqueFind find(::FindFirstFileW(pattern.c_str(), &found));
  if (!find) return 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // The long name decides; the pattern may also have matched a short name.
    const std::optional<std::uint32_t> owner = ScratchFileOwner(found.cFileName);
    if (!owner || (*owner != self && ProcessRuns(*owner))) continue;
    const std::wstring path = ExtendedLengthPath(folder + L"\\" + found.cFileName);
    if (::DeleteFileW(path.c_str())) ++removed;
  } while (::FindNextFileW(find.get(), &found));
  return removed;
}

std::optional<std::string> Win32FileStore::ReadPrefix(const std::wstring& path,
                                                      std::size_t maxBytes) {
  return ReadUpTo(path, maxBytes, /*wholeOrNothing=*/false);
}

bool Win32FileStore::FolderWritable(const std::wstring& folder) {
  // Opening the folder for adding files is refused where that is not
  // allowed; nothing is created.
  const UniqueFile handle(::CreateFileW(ExtendedLengthPath(folder).c_str(), FILE_ADD_FILE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
  return static_cast<bool>(handle);
}

std::int64_t UnixTimeNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return UnixSeconds(now);
}

}  // namespace keyentry
