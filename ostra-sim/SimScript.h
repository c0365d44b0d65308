#pragma once
// Reading the files that script the simulated card reader.
//
// The simulated ostra.dll is steered by small text files in the folder
// "reader-sim" beside the program (see OstraSim.cpp). This file only turns
// their bytes into values; it does no file access and no Windows calls, so
// it builds and can be checked on any system.
//
// Rule for every file: anything that cannot be read cleanly counts as if the
// file were not there (the caller then uses the default).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyentry {
namespace ostrasim {

// Script files larger than this are treated as garbled.
constexpr std::size_t kMaxScriptBytes = 64 * 1024;

// delay_ms.txt is clamped to this many milliseconds.
constexpr unsigned kMaxDelayMs = 60000;

// The only content mode Read_Content accepts.
constexpr int kContentMode = 4;

// The four functions of the library, in the order the program uses them.
enum class Call { InitComm, Authenticate, ReadContent, CloseComm };

// The name a call goes by in delay_ms.txt and calls.log: "InitComm",
// "Authenticate", "Read_Content", "CloseComm".
std::string_view CallName(Call call);

// Where Read_Content puts the card files: beside the program (by full
// path), or in the current folder by relative names, as vendor libraries
// that write "wz.txt" and "zp.bmp" without a folder do.
enum class CardFilesFolder { Program, Current };

// The integers the four functions answer with, whether Read_Content answers
// success for a card whose folder lacks wz.txt or zp.bmp, and where it puts
// the card files.
struct Answers {
  int success = 1;
  int failure = 0;
  bool forceRead = false;
  CardFilesFolder cardFiles = CardFilesFolder::Program;
  // A reader that blinks: which Authenticate calls find a card lying on it,
  // '1' found and '0' not, repeated (empty: every call).
  std::string blink;
};

// blink= is at most this long.
constexpr std::size_t kMaxBlinkLength = 64;

// Whether the count-th Authenticate call (from 0) with a card lying on the
// reader finds it.
bool BlinkFinds(const std::string& blink, unsigned count);

// How long each of the four functions waits before answering: the least,
// and how much more it may be at most (a range "1000-1300": 1000 and 300).
struct Delays {
  unsigned initComm = 0;
  unsigned authenticate = 0;
  unsigned readContent = 0;
  unsigned closeComm = 0;
  unsigned spread[4] = {0, 0, 0, 0};

  unsigned of(Call call) const;
  // The wait of one call: of(call) plus draw spread over 0..spread.
  unsigned pick(Call call, unsigned draw) const;
};

// Faults a script can switch on (faults.txt), per call.
constexpr unsigned kMaxHangMs = 600000;
struct Faults {
  bool crash[4] = {false, false, false, false};  // the call crashes the process
  unsigned hangMs[4] = {0, 0, 0, 0};             // the call does not return for so long

  bool crashes(Call call) const { return crash[static_cast<int>(call)]; }
  unsigned hangs(Call call) const { return hangMs[static_cast<int>(call)]; }
};

// Raw file bytes -> plain text. Strips a UTF-8 byte order mark, accepts a
// UTF-16LE file (byte order mark FF FE) as long as it holds ASCII only.
// nullopt for text with NUL bytes, a bad UTF-16 file or an oversized file.
std::optional<std::string> DecodeScriptText(std::string_view bytes);

// ports.txt: decimal port numbers separated by white space, ',' or ';'.
// Empty text gives an empty list; any other token makes the file garbled.
std::optional<std::vector<int>> ParsePorts(std::string_view text);

// card.txt: the first line, trimmed. nullopt when that is empty or not a
// plain folder name (path separators, ':', '.', '..', control characters).
std::optional<std::string> ParseCardName(std::string_view text);

// One non-negative decimal number, clamped to kMaxDelayMs (the old form of
// delay_ms.txt, a delay for every call).
std::optional<unsigned> ParseDelay(std::string_view text);

// delay_ms.txt: either one number as ParseDelay, for every call, or lines
// "name=ms" or "name=lo-hi" (each call waits a time drawn anew between lo
// and hi, both included, e.g. "Read_Content=1000-1300" for a real reader's
// read of text and photo) with name InitComm, Authenticate, Read_Content or CloseComm (case
// ignored), or "*=ms" for every call not named on a line of its own; blank
// lines and lines starting with '#' ignored, a later line for the same name
// wins. Calls not given wait 0 ms. Any other line makes the file garbled.
std::optional<Delays> ParseDelays(std::string_view text);

// faults.txt: lines "crash=NAME" (the call writes its log line with "->
// crash" and then makes an access violation inside the library, which ends
// the process that loaded it) and "hang=NAME,ms" (the call does not return
// for ms milliseconds, up to kMaxHangMs, then answers as usual; 0 takes the
// hang away). NAME is a call's name as in delay_ms.txt (case ignored) or *
// for all four. Blank lines and lines starting with '#' ignored; a later
// line for the same call wins. Any other line makes the file garbled (no
// faults). Deleting the file, or emptying it, switches the faults off.
std::optional<Faults> ParseFaults(std::string_view text);

// answers.txt: lines "success=N" / "failure=N" (N decimal, optionally signed,
// or 0x-hex up to 32 bits), "force_read=0" / "force_read=1",
// "card_files=program_folder" / "card_files=current_folder" (keys and these
// words in any case) and "blink=" with 1 to kMaxBlinkLength digits 0 and 1
// (e.g. "blink=100": a card is found at every third call), blank lines and
// lines starting with '#' ignored. Keys not given keep their defaults (1, 0,
// 0, program_folder, no blinking); an unknown key or value, or a bad number,
// makes the file garbled.
std::optional<Answers> ParseAnswers(std::string_view text);

// Port numbers a reader can be attached to: USB 1001-1016, serial 1-16.
bool IsReaderPort(int port);

// The program's rule: success when the low 16 bits, read as signed, are 1.
bool IsSuccess(int result);

// One line of calls.log, ended by CR LF, e.g. "InitComm 1001 -> 0\r\n" or
// "Authenticate -> 1\r\n" (no argument when `argument` is empty).
std::string FormatCallLine(std::string_view function, std::optional<int> argument, int result);

}  // namespace ostrasim
}  // namespace keyentry
