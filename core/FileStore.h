#pragma once
// The few file operations the program needs, on whole files.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyentry {

class FileStore {
 public:
  virtual ~FileStore() = default;

  // The whole content of the file, or nothing when it is missing or cannot
  // be read (also hidden and system files are read).
  virtual std::optional<std::string> ReadAll(const std::wstring& path) = 0;

  // The first maxBytes bytes of the file (all of it when it is shorter), or
  // nothing when it is missing or cannot be read. Never reads further: for
  // files that come from outside and may be of any size.
  virtual std::optional<std::string> ReadPrefix(const std::wstring& path, std::size_t maxBytes) = 0;

  // Gives the file exactly these bytes in one step: either the new content
  // is in place afterwards, or the old file (if any) is left as it was and
  // false is returned. A read-only file is never replaced. No temporary file
  // is left behind in either case.
  virtual bool Replace(const std::wstring& path, std::string_view bytes) = 0;

  // Deletes the file. A file that is missing, read-only, or cannot be
  // deleted for any other reason (held by another program, no rights) stays
  // as it was, and false is returned.
  virtual bool Remove(const std::wstring& path) = 0;

  // Cuts the file to no bytes, in place (for a file that may be written but
  // not deleted). False when it is missing, read-only or cannot be written.
  virtual bool Empty(const std::wstring& path) {
    (void)path;
    return false;
  }

  // When the file was last written, in seconds since 1970-01-01 UTC; nothing
  // when it is missing or cannot be looked at.
  virtual std::optional<std::int64_t> ModifiedTime(const std::wstring& path) = 0;
};

// The path of a file in a folder given without a trailing separator.
inline std::wstring PathInFolder(const std::wstring& folder, const wchar_t* fileName) {
  return folder + L"\\" + fileName;
}

}  // namespace keyentry
