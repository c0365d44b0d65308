#include "platform/HookTyping.h"

#include <optional>
#include <utility>

#include "core/EntryRun.h"
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
  const SettingsContent* settings = table.settings.get();
  const Target target = FindTarget(settings, names_);
  const TypingSettings typing = settings ? settings->TypingFor(target.program) : TypingSettings{};
  std::optional<PressEntry> press = EntryForPress(table, action, typing, LocalToday());
  if (!press) return true;
  AddTarget(press->entry, target);
  // Recorded before it is typed, so that what arrives never comes first.
  const bool recorded = presses_.Watching(press->entry.window);
  if (recorded) presses_.Record(press->entry.steps, press->entry.settings);
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
  // Inside the hook callback: a plan of at most one chunk of events, or the
  // library's texts; nothing waits, nothing pastes.
  TypingPlan plan;
  const WipeAtExit<TypingPlan> wipe(plan);
  std::optional<EntryRun> run;
  if (entry.kind == TypingEntry::Kind::kLibrary) {
    run.emplace(entry.libraryTexts, EntryRun::Start::kTypedAtOnce);
  } else {
    const Win32KeyLayout layout(reinterpret_cast<HKL>(entry.layout));
    plan = PlanTyping(entry.steps, entry.settings, input_.HeldModifiers(), layout);
    run.emplace(plan, EntryRun::Start::kTypedAtOnce);
  }
  for (;;) {
    const EntryAction action = run->Next();
    if (action.kind == EntryActionKind::kSendEvents) {
      input_.Send(*action.events);
    } else if (action.kind == EntryActionKind::kSendLibrary) {
      sender_.SendStr(action.library->has_value() ? (*action.library)->c_str() : nullptr);
    } else {
      return;  // done: Admit lets nothing else be typed at once
    }
    run->On(EntryEvent::kChunkSent, 0);
  }
}

}  // namespace keyentry
