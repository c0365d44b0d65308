#pragma once
#include "core/FileStore.h"

namespace keyentry {

// Whole-file reading and one-step replacement with Windows files.
class Win32FileStore : public FileStore {
 public:
  std::optional<std::string> ReadAll(const std::wstring& path) override;
  std::optional<std::string> ReadPrefix(const std::wstring& path, std::size_t maxBytes) override;
  // Writes a temporary file in the same folder and moves it over the target;
  // a read-only target is refused, and the temporary file never stays.
  bool Replace(const std::wstring& path, std::string_view bytes) override;
};

}  // namespace keyentry
