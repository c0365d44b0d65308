#include "core/TypingPlan.h"

#include <algorithm>
#include <utility>

#include "core/UnicodeText.h"
#include "core/Wipe.h"

namespace keyentry {

namespace {

using input::KeyEvent;

// The keys of the keys for forms: virtual key, set-1 scan code, whether it
// is an extended key, and whether Ctrl is held around it.
struct FormKey {
  SpecialKey key;
  std::uint16_t vk;
  std::uint16_t scan;
  bool extended;
  bool ctrl;
};
constexpr FormKey kFormKeys[] = {
    {SpecialKey::kUp, 0x26, 0x48, true, false},          // VK_UP
    {SpecialKey::kDown, 0x28, 0x50, true, false},        // VK_DOWN
    {SpecialKey::kLeft, 0x25, 0x4B, true, false},        // VK_LEFT
    {SpecialKey::kRight, 0x27, 0x4D, true, false},       // VK_RIGHT
    {SpecialKey::kHome, 0x24, 0x47, true, false},        // VK_HOME
    {SpecialKey::kEnd, 0x23, 0x4F, true, false},         // VK_END
    {SpecialKey::kSpace, 0x20, 0x39, false, false},      // VK_SPACE
    {SpecialKey::kEsc, 0x1B, 0x01, false, false},        // VK_ESCAPE
    {SpecialKey::kBackspace, 0x08, 0x0E, false, false},  // VK_BACK
    {SpecialKey::kDelete, 0x2E, 0x53, true, false},      // VK_DELETE
    {SpecialKey::kCtrlA, 0x41, 0x1E, false, true},       // Ctrl+'A'
};

// A real press of the key: {Tab}, {Shift+Tab} and {Enter} as the input
// plan makes them, the keys for forms with their extended flag and Ctrl.
void AppendSpecialKey(std::vector<KeyEvent>& events, SpecialKey key) {
  switch (key) {
    case SpecialKey::kTab:
      return input::AppendKeyPress(events, input::kTabStroke);
    case SpecialKey::kShiftTab:
      return input::AppendKeyPress(events, input::kShiftTabStroke);
    case SpecialKey::kEnter:
      return input::AppendKeyPress(events, input::kEnterStroke);
    default:
      break;
  }
  for (const FormKey& k : kFormKeys) {
    if (k.key != key) continue;
    const std::uint32_t extended = k.extended ? input::kFlagExtendedKey : 0u;
    if (k.ctrl) events.push_back(KeyEvent{input::kControlVk, input::kControlScan, 0});
    events.push_back(KeyEvent{k.vk, k.scan, extended});
    events.push_back(KeyEvent{k.vk, k.scan, extended | input::kFlagKeyUp});
    if (k.ctrl) {
      events.push_back(KeyEvent{input::kControlVk, input::kControlScan, input::kFlagKeyUp});
    }
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

class PlanBuilder {
 public:
  PlanBuilder(const TypingSettings& settings, const input::KeyLayout& layout,
              const input::KeyboardState& keyboard)
      : settings_(settings),
        layout_(layout),
        charDelayMs_(settings.mode == TypingMode::kPaste ? 0 : settings.charDelayMs),
        wrapCapsLockOff_(settings.mode == TypingMode::kKeys &&
                         keyboard.capsLock == input::CapsLock::kOn &&
                         keyboard.shiftTurnsCapsLockOff),
        capsLock_(wrapCapsLockOff_ ? input::CapsLock::kOff : keyboard.capsLock) {}

  void Release(const std::vector<input::HeldKey>& held) {
    input::AppendModifierRelease(current_, held);
    releaseEnd_ = current_.size();
  }

  void Step(const TypingStep& step) {
    switch (step.kind) {
      case StepKind::kText:
        return Text(step.text);
      case StepKind::kKey:
        AppendSpecialKey(current_, step.key);
        if (charDelayMs_ > 0) EndChunk(charDelayMs_);
        return;
      case StepKind::kPause:
        return EndChunk(step.ms);
      case StepKind::kPhoto:
      case StepKind::kPhotoFile:
        return Photo(step.kind);
    }
  }

  TypingPlan Finish() {
    if (!current_.empty()) EndChunk(0);
    return std::move(plan_);
  }

 private:
  void Text(const std::wstring& text) {
    const std::u16string units = ToUtf16(text);
    if (settings_.mode == TypingMode::kPaste) return Paste(text, units);
    if (charDelayMs_ <= 0) return Characters(units);
    for (std::size_t i = 0; i < units.size();) {
      std::size_t length = 1;
      if (IsHighSurrogate(units[i]) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
        length = 2;
      }
      Characters(std::u16string_view(units).substr(i, length));
      EndChunk(charDelayMs_);
      i += length;
    }
  }

  void Characters(std::u16string_view units) {
    if (settings_.mode == TypingMode::kKeys) {
      input::AppendLayoutKeys(current_, units, layout_, capsLock_);
    } else {
      input::AppendUnicode(current_, units);
    }
  }

  void Paste(const std::wstring& text, const std::u16string& units) {
    TypingChunk chunk;
    chunk.kind = ChunkKind::kPaste;
    chunk.pasteText = text;
    chunk.fallback = current_;
    input::AppendUnicode(chunk.fallback, units);
    chunk.events = std::move(current_);
    input::AppendCtrlV(chunk.events);
    current_.clear();
    plan_.push_back(std::move(chunk));
  }

  // A chunk of its own; what comes before it goes out first.
  void Photo(StepKind kind) {
    if (!current_.empty()) EndChunk(0);
    TypingChunk chunk;
    chunk.kind = kind == StepKind::kPhoto ? ChunkKind::kPhoto : ChunkKind::kPhotoFile;
    if (kind == StepKind::kPhoto) input::AppendCtrlV(chunk.events);
    plan_.push_back(std::move(chunk));
  }

  // Ends the chunk being built with this pause after it. With no event
  // since the last chunk the pause lengthens that chunk's pause instead.
  void EndChunk(int pauseMs) {
    if (current_.empty() && !plan_.empty()) {
      plan_.back().pauseAfterMs += pauseMs;
      return;
    }
    // Where Shift turns Caps Lock on: off for each chunk's real key
    // presses (after the modifier release), on again at its end.
    const std::size_t from = plan_.empty() ? releaseEnd_ : 0;
    if (wrapCapsLockOff_ &&
        std::any_of(current_.begin() + static_cast<std::ptrdiff_t>(from), current_.end(),
                    [](const KeyEvent& e) { return (e.flags & input::kFlagUnicode) == 0; })) {
      input::WrapCapsLockOff(current_, from);
    }
    TypingChunk chunk;
    chunk.events = std::move(current_);
    chunk.pauseAfterMs = pauseMs;
    current_.clear();
    plan_.push_back(std::move(chunk));
  }

  const TypingSettings& settings_;
  const input::KeyLayout& layout_;
  const int charDelayMs_;
  const bool wrapCapsLockOff_;
  const input::CapsLock capsLock_;  // as the characters are planned
  std::size_t releaseEnd_ = 0;      // the modifier release's events at the start
  std::vector<KeyEvent> current_;
  TypingPlan plan_;
};

}  // namespace

std::vector<TypingStep> FieldSteps(const CardFieldValues& card, FieldMask fields) {
  std::vector<TypingStep> steps;
  for (int k = 0; k < kCardFieldCount; ++k) {
    if ((fields & (FieldMask{1} << k)) == 0) continue;
    const auto& value = card[static_cast<std::size_t>(k)];
    if (!value || value->empty()) continue;
    TypingStep step;
    step.kind = StepKind::kText;
    step.text = *value;
    steps.push_back(std::move(step));
  }
  return steps;
}

void Wipe(std::vector<TypingStep>& steps) {
  for (TypingStep& step : steps) WipeText(step.text);
  steps.clear();
}

void Wipe(TypingPlan& plan) {
  for (TypingChunk& chunk : plan) {
    Wipe(chunk.events);
    Wipe(chunk.fallback);
    WipeText(chunk.pasteText);
  }
  plan.clear();
}

bool CanTypeInHook(const std::vector<TypingStep>& steps, const TypingSettings& settings) {
  return settings.mode == TypingMode::kUnicode && settings.charDelayMs <= 0 && !HasPause(steps) &&
         !HasPhoto(steps);
}

TypingPlan PlanTyping(const std::vector<TypingStep>& steps, const TypingSettings& settings,
                      const std::vector<input::HeldKey>& held, const input::KeyLayout& layout,
                      const input::KeyboardState& keyboard) {
  if (steps.empty()) return {};
  PlanBuilder builder(settings, layout, keyboard);
  builder.Release(held);
  for (const TypingStep& step : steps) builder.Step(step);
  return builder.Finish();
}

}  // namespace keyentry
