#include "platform/HookTyping.h"

#include <utility>

#include "core/TypingPlan.h"
#include "core/Wipe.h"
#include "platform/Win32KeyLayout.h"

namespace keyentry {

Date LocalToday() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return Date{now.wYear, now.wMonth, now.wDay};
}

namespace {

// The foreground window, and the settings of its program.
struct Target {
  ForegroundWindow window;
  std::wstring program;  // its executable's name, when some program has settings of its own
};

Target FindTarget(const SettingsContent* settings, ProgramNames& names) {
  Target target;
  target.window = CurrentForegroundWindow();
  if (settings && settings->HasProgramSections()) {
    target.program = names.NameOf(target.window.processId);
  }
  return target;
}

// The platform's facts of the moment: the foreground window, and in keys
// mode its keyboard layout.
void AddTarget(TypingEntry& entry, const Target& target) {
  entry.window = reinterpret_cast<std::uintptr_t>(target.window.window);
  if (entry.settings.mode == TypingMode::kKeys) {
    entry.layout =
        reinterpret_cast<std::uintptr_t>(Win32KeyLayout::OfThread(target.window.threadId).Layout());
  }
}

}  // namespace

bool HookTyping::Carry(const HookTable& table, const HookAction& action) {
  if (action.kind != HookActionKind::kTypeFields && action.kind != HookActionKind::kRunTemplate) {
    return true;
  }
  const SettingsContent* settings = table.settings.get();
  const Target target = FindTarget(settings, names_);
  const TypingSettings typing = settings ? settings->TypingFor(target.program) : TypingSettings{};
  std::optional<PressEntry> press = EntryForPress(table, action, typing, LocalToday());
  if (!press) return true;
  AddTarget(press->entry, target);
  // Recorded before it is typed, so that what arrives never comes first.
  const bool recorded = presses_.Watching(press->entry.window);
  if (recorded) {
    TypingEntry& entry = press->entry;
    std::vector<TypingStep> steps = entry.kind == TypingEntry::Kind::kLibrary
                                        ? FieldSteps(table.values, action.fields)
                                        : entry.steps;
    presses_.Record(steps, entry.settings);
    Wipe(steps);
  }
  const TypingQueue::Admission admission = Admit(press->entry, press->canTypeNow);
  if (recorded && (admission == TypingQueue::Admission::kRefused ||
                   admission == TypingQueue::Admission::kDropped)) {
    presses_.Forget();
  }
  return admission != TypingQueue::Admission::kRefused;
}

bool HookTyping::CarryTest(TypingMode mode, const std::wstring& text) {
  const Target target = FindTarget(nullptr, names_);
  TypingEntry entry;
  entry.settings.mode = mode;
  entry.steps.push_back(TypingStep{StepKind::kText, text});
  AddTarget(entry, target);
  return Admit(entry, false) != TypingQueue::Admission::kRefused;
}

bool HookTyping::CarryOnRead(const HookTable& table) {
  const Target target = FindTarget(table.settings.get(), names_);
  // Never into a window of this program (the main window, the key settings
  // window): that card is done without typing.
  if (target.window.processId == ::GetCurrentProcessId()) return true;
  std::optional<TypingEntry> entry = EntryForCardRead(table, target.program, LocalToday());
  if (!entry) return true;
  AddTarget(*entry, target);
  return Admit(*entry, false) != TypingQueue::Admission::kRefused;
}

TypingQueue::Admission HookTyping::Admit(TypingEntry& entry, bool canTypeNow) {
  TypingQueue& queue = typingThread_.Queue();
  const TypingQueue::Admission admission = queue.Admit(entry, canTypeNow);
  switch (admission) {
    case TypingQueue::Admission::kTypeNow:
      try {
        TypeNow(entry);
      } catch (...) {
        // Out of memory: nothing more is typed, and nothing escapes.
      }
      queue.TypedNow();
      // An entry that came meanwhile (a card read) waits for this one.
      if (queue.Waiting() > 0) typingThread_.Wake();
      break;
    case TypingQueue::Admission::kQueued:
      typingThread_.Wake();
      break;
    case TypingQueue::Admission::kRefused:
    case TypingQueue::Admission::kDropped:
      break;
  }
  return admission;
}

void HookTyping::TypeNow(TypingEntry& entry) {
  if (entry.kind == TypingEntry::Kind::kLibrary) {
    for (const auto& text : entry.libraryTexts) sender_.SendStr(text ? text->c_str() : nullptr);
    return;
  }
  const Win32KeyLayout layout(reinterpret_cast<HKL>(entry.layout));
  TypingPlan plan = PlanTyping(entry.steps, entry.settings, input_.HeldModifiers(), layout);
  const WipeAtExit<TypingPlan> wipe(plan);
  for (const TypingChunk& chunk : plan) input_.Send(chunk.events);
}

}  // namespace keyentry
