#include "platform/LibraryLoader.h"

#include <cstring>

#include "core/PathNames.h"

namespace keyentry {

namespace {

// The path as the operator knows it, without the extended-length prefix.
std::wstring OrdinaryPath(std::wstring path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + path.substr(7);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

void NoteLoad(const UniqueModule& module, const std::wstring& path, DWORD error,
              LibraryFacts& facts) {
  facts = LibraryFacts{};
  facts.path = path;
  if (module) {
    std::wstring loaded(32768, L'\0');
    const DWORD n =
        ::GetModuleFileNameW(module.get(), &loaded[0], static_cast<DWORD>(loaded.size()));
    if (n > 0 && n < loaded.size()) facts.path = OrdinaryPath(loaded.substr(0, n));
    facts.state = LibraryFacts::State::kLoaded;
    return;
  }
  const bool absent =
      ::GetFileAttributesW(ExtendedLengthPath(path).c_str()) == INVALID_FILE_ATTRIBUTES;
  const DWORD why = ::GetLastError();
  const bool missing = absent && (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND);
  facts.state = missing ? LibraryFacts::State::kNotFound : LibraryFacts::State::kLoadFailed;
  facts.error = error;
}

}  // namespace

UniqueModule LoadLibraryFromFolder(const std::wstring& folder, const wchar_t* fileName,
                                   LibraryFacts* facts) {
  const std::wstring path = folder + L"\\" + fileName;
  // In a deep folder the extended-length form reaches the file on every
  // system; should the loader refuse that form, the ordinary one is tried
  // (which reaches it where long paths are switched on).
  const std::wstring longPath = ExtendedLengthPath(path);
  UniqueModule module(::LoadLibraryExW(longPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module && longPath != path) {
    module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  }
  if (facts) NoteLoad(module, path, module ? 0 : ::GetLastError(), *facts);
  return module;
}

std::vector<std::wstring> MissingFunctions(HMODULE module, const std::vector<const char*>& names) {
  std::vector<std::wstring> missing;
  for (const char* name : names) {
    if (!::GetProcAddress(module, name)) missing.emplace_back(name, name + std::strlen(name));
  }
  return missing;
}

void HardenLibrarySearch() { ::SetDllDirectoryW(L""); }

}  // namespace keyentry
