#include "platform/Win32FileStore.h"

#include <windows.h>

#include "platform/Handles.h"

namespace keyentry {

namespace {
// Larger files are no settings or card text the program could use.
constexpr LONGLONG kMaxReadBytes = 256LL * 1024 * 1024;

bool WriteAllTo(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > (1u << 20) ? (1u << 20) : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}
}  // namespace

std::optional<std::string> Win32FileStore::ReadAll(const std::wstring& path) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxReadBytes) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(bytes.size() - done);
    if (!::ReadFile(file.get(), &bytes[done], want, &got, nullptr)) return std::nullopt;
    if (got == 0) break;  // the file shrank while being read
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

bool Win32FileStore::Replace(const std::wstring& path, std::string_view bytes) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  const auto slash = path.find_last_of(L'\\');
  const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
  wchar_t temp[MAX_PATH + 16] = {};
  if (folder.size() > MAX_PATH - 14 || !::GetTempFileNameW(folder.c_str(), L"ke", 0, temp)) {
    return false;
  }
  bool ok = false;
  {
    UniqueFile file(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ok = file && WriteAllTo(file.get(), bytes) && ::FlushFileBuffers(file.get());
  }
  ok = ok && ::MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) ::DeleteFileW(temp);
  return ok;
}

std::optional<std::string> Win32FileStore::ReadPrefix(const std::wstring& path,
                                                      std::size_t maxBytes) {
  UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return std::nullopt;
  const auto fileSize = static_cast<unsigned long long>(size.QuadPart);
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

}  // namespace keyentry
