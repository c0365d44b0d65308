#include "platform/PhotoStore.h"

#include <windows.h>

#include <shlobj.h>

#include "core/FileStore.h"
#include "core/UnicodeText.h"
#include "core/Wipe.h"
#include "platform/ImageCodec.h"
#include "platform/Win32FileStore.h"

namespace keyentry {

namespace {

// FOLDERID_LocalAppData, defined here as in platform/StartupShortcut.cpp.
constexpr GUID kLocalAppDataFolder = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

// ASCII names: a system whose file names take no Chinese (Wine under a
// locale without it, for one) still keeps the ledger and the photos.
constexpr const wchar_t* kLedgerName = L"photo-files.txt";

std::wstring LedgerPath() {
  const std::wstring own = OwnDataFolder();
  return own.empty() ? std::wstring() : PathInFolder(own, kLedgerName);
}

// The folder and any of its parents that are missing, one level at a time;
// false when it cannot be made, or a file has its name.
bool MakeFolder(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return true;
  if (::GetLastError() != ERROR_PATH_NOT_FOUND) return false;
  const std::size_t slash = folder.find_last_of(L"\\/");
  // A drive or a share's root that is not there is not made.
  if (slash == std::wstring::npos || slash < 3) return false;
  return MakeFolder(folder.substr(0, slash)) && ::CreateDirectoryW(folder.c_str(), nullptr);
}

bool DeleteOrGone(const std::wstring& path) {
  return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND ||
         ::GetLastError() == ERROR_PATH_NOT_FOUND;
}

}  // namespace

std::wstring OwnDataFolder() {
  PWSTR folder = nullptr;
  std::wstring path;
  if (SUCCEEDED(::SHGetKnownFolderPath(kLocalAppDataFolder, 0, nullptr, &folder)) && folder) {
    path = PathInFolder(std::wstring(folder), L"KeyEntry");
  }
  ::CoTaskMemFree(folder);
  return path;
}

std::wstring DefaultPhotoFolder() {
  const std::wstring own = OwnDataFolder();
  return own.empty() ? std::wstring() : PathInFolder(own, L"Photos");
}

std::optional<PhotoFolderFacts> PhotoFolderNow(const std::wstring& configured) {
  PhotoFolderFacts facts;
  facts.folder = configured.empty() ? DefaultPhotoFolder() : configured;
  if (facts.folder.empty()) return std::nullopt;
  const DWORD attributes = ::GetFileAttributesW(facts.folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW(PathInFolder(facts.folder, L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return facts;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring_view name(found.cFileName);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring_view::npos && ParsePhotoFormat(name.substr(dot))) ++facts.files;
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return facts;
}

PhotoStore& PhotoStore::Instance() {
  static PhotoStore store;
  return store;
}

std::optional<std::wstring> PhotoStore::Write(const PhotoJob& job, Failure* why) {
  const auto fail = [&](Failure failure) -> std::optional<std::wstring> {
    if (why) *why = failure;
    return std::nullopt;
  };
  if (!job.file) return fail(Failure::kNoPhoto);
  const ComApartment com;
  std::optional<EncodedImage> image = ConvertImage(*job.file, job.format);
  if (!image) return fail(Failure::kNoPhoto);
  const WipeAtExit<std::string> wipe(image->bytes);
  const std::wstring folder = job.folder.empty() ? DefaultPhotoFolder() : job.folder;
  const auto folderFailed = [&] {
    {
      std::lock_guard<std::mutex> lock(failureMutex_);
      folderFailure_ = folder;
    }
    return fail(Failure::kFolder);
  };
  if (folder.empty() || !MakeFolder(folder)) return folderFailed();
  const std::wstring path = PathInFolder(folder, job.fileName.c_str());
  // Listed before it is written: a crash in between leaves a record.
  written_.Written(path);
  SaveLedger();
  Win32FileStore files;
  if (!files.Replace(path, image->bytes)) {
    written_.Deleted(path);
    SaveLedger();
    return folderFailed();
  }
  {
    std::lock_guard<std::mutex> lock(failureMutex_);
    folderFailure_.reset();
  }
  return path;
}

std::optional<std::wstring> PhotoStore::FolderFailure() {
  std::lock_guard<std::mutex> lock(failureMutex_);
  return folderFailure_;
}

void PhotoStore::DeleteAll() {
  if (written_.Empty()) return;
  for (const std::wstring& path : written_.Due()) {
    if (DeleteOrGone(path)) written_.Deleted(path);
  }
  SaveLedger();
}

void PhotoStore::DeleteLeftovers() {
  const std::wstring ledger = LedgerPath();
  if (ledger.empty()) return;
  Win32FileStore files;
  const auto bytes = files.ReadAll(ledger);
  if (!bytes) return;
  for (const std::wstring& path :
       ParsePhotoLedger(DecodeUtf8Strict(*bytes).value_or(std::wstring()))) {
    if (!DeleteOrGone(path)) written_.Written(path);  // tried again later
  }
  SaveLedger();
}

void PhotoStore::SaveLedger() {
  const std::wstring ledger = LedgerPath();
  if (ledger.empty()) return;
  if (written_.Empty()) {
    ::DeleteFileW(ledger.c_str());
    return;
  }
  if (!MakeFolder(OwnDataFolder())) return;
  Win32FileStore files;
  std::string bytes = EncodeUtf8(written_.LedgerText());
  files.Replace(ledger, bytes);
  WipeText(bytes);
}

}  // namespace keyentry
