#include "core/DataFolder.h"

#include "core/TextTools.h"

namespace keyentry {

bool IsInstalledCopy(std::wstring_view programFolder, std::wstring_view installFolder) {
  const auto trimmed = [](std::wstring_view folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
      folder.remove_suffix(1);
    }
    return folder;
  };
  const std::wstring_view a = trimmed(programFolder), b = trimmed(installFolder);
  return !b.empty() && EqualsIgnoringAsciiCase(a, b);
}

}  // namespace keyentry
