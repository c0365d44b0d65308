#include "platform/LibraryLoader.h"

#include "core/PathNames.h"

namespace keyentry {

UniqueModule LoadLibraryFromFolder(const std::wstring& folder, const wchar_t* fileName) {
  const std::wstring path = folder + L"\\" + fileName;
  // In a deep folder the extended-length form reaches the file on every
  // system; should the loader refuse that form, the ordinary one is tried
  // (which reaches it where long paths are switched on).
  const std::wstring longPath = ExtendedLengthPath(path);
  UniqueModule module(::LoadLibraryExW(longPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module && longPath != path) {
    module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  }
  return module;
}

void HardenLibrarySearch() { ::SetDllDirectoryW(L""); }

}  // namespace keyentry
