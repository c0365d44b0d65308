#pragma once
// A settings file shared by the site's PCs, named in the local KeyEntry.ini:
//
//   [站点] / [Site]
//   共享设置 / SharedSettings = \\server\share\KeyEntry.ini (or Z:\...)
//
// The shared file is read first, then the local one, and a local entry wins
// over the shared entry of the same section and name. The program only ever
// reads the shared file; it keeps its last good version beside itself as
// KeyEntry.shared.ini and uses that copy while the share cannot be read.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/SettingsFile.h"

namespace keyentry {

// The shared file's settings under the local file's: a local entry wins over
// the shared entry of the same section and name (a template key, 读卡后, a
// name of [输入] or [隐私], a name within one [程序:NAME]); every other entry
// of the shared file applies. The shared file's templates and problems are
// marked with sharedPath; [站点] and the encoding are the local file's.
SettingsContent MergeSettings(const SettingsContent& shared, SettingsContent local,
                              const std::wstring& sharedPath);

// One look at the shared file, as its reader reports it.
struct SharedFileAnswer {
  enum class Kind {
    kUnreachable,  // missing, no access, no answer within the time limit, or
                   // changing while it was read
    kUnchanged,    // there, with the size and time of the last read
    kRead,         // read whole: bytes
  };
  Kind kind = Kind::kUnreachable;
  std::string bytes;
};

enum class SharedReload { kKeep, kTakeNew };

// Whether an answer brings a new version: only a read whose content differs
// from the version in use (or the first content at all).
SharedReload DecideSharedReload(const std::optional<std::string>& inUse,
                                const SharedFileAnswer& answer);

// The last good copy KeyEntry.shared.ini: a first line naming the file it
// copies, "; KeyEntry copy of: " and the path as KeyEntry.ini names it, in
// UTF-8, ended by CR LF; then the shared file's bytes unchanged. The line is
// a comment, so the copy is still a settings file a person can read, and
// source and content are written together in one replace, so they never
// disagree (a side file could). A copy is used only for the file it names.
// A copy without the line was written by an earlier version of the program,
// which kept a copy only of the file named then: it is taken at start, for
// the file named at start, and never after the path changes.
inline constexpr const char* kSharedCopySourceLine = "; KeyEntry copy of: ";

std::string FormatSharedCopy(const std::wstring& sourcePath, std::string_view bytes);

struct SharedCopy {
  std::optional<std::wstring> source;  // none: written without the first line
  std::string bytes;                   // the shared file's
};
SharedCopy ParseSharedCopy(std::string_view copy);

// Whether a copy serves the shared file at path (the letter case of paths
// does not matter on Windows); atStart: the first load since the program
// started.
bool SharedCopyServes(const SharedCopy& copy, const std::wstring& path, bool atStart);

// How the shared file fares, for the self-check window. Times are seconds
// since 1970-01-01 UTC; 0 means never.
struct SharedSettingsStatus {
  enum class State {
    kNotUsed,      // KeyEntry.ini names no shared file
    kWaiting,      // named, no answer from the share yet
    kReadOk,       // the share's last answer was good
    kUnreachable,  // the share's last answer was none
  };
  State state = State::kNotUsed;
  std::wstring path;                  // as KeyEntry.ini names it
  std::int64_t lastReadOk = 0;        // the last good answer since start
  std::int64_t unreachableSince = 0;  // kUnreachable: the first failed answer in a row
  std::int64_t copyTime = 0;          // when KeyEntry.shared.ini, the version in use, was written
  // The version in use could not be saved as KeyEntry.shared.ini: the first
  // failed write in a row (the write is tried again at each answer).
  std::int64_t copyFailedSince = 0;
  // The settings come from the copy KeyEntry.shared.ini of copyTime, not from
  // an answer of the share.
  bool UsingCopy() const {
    return state != State::kNotUsed && state != State::kReadOk && copyTime != 0 &&
           copyFailedSince == 0;
  }
};

}  // namespace keyentry
