#pragma once
// What the program types for one key press through its own input path: the
// steps of a template (or the texts of a field key) turned into chunks that
// the Windows side carries out one after the other. A chunk is either key
// events sent with one SendInput call, or a paste: the text put on the
// clipboard, then its events (ending in Ctrl+V) sent with one call. After a
// chunk comes its pause.
//
// The rules:
//   - held modifiers are released once, at the very start (in front of the
//     first chunk's events), behind the masking key as SendStr.dll does;
//   - text in unicode mode goes as Unicode events; in keys mode as the
//     keyboard layout makes it with Caps Lock as the receiving window has it
//     (see input::AppendLayoutKeys; where Shift turns Caps Lock off, each
//     chunk turns it off and on again, input::WrapCapsLockOff); in paste
//     mode as one paste per text step;
//   - {Tab}, {Shift+Tab} and {Enter} are real key presses in every mode;
//   - a pause step ends a chunk (a pause that follows a pause, or that no
//     event precedes, lengthens the pause before it);
//   - a character delay above 0 (unicode and keys mode) makes every
//     character, a surrogate pair counting as one, and every key press a
//     chunk of its own with that pause after it. In paste mode it does not
//     apply: a pasted text arrives at once, and its key presses too.
// Without any step there is no chunk at all (not even the modifier release).
#include <string>
#include <vector>

#include "core/CardField.h"
#include "core/InputPlan.h"
#include "core/SettingsFile.h"
#include "core/Template.h"

namespace keyentry {

// kPhoto: the photo put on the clipboard as an image, then `events` (Ctrl+V)
// sent with one call. kPhotoFile: the photo written to a file, then its full
// path typed (`events` is empty; the executor plans the path as text in the
// entry's mode, a paste typed as Unicode events). A photo that cannot be had
// makes either type nothing, with one warning beep; the rest goes on.
enum class ChunkKind { kEvents, kPaste, kPhoto, kPhotoFile };

struct TypingChunk {
  ChunkKind kind = ChunkKind::kEvents;
  // kEvents: sent with one SendInput call (may be empty: only a pause).
  // kPaste: sent with one call once the clipboard holds pasteText; ends in
  // Ctrl+V.
  std::vector<input::KeyEvent> events;
  std::wstring pasteText;  // kPaste
  // kPaste: sent instead of `events` when the clipboard cannot be had: the
  // same events up to Ctrl+V, then the text as Unicode events.
  std::vector<input::KeyEvent> fallback;
  int pauseAfterMs = 0;
};

using TypingPlan = std::vector<TypingChunk>;

// The texts of the fields in the set, in field order, one text step each;
// fields never filled or empty give no step.
std::vector<TypingStep> FieldSteps(const CardFieldValues& card, FieldMask fields);

// True when the steps can be typed from inside the keyboard hook callback
// with one SendInput call: no pause step, no character delay, and unicode
// mode, and no photo. Then PlanTyping gives at most one chunk, of events. Keys mode needs
// the receiving window's Caps Lock, which is read on the typing thread (the
// callback must not attach to another thread's input).
bool CanTypeInHook(const std::vector<TypingStep>& steps, const TypingSettings& settings);

// Every text and event of the steps or the plan overwritten, then empty.
void Wipe(std::vector<TypingStep>& steps);
void Wipe(TypingPlan& plan);

// The chunks that type the steps with these settings (the mode and the
// character delay; the field delay is already in the steps as pauses) while
// the keys in `held` are down; `layout` and `keyboard` count in keys mode
// only.
TypingPlan PlanTyping(const std::vector<TypingStep>& steps, const TypingSettings& settings,
                      const std::vector<input::HeldKey>& held, const input::KeyLayout& layout,
                      const input::KeyboardState& keyboard = {});

}  // namespace keyentry
