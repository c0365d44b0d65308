#pragma once
// The photo files written for {照片文件} (see core/PhotoFiles.h): written on
// the typing thread, deleted from the interface thread when the card is
// cleared, the next card is read and at exit, and at start for any a crash
// left behind. A ledger of the files written (photo-files.txt in the program's
// folder of the operator's own) records them until they are gone.
#include <mutex>
#include <optional>
#include <string>

#include "core/PhotoFiles.h"
#include "core/SelfCheck.h"

namespace keyentry {

// %LOCALAPPDATA%\KeyEntry: the program's folder of the operator's own, not
// shared with other users; empty when the system does not say.
std::wstring OwnDataFolder();
// %LOCALAPPDATA%\KeyEntry\Photos, the default folder of the photo files.
std::wstring DefaultPhotoFolder();

// For the self-check: the folder {照片文件} writes to (configured: that of
// [照片], empty for the default) and how many photo files (.jpg .png .bmp)
// are in it; nothing while the folder does not exist.
std::optional<PhotoFolderFacts> PhotoFolderNow(const std::wstring& configured);

class PhotoStore {
 public:
  // The one store of the process.
  static PhotoStore& Instance();

  // Writes the photo in the job's format into its folder and returns the
  // file's full path; nothing (and no file) when the photo is missing or
  // damaged, or the folder cannot be written.
  enum class Failure { kNoPhoto, kFolder };
  std::optional<std::wstring> Write(const PhotoJob& job, Failure* why = nullptr);
  // Deletes every file written (those that cannot be deleted now are tried
  // again next time).
  void DeleteAll();
  // At start: deletes the files an earlier run's ledger lists.
  void DeleteLeftovers();
  // The folder that the last write could not write into, if it failed
  // there (for the window's warning line; the typing has beeped already);
  // nothing once a photo file has been written again.
  std::optional<std::wstring> FolderFailure();

 private:
  void SaveLedger();
  WrittenPhotos written_;
  std::mutex failureMutex_;  // folderFailure_ is read on the interface thread
  std::optional<std::wstring> folderFailure_;
};

}  // namespace keyentry
