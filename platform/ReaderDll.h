#pragma once
// The vendor's reader library ostra.dll, loaded at its first call.
#include <windows.h>

#include <string>

#include "core/ReaderLibrary.h"
#include "core/SelfCheck.h"
#include "platform/Handles.h"

namespace keyentry {

inline constexpr const wchar_t* kReaderLibraryFileName = L"ostra.dll";

class ReaderDll : public ReaderLibrary {
 public:
  explicit ReaderDll(std::wstring folder) : folder_(std::move(folder)) {}

  std::int32_t InitComm(std::int32_t port) override;
  std::int32_t Authenticate() override;
  std::int32_t ReadContent(std::int32_t mode) override;
  std::int32_t CloseComm() override;

  // Where the library was loaded from, or why not (interface thread).
  const LibraryFacts& Facts() const { return facts_; }

 private:
  // The named function; throws ReaderLibraryError when the library or the
  // function cannot be found (a later call tries again).
  FARPROC Function(const char* name);

  std::wstring folder_;
  UniqueModule module_;
  LibraryFacts facts_;
};

}  // namespace keyentry
