#include "platform/HookTyping.h"

#include <utility>

#include "core/TypingPlan.h"
#include "platform/Win32KeyLayout.h"

namespace keyentry {

Date LocalToday() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return Date{now.wYear, now.wMonth, now.wDay};
}

void HookTyping::StartCapsLock() {
  capsLock_ = (::GetKeyState(VK_CAPITAL) & 1) != 0;
  capsDown_ = false;
}

void HookTyping::Observe(DWORD vkCode, WPARAM message) {
  if (vkCode != VK_CAPITAL) return;
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  if (down && !capsDown_) capsLock_ = !capsLock_;
  capsDown_ = down;
}

void HookTyping::Carry(const HookTable& table, const HookAction& action) {
  if (action.kind != HookActionKind::kTypeFields && action.kind != HookActionKind::kRunTemplate) {
    return;
  }
  const SettingsContent* settings = table.settings.get();
  const ForegroundWindow target = CurrentForegroundWindow();
  TypingSettings typing;
  if (settings) {
    // The executable is looked up only when some program has settings of its own.
    typing = settings->TypingFor(settings->programs.empty() ? std::wstring()
                                                            : names_.NameOf(target.processId));
  }

  std::vector<TypingStep> steps;
  if (action.kind == HookActionKind::kTypeFields) {
    if (typing.mode == TypingMode::kUnicode && typing.charDelayMs <= 0) {
      SendFieldTexts(table, action.fields, sender_);
      return;
    }
    steps = FieldSteps(table.values, action.fields);
  } else {
    const KeyTemplate* found = settings ? settings->FindTemplate(action.templateKey) : nullptr;
    if (!found) return;
    steps = found->parsed.Expand(table.values, LocalToday(), typing.fieldDelayMs);
  }
  if (steps.empty()) return;

  const Win32KeyLayout layout = Win32KeyLayout::OfThread(target.threadId, capsLock_);
  if (CanTypeInHook(steps, typing)) {
    for (const TypingChunk& chunk : PlanTyping(steps, typing, input_.HeldModifiers(), layout)) {
      input_.Send(chunk.events);
    }
    return;
  }
  TypingJob job;
  job.steps = std::move(steps);
  job.settings = typing;
  job.layout = layout.Layout();
  job.capsLock = layout.CapsLock();
  typingThread_.Queue(std::move(job));
}

}  // namespace keyentry
