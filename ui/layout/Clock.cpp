#include "ui/layout/Clock.h"

#include "core/Texts.h"

namespace keyentry {

namespace {
void Two(std::wstring& out, int value) {
  if (value < 0) value = 0;
  out += static_cast<wchar_t>(L'0' + (value / 10) % 10);
  out += static_cast<wchar_t>(L'0' + value % 10);
}
}  // namespace

std::wstring FormatClock(int month, int day, int hour, int minute, int second,
                         std::wstring_view timeSeparator) {
  std::wstring out;
  Two(out, month);
  out += kClockMonth;
  Two(out, day);
  out += kClockDay;
  Two(out, hour);
  out += timeSeparator;
  Two(out, minute);
  out += timeSeparator;
  Two(out, second);
  return out;
}

}  // namespace keyentry
