// The simulated card reader library (ostra.dll).
//
// It stands in for the vendor's reader library in demos, training and tests.
// It answers the four calls the program uses as a reader would, steered by
// plain files in the folder "reader-sim" inside the program's folder (the
// folder of the process's .exe). Every file is re-read at every call, so a
// test can change them while the program runs; every file is optional and
// anything unreadable counts as absent:
//
//   ports.txt     port numbers with a reader attached (white space separated)
//   card.txt      first line: name of the card on the reader, i.e. a folder
//                 reader-sim\cards\<name>\ holding wz.txt and zp.bmp
//   delay_ms.txt  milliseconds each call sleeps before answering (default 0):
//                 one number for every call, or lines "Read_Content=2000"
//                 (InitComm, Authenticate, Read_Content, CloseComm) and
//                 "*=ms" for the calls not named; "Read_Content=1000-1300":
//                 each read sleeps a time drawn anew in that range, as a
//                 real reader's read of text and photo takes (only that call
//                 sleeps: Authenticate stays quick)
//   answers.txt   "success=N" / "failure=N": the integers returned (1 / 0);
//                 "force_read=1": a card whose folder lacks wz.txt or zp.bmp
//                 still counts as lying on the reader, and Read_Content
//                 copies whichever of the two files it has;
//                 "card_files=current_folder": Read_Content writes the card
//                 files by relative names, into the process's current folder
//                 (default "card_files=program_folder": beside the program);
//                 "blink=100": a reader that blinks, finding a card lying on
//                 it only at the calls of Authenticate marked 1 (repeated)
//   faults.txt    "crash=Read_Content": that call crashes the process
//                 inside the library (an access violation) after writing
//                 "Read_Content 4 -> crash" to calls.log; "hang=Authenticate,60000":
//                 that call does not return for 60 s (at most 10 minutes),
//                 then answers as usual; "*" for every call. Deleting the
//                 file switches both off.
//   calls.log     written, not read: one line appended per call, e.g.
//                 "InitComm 1001 -> 0", "Authenticate -> 1"
//
// Exports (all __stdcall, undecorated, see ostra.def):
//   int KLV_InitComm(int port)     open the port when a reader is attached
//                                  there (also when it is open already)
//   int KLV_Authenticate(void)     a port is open, its reader still attached
//                                  and a card lies on it
//   int KLV_Read_Content(int mode) mode 4 only: as Authenticate, then copies
//                                  the card's wz.txt and zp.bmp into the
//                                  program's folder, or the current one
//                                  (all or nothing; with force_read=1 only
//                                  the files the card has, the other one is
//                                  left as it is)
//   int KLV_CloseComm(void)        close the port (fine when none is open)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ostra-sim/SimScript.h"
#include "platform/Handles.h"

namespace {

namespace sim = keyentry::ostrasim;

using keyentry::UniqueFile;

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  void lock() { EnterCriticalSection(&cs_); }
  void unlock() { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class Lock {
 public:
  explicit Lock(CriticalSection& cs) : cs_(cs) { cs_.lock(); }
  ~Lock() { cs_.unlock(); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CriticalSection& cs_;
};

// Removes a file when it goes out of scope unless released.
class TempFile {
 public:
  explicit TempFile(std::wstring path) : path_(std::move(path)) {}
  ~TempFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::wstring& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  std::wstring path_;
};

CriticalSection g_lock;   // one call at a time, like a real serial device
int g_openPort = 0;       // 0: no port open
unsigned g_cardSeen = 0;  // Authenticate calls with a card lying on the reader

// Folder of the process's .exe, with a trailing backslash.
std::wstring ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return std::wstring();
    if (n < size) {
      std::wstring path(buffer.data(), n);
      const std::size_t slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }
    if (buffer.size() >= 32768) return std::wstring();
    buffer.resize(buffer.size() * 2);
  }
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Whole content of a small file; nullopt when absent, unreadable or too big.
std::optional<std::string> ReadSmallFile(const std::wstring& path) {
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  DWORD high = 0;
  const DWORD low = GetFileSize(file.get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
  if (high != 0 || low > sim::kMaxScriptBytes) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(low), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got,
                  nullptr)) {
      return std::nullopt;
    }
    if (got == 0) break;  // shrank while reading
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

// Narrow folder name from card.txt -> UTF-16: UTF-8 when valid, else ANSI.
std::wstring ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  for (const UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
    const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int needed = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (needed <= 0) continue;
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], needed) == needed) {
      return wide;
    }
  }
  return std::wstring();
}

class Script {
 public:
  Script() : program_(ProgramFolder()), folder_(program_ + L"reader-sim\\") {}

  const std::wstring& programFolder() const { return program_; }

  unsigned delayMs(sim::Call call) const {
    const std::optional<std::string> text = Text(L"delay_ms.txt");
    const std::optional<sim::Delays> delays = text ? sim::ParseDelays(*text) : std::nullopt;
    if (!delays) return 0u;
    // A draw of its own for each call: a simple generator of this process.
    static unsigned state = GetTickCount() | 1u;
    state = state * 1103515245u + 12345u;
    return delays->pick(call, state >> 8);
  }

  sim::Faults faults() const {
    const std::optional<std::string> text = Text(L"faults.txt");
    const std::optional<sim::Faults> faults = text ? sim::ParseFaults(*text) : std::nullopt;
    return faults.value_or(sim::Faults());
  }

  sim::Answers answers() const {
    const std::optional<std::string> text = Text(L"answers.txt");
    const std::optional<sim::Answers> answers = text ? sim::ParseAnswers(*text) : std::nullopt;
    return answers.value_or(sim::Answers());
  }

  bool readerAt(int port) const {
    if (!sim::IsReaderPort(port)) return false;
    const std::optional<std::string> text = Text(L"ports.txt");
    const std::optional<std::vector<int>> ports = text ? sim::ParsePorts(*text) : std::nullopt;
    return ports && std::find(ports->begin(), ports->end(), port) != ports->end();
  }

  // Folder of the card on the reader (with trailing backslash), holding
  // both card files unless `forceRead`; empty when there is no card.
  std::wstring cardFolder(bool forceRead) const {
    const std::optional<std::string> text = Text(L"card.txt");
    const std::optional<std::string> name = text ? sim::ParseCardName(*text) : std::nullopt;
    if (!name) return std::wstring();
    const std::wstring wide = ToWide(*name);
    if (wide.empty()) return std::wstring();
    const std::wstring card = folder_ + L"cards\\" + wide + L"\\";
    if (!IsFolder(card)) return std::wstring();
    if (!forceRead && (!IsFile(card + L"wz.txt") || !IsFile(card + L"zp.bmp"))) {
      return std::wstring();
    }
    return card;
  }

  void log(const std::string& line) const {
    if (program_.empty()) return;
    // Append-only access: every write lands at the current end as a whole.
    UniqueFile file(CreateFileW((folder_ + L"calls.log").c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

 private:
  std::optional<std::string> Text(const wchar_t* name) const {
    if (program_.empty()) return std::nullopt;
    const std::optional<std::string> bytes = ReadSmallFile(folder_ + name);
    return bytes ? sim::DecodeScriptText(*bytes) : std::nullopt;
  }

  std::wstring program_;
  std::wstring folder_;
};

// Copies one card file to a temporary name in the program's folder.
bool CopyToTemp(const std::wstring& source, const TempFile& temp) {
  if (!CopyFileW(source.c_str(), temp.path().c_str(), FALSE)) return false;
  SetFileAttributesW(temp.path().c_str(), FILE_ATTRIBUTE_NORMAL);
  return true;
}

// Renames a temporary copy over its final name.
bool PutInPlace(TempFile& temp, const std::wstring& target) {
  if (!MoveFileExW(temp.path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  temp.release();
  return true;
}

// Copies the card files into a folder (given with a trailing backslash, or
// empty for relative names in the current folder): first all to temporary
// names, then each renamed over its final name, so a failed copy leaves the
// earlier files untouched. Both files must be there unless `onlyPresent`;
// then the files the card has are copied and the others left as they are.
bool CopyCardFiles(const std::wstring& card, const std::wstring& into, bool onlyPresent) {
  TempFile photo(into + L"zp.bmp.sim-tmp");
  TempFile text(into + L"wz.txt.sim-tmp");
  const bool withPhoto = !onlyPresent || IsFile(card + L"zp.bmp");
  const bool withText = !onlyPresent || IsFile(card + L"wz.txt");
  if (withPhoto && !CopyToTemp(card + L"zp.bmp", photo)) return false;
  if (withText && !CopyToTemp(card + L"wz.txt", text)) return false;
  if (withPhoto && !PutInPlace(photo, into + L"zp.bmp")) return false;
  if (withText && !PutInPlace(text, into + L"wz.txt")) return false;
  return true;
}

bool CardReady(const Script& script, const sim::Answers& answers) {
  return g_openPort != 0 && script.readerAt(g_openPort) &&
         !script.cardFolder(answers.forceRead).empty();
}

// A fault inside the library, as a broken vendor library has them.
void Crash() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

// Runs one call: delay, hang, crash, decision, answer, log line.
template <typename Decide>
int Answer(sim::Call call, std::optional<int> argument, Decide decide) {
  int result = sim::Answers().failure;
  try {
    Lock lock(g_lock);
    const Script script;
    const unsigned delay = script.delayMs(call);
    if (delay > 0) Sleep(delay);
    const sim::Faults faults = script.faults();
    if (faults.hangs(call) > 0) Sleep(faults.hangs(call));
    if (faults.crashes(call)) {
      std::string line = sim::FormatCallLine(sim::CallName(call), argument, 0);
      line = line.substr(0, line.rfind("-> ")) + "-> crash\r\n";
      script.log(line);
      Crash();
    }
    const sim::Answers answers = script.answers();
    const bool ok = decide(script, answers);
    result = ok ? answers.success : answers.failure;
    script.log(sim::FormatCallLine(sim::CallName(call), argument, result));
  } catch (...) {
  }
  return result;
}

}  // namespace

extern "C" {

int __stdcall KLV_InitComm(int port) {
  return Answer(sim::Call::InitComm, port, [port](const Script& script, const sim::Answers&) {
    // Only an attached reader answers, also on a port opened earlier.
    if (!sim::IsReaderPort(port) || !script.readerAt(port)) return false;
    g_openPort = port;
    return true;
  });
}

int __stdcall KLV_Authenticate(void) {
  return Answer(sim::Call::Authenticate, std::nullopt,
                [](const Script& script, const sim::Answers& answers) {
                  return CardReady(script, answers) && sim::BlinkFinds(answers.blink, g_cardSeen++);
                });
}

int __stdcall KLV_Read_Content(int mode) {
  return Answer(sim::Call::ReadContent, mode,
                [mode](const Script& script, const sim::Answers& answers) {
                  if (mode != sim::kContentMode || !CardReady(script, answers)) return false;
                  const std::wstring card = script.cardFolder(answers.forceRead);
                  const std::wstring into = answers.cardFiles == sim::CardFilesFolder::Current
                                                ? std::wstring()
                                                : script.programFolder();
                  return !card.empty() && CopyCardFiles(card, into, answers.forceRead);
                });
}

int __stdcall KLV_CloseComm(void) {
  return Answer(sim::Call::CloseComm, std::nullopt, [](const Script&, const sim::Answers&) {
    g_openPort = 0;
    return true;
  });
}

}  // extern "C"
