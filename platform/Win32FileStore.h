#pragma once
#include <cstdint>

#include "core/FileStore.h"

namespace keyentry {

// Whole-file reading and one-step replacement with Windows files, at any
// path length.
class Win32FileStore : public FileStore {
 public:
  std::optional<std::string> ReadAll(const std::wstring& path) override;
  std::optional<std::string> ReadPrefix(const std::wstring& path, std::size_t maxBytes) override;
  // Writes a scratch file of this process in the same folder (see
  // core/PathNames.h) and moves it over the target. While another program
  // holds the target (or the scratch file) open for a moment, as virus
  // scanners and the search indexer do, the move is tried again for about
  // two seconds. A read-only target is refused at once, and the scratch
  // file never stays.
  bool Replace(const std::wstring& path, std::string_view bytes) override;
  // A read-only file is never deleted (a process with backup rights, or
  // Wine run as root, could delete it otherwise).
  bool Remove(const std::wstring& path) override;
  bool Empty(const std::wstring& path) override;
  std::optional<std::int64_t> ModifiedTime(const std::wstring& path) override;

  // Removes the scratch files that processes which have ended left in the
  // folder (after a crash between writing and moving), and nothing else: a
  // name must be exactly of the scratch form, and its process must be gone
  // or be this one (which has made none yet when it calls this at start).
  // Returns how many were removed.
  static int RemoveOrphanedScratchFiles(const std::wstring& folder);

  // Whether this process may add files to the folder, asked of the system
  // without writing anything.
  static bool FolderWritable(const std::wstring& folder);
};

// The system clock in seconds since 1970-01-01 UTC, as ModifiedTime tells
// file times.
std::int64_t UnixTimeNow();

}  // namespace keyentry
