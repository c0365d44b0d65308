#pragma once
// The keyboard hook: its decision for one key event (portable, tested
// natively), and the interfaces to the platform that installs the hook and
// types text.
#include <bitset>
#include <cstdint>

#include "core/CardField.h"
#include "core/HookTable.h"

namespace keyentry {

constexpr std::uint32_t kWmKeyDown = 256;     // WM_KEYDOWN
constexpr std::uint32_t kWmKeyUp = 257;       // WM_KEYUP
constexpr std::uint32_t kWmSysKeyDown = 260;  // WM_SYSKEYDOWN (Alt held, or F10)
constexpr std::uint32_t kWmSysKeyUp = 261;    // WM_SYSKEYUP

// Types text into the window that has the keyboard focus.
class TextSender {
 public:
  virtual ~TextSender() = default;
  // ansi: NUL-terminated text in the ANSI code page, or nullptr for a field
  // never filled (types nothing).
  virtual void SendStr(const char* ansi) = 0;
};

// What the hook procedure answers for one event.
struct HookDecision {
  bool callNextHook;    // hand the event to the next hook and return its result
  std::int32_t result;  // otherwise: 1 swallows the key
};

// What the hook does with one event.
enum class HookActionKind {
  kPassOn,      // hand it to the next hook (key-ups, negative codes, ...)
  kLetThrough,  // a key-down no field or template uses: on to the next hook
  kSwallow,     // return 1 and do nothing more
  kTypeFields,  // return 1 and type the fields of `fields`, in field order
  kRunTemplate  // return 1 and type the template of key `templateKey`
};

struct HookAction {
  HookActionKind kind = HookActionKind::kPassOn;
  FieldMask fields = 0;          // kTypeFields: bit k for card field k
  std::int16_t templateKey = 0;  // kRunTemplate: virtual-key code, F1..F24
  std::int16_t fieldKey = 0;     // kTypeFields: the key pressed
  bool repeat = false;           // kTypeFields: an auto-repeat (the key was held down already)
};
inline bool operator==(const HookAction& a, const HookAction& b) {
  return a.kind == b.kind && a.fields == b.fields && a.templateKey == b.templateKey &&
         a.fieldKey == b.fieldKey && a.repeat == b.repeat;
}

// The hook procedure's answer for an action: a swallowed key is answered 1
// and reaches no other hook; everything else, key-downs that nothing here
// uses included, goes on to the next hook, so that other programs' hooks
// (hot-key tools, input helpers, accessibility software) see every key the
// program does not take.
HookDecision ToHookDecision(const HookAction& action);

// What the hook remembers between events: which assigned keys are held
// down, so that a key-down of a held key is known as its auto-repeat. Used on
// the hook thread only.
class HookKeyState {
 public:
  bool IsHeld(std::int16_t vkCode) const;
  // Marks the key (virtual-key codes 1..255) held; true when it was held
  // already (an auto-repeat).
  bool MarkHeld(std::int16_t vkCode);
  void Release(std::int16_t vkCode);

 private:
  std::bitset<256> held_;
};

// The decision for one key event. Only the low 16 bits of vkCode count; key
// code 0 never matches.
// - A negative code, and every message but a key-down (WM_KEYDOWN or
//   WM_SYSKEYDOWN), is passed on; a key-up also ends the key's held state.
// - A key-down of a key assigned to one or more card fields types them
//   (kTypeFields), at every auto-repeat again, marked as a repeat (the
//   typing queue drops it while an entry of that key still waits or types);
//   the field wins over a template on the same key. Modifiers play no part.
// - A key-down of F1..F24 with a template runs it (kRunTemplate) and marks
//   the key held; while held, further key-downs are auto-repeat: swallowed.
//   While no card is held (before the first card, after it was cleared) a
//   template types nothing at all, not even its keys and fixed text: the key
//   is swallowed.
// - Every other key-down is let through, and other programs' hooks see it.
// Whether the press is typed at once or waits its turn behind earlier ones
// is not decided here (see TypingQueue).
HookAction DecideKeyAction(const HookTable& table, HookKeyState& state, std::int32_t code,
                           std::uint32_t message, std::uint32_t vkCode);

// Whether the table holds a card (any field ever filled).
bool HoldsCard(const HookTable& table);

// Types the fields of the set through the text-sending library, in field
// order, one call each (nullptr for a field never filled).
void SendFieldTexts(const HookTable& table, FieldMask fields, TextSender& sender);

// Field keys only, typed at once through the sender (templates are not
// looked at): what the hook thread does for a site without KeyEntry.ini,
// where every field goes through the text-sending library. The hook thread
// itself composes DecideKeyAction and SendFieldTexts; this is that
// composition for the tests and the benchmark of the decision.
HookDecision DecideKeyEvent(const HookTable& table, std::int32_t code, std::uint32_t message,
                            std::uint32_t vkCode, TextSender& sender);

// Installs and removes the system-wide low-level keyboard hook.
class KeyboardHook {
 public:
  virtual ~KeyboardHook() = default;
  // Installs the hook. When one is installed already it is renewed: a new
  // hook goes in before the old one is removed (the system may have dropped
  // it without a word), and every key press is still handled once. Returns
  // whether a hook is installed.
  virtual bool Install() = 0;
  // Removes the hook if installed.
  virtual void Remove() = 0;
  // Types the typing on read (读卡后) of the card in the table published
  // last, for the program that has the focus, behind whatever is queued.
  // Returns at once. Nothing without an installed hook.
  virtual void TypeOnRead() = 0;
  // Another card has been read: what was written of the card before for
  // typing (its photo files) goes.
  virtual void NewCard() {}
};

}  // namespace keyentry
