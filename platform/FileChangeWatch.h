#pragma once
// Notice of changes to one file of a folder, through the file system's
// change notification (ReadDirectoryChangesW) on a thread of its own: no
// polling, and nothing read until the file has changed.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/Handles.h"

namespace keyentry {

class FileChangeWatch {
 public:
  // Watches the folder (not its subfolders) for the file of this name, in
  // any case: each time the file is created, written, deleted or renamed to
  // or from that name (editors save through a scratch file renamed into
  // place), the message is posted to the window. Until the window calls
  // Acknowledge(), further changes post nothing more. Changes to other files
  // of the folder post nothing. When the change record overflows, the
  // message is posted too, since the file may be among the changes.
  FileChangeWatch(const std::wstring& folder, std::wstring fileName, HWND window, UINT message);
  // Stops the thread and waits for it.
  ~FileChangeWatch();
  FileChangeWatch(const FileChangeWatch&) = delete;
  FileChangeWatch& operator=(const FileChangeWatch&) = delete;

  // False when the folder could not be watched (then nothing is posted).
  bool Watching() const { return thread_.joinable(); }
  // The window has taken the message: the next change posts again.
  void Acknowledge() { pending_ = false; }

 private:
  void Run();
  bool NamesTheFile(const wchar_t* name, std::size_t length) const;
  void Post();

  std::wstring folder_;
  std::wstring fileName_;
  HWND window_;
  UINT message_;
  UniqueFile directory_;
  UniqueKernelHandle stop_;
  UniqueKernelHandle changed_;
  std::atomic<bool> pending_{false};
  std::thread thread_;
};

}  // namespace keyentry
