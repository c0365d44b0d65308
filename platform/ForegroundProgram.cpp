#include "platform/ForegroundProgram.h"

#include <algorithm>

namespace keyentry {

ForegroundWindow CurrentForegroundWindow() {
  ForegroundWindow found;
  found.window = ::GetForegroundWindow();
  if (found.window) found.threadId = ::GetWindowThreadProcessId(found.window, &found.processId);
  return found;
}

std::wstring ProgramNames::NameOf(DWORD processId) {
  if (processId == 0) return {};
  // Entries of processes that have ended go; a hit moves to the end.
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [](const Entry& e) {
                                  return ::WaitForSingleObject(e.process.get(), 0) != WAIT_TIMEOUT;
                                }),
                 entries_.end());
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->processId != processId) continue;
    std::rotate(it, it + 1, entries_.end());
    return entries_.back().name;
  }

  UniqueKernelHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
  if (!process) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD size = static_cast<DWORD>(std::size(path));
  if (!::QueryFullProcessImageNameW(process.get(), 0, path, &size)) return {};
  std::wstring name(path, size);
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);

  if (entries_.size() >= kMaxEntries) entries_.erase(entries_.begin());
  Entry entry;
  entry.processId = processId;
  entry.process = std::move(process);
  entry.name = name;
  entries_.push_back(std::move(entry));
  return name;
}

}  // namespace keyentry
