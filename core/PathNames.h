#pragma once
// Names of files and paths as the program makes them: the scratch file a
// file is written to before it replaces the file, the extended-length form
// of a long path, and whether two paths name the same file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keyentry {

// The scratch file for a file of the program, in the same folder:
// "<target>.~KeyEntry-<process id>-<counter>.tmp", for example
// "SetKey.txt.~KeyEntry-1234-0.tmp". The process id says whose it is, so that
// a later start can tell an orphan (its process is gone) from a file that a
// running program is writing.
std::wstring ScratchFileName(std::wstring_view target, std::uint32_t processId,
                             std::uint32_t counter);

// The process id in a name made by ScratchFileName (a plain file name, no
// folder); nothing for every other name. Exact: the same case, decimal
// numbers without leading zeros, a target of at least one character, and
// nothing after ".tmp".
std::optional<std::uint32_t> ScratchFileOwner(std::wstring_view fileName);

// Paths of this many characters or more are given the extended-length form:
// the ordinary form reaches 247 characters for a folder and 259 for a file
// (unless the system has long paths switched on).
constexpr std::size_t kLongPathFrom = 248;

// A long absolute path in the extended-length form that the file functions
// take at any length: "C:\a\..." becomes "\\?\C:\a\..." and
// "\\server\share\..." becomes "\\?\UNC\server\share\...". Every other path
// is returned as it is: shorter ones, relative ones, those already in that
// form, and those the system would first have to tidy up (with '/', empty,
// "." or ".." parts), since the extended form is taken literally.
std::wstring ExtendedLengthPath(std::wstring_view path);

// The path without the extended-length prefix: "\\?\C:\a" becomes "C:\a" and
// "\\?\UNC\server\share\a" becomes "\\server\share\a"; every other path is
// returned as it is.
std::wstring OrdinaryPath(std::wstring_view path);

// Whether two full paths name the same file as Windows compares names: with
// or without the extended-length prefix, and letters in either case (those
// of ASCII, full-width Latin, Latin-1, Greek and Cyrillic; other characters
// must be the same).
bool SameFilePath(std::wstring_view a, std::wstring_view b);

}  // namespace keyentry
