#pragma once
// One entry of the typing queue (core/TypingQueue.h): everything one press
// of an assigned key, or one typing on a card read, types, made at the
// moment of the press or the read. Building an entry from the hook's table
// and the typing settings is here; the queue only orders entries.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HookTable.h"
#include "core/KeyboardHook.h"
#include "core/SettingsFile.h"
#include "core/Template.h"

namespace keyentry {

struct TypingEntry {
  enum class Kind {
    kSteps,    // the steps, through the program's own input path
    kLibrary,  // field texts through the text-sending library, one call each
  };
  Kind kind = Kind::kSteps;
  // kSteps: what is typed; kLibrary: the same texts, for the press recorder.
  std::vector<TypingStep> steps;
  std::vector<std::optional<std::string>> libraryTexts;  // kLibrary: ANSI; none: never filled
  TypingSettings settings;
  PhotoJob photo;  // kSteps with {照片} or {照片文件}: the photo and where its file goes
  // The platform's handles of the moment, as numbers: the foreground window
  // (the rest of an entry is typed only while it keeps the focus) and, in
  // keys mode, its keyboard layout.
  std::uintptr_t window = 0;
  std::uintptr_t layout = 0;
  // The field key whose press made it (0: a template, typing on read, a
  // test), and whether that press was an auto-repeat of the held key.
  std::int16_t key = 0;
  bool repeat = false;

  TypingEntry() = default;
  // Every text is overwritten before its memory is given back.
  ~TypingEntry();
  TypingEntry(TypingEntry&&) = default;
  TypingEntry& operator=(TypingEntry&&) = default;
  TypingEntry(const TypingEntry&) = delete;
  TypingEntry& operator=(const TypingEntry&) = delete;

  // Whether it goes through the clipboard (a paste mode, or the photo as an image).
  bool Pastes() const;
};

// The entry of one press of an assigned key, made from the table and the
// typing settings (those of the program that has the focus) of its moment:
// nothing for an action that types nothing, or whose steps are all empty.
// canTypeNow: it may be typed at once, inside the hook callback (no pause,
// no clipboard). A field key in unicode mode without a character delay goes
// through the text-sending library, every field one call (also those never
// filled, as a null text).
struct PressEntry {
  TypingEntry entry;
  bool canTypeNow = false;
};
std::optional<PressEntry> EntryForPress(const HookTable& table, const HookAction& action,
                                        const TypingSettings& typing, const Date& today);

// The entry of the typing on read (读卡后) of the card in the table, for the
// program with this executable name: nothing without a card, when typing
// on read is off for that program, or when [核验] holds it for a card with a
// warning (HookTable::holdOnRead). Never typed at once.
std::optional<TypingEntry> EntryForCardRead(const HookTable& table, std::wstring_view program,
                                            const Date& today);

}  // namespace keyentry
