#include "core/TypingEntry.h"

#include <algorithm>

#include "core/CardChecks.h"
#include "core/TypingPlan.h"
#include "core/Wipe.h"

namespace keyentry {

TypingEntry::~TypingEntry() {
  Wipe(steps);
  for (auto& text : libraryTexts) WipeText(text);
  WipeText(photo.fileName);
}

bool TypingEntry::Pastes() const {
  return kind == Kind::kSteps && (settings.mode == TypingMode::kPaste ||
                                  std::any_of(steps.begin(), steps.end(), [](const TypingStep& s) {
                                    return s.kind == StepKind::kPhoto;
                                  }));
}

std::optional<PressEntry> EntryForPress(const HookTable& table, const HookAction& action,
                                        const TypingSettings& typing, const Date& today) {
  if (action.kind != HookActionKind::kTypeFields && action.kind != HookActionKind::kRunTemplate) {
    return std::nullopt;
  }
  PressEntry press;
  TypingEntry& entry = press.entry;
  entry.settings = typing;
  if (action.kind == HookActionKind::kTypeFields) {
    entry.key = action.fieldKey;
    entry.repeat = action.repeat;
    if (typing.mode == TypingMode::kUnicode && typing.charDelayMs <= 0) {
      entry.kind = TypingEntry::Kind::kLibrary;
      for (int k = 0; k < kCardFieldCount; ++k) {
        if (action.fields & (FieldMask{1} << k)) {
          entry.libraryTexts.push_back(table.texts[static_cast<std::size_t>(k)]);
        }
      }
      entry.steps = FieldSteps(table.values, action.fields);  // for the press recorder
      press.canTypeNow = true;
      return press;
    }
    entry.steps = FieldSteps(table.values, action.fields);
  } else {
    const KeyTemplate* found =
        table.settings ? table.settings->FindTemplate(action.templateKey) : nullptr;
    if (!found || !HoldsCard(table)) return std::nullopt;
    entry.steps = found->parsed.Expand(table.values, today, typing.fieldDelayMs);
    if (HasPhoto(entry.steps)) {
      entry.photo = PhotoJobFor(table.photo, table.settings->photo, table.values, today);
    }
  }
  if (entry.steps.empty()) return std::nullopt;
  press.canTypeNow = CanTypeInHook(entry.steps, typing);
  return press;
}

std::optional<TypingEntry> EntryForCardRead(const HookTable& table, std::wstring_view program,
                                            const Date& today) {
  const SettingsContent* settings = table.settings.get();
  if (!settings || !HoldsCard(table)) return std::nullopt;
  // A warned card waits for the operator's keys (提醒时不自动录入).
  if (table.holdOnRead) return std::nullopt;
  const Template* onRead = settings->OnReadFor(program);
  if (!onRead) return std::nullopt;
  TypingEntry entry;
  entry.settings = settings->TypingFor(program);
  entry.steps = onRead->Expand(table.values, today, entry.settings.fieldDelayMs);
  if (HasPhoto(entry.steps)) {
    entry.photo = PhotoJobFor(table.photo, settings->photo, table.values, today);
  }
  if (entry.steps.empty()) return std::nullopt;
  return entry;
}

}  // namespace keyentry
