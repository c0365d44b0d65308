#pragma once
// The main window's clock text: month, day and time, e.g. 03月07日09:05:02,
// with the user's time separator.
#include <string>
#include <string_view>

namespace keyentry {

std::wstring FormatClock(int month, int day, int hour, int minute, int second,
                         std::wstring_view timeSeparator);

}  // namespace keyentry
