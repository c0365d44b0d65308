#include "platform/LibraryLoader.h"

namespace keyentry {

UniqueModule LoadLibraryFromFolder(const std::wstring& folder, const wchar_t* fileName) {
  const std::wstring path = folder + L"\\" + fileName;
  return UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

void HardenLibrarySearch() { ::SetDllDirectoryW(L""); }

}  // namespace keyentry
