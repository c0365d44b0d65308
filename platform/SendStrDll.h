#pragma once
// The text-sending library SendStr.dll. It is loaded before the keyboard
// hook is installed (see Load), never inside the hook procedure: loading a
// library of this size with its runtime can alone take longer than Windows
// waits for a low-level hook on a cold disk. Loaded on the hook's thread;
// called there and, for presses that waited their turn, on the typing thread.
#include <atomic>
#include <mutex>
#include <string>

#include "core/KeyboardHook.h"
#include "core/SelfCheck.h"
#include "platform/Handles.h"

namespace keyentry {

inline constexpr const wchar_t* kSendLibraryFileName = L"SendStr.dll";

class SendStrDll : public TextSender {
 public:
  explicit SendStrDll(std::wstring folder) : folder_(std::move(folder)) {}

  // Loads the library from the program's folder unless it is loaded; true
  // when its function can be called. Cheap when loaded already. A library
  // that is missing (or lacks the function) is simply not loaded: the caller
  // tries again later.
  bool Load();
  bool Loaded() const { return send_.load() != nullptr; }

  // Types the text when the library is loaded. Without it nothing is typed;
  // the key press is still swallowed, so an assigned key never reaches the
  // application. Never loads anything itself.
  void SendStr(const char* ansi) override;

  // Where the library was loaded from, or why not, at the last try (any
  // thread).
  LibraryFacts Facts() const;

 private:
  using SendFunction = void(WINAPI*)(const char*);
  std::wstring folder_;
  UniqueModule module_;
  std::atomic<SendFunction> send_{nullptr};
  mutable std::mutex factsMutex_;
  LibraryFacts facts_;  // guarded by factsMutex_
};

}  // namespace keyentry
