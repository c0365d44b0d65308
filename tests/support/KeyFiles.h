#pragma once
// The key settings file most tests start from, written once for the host
// tests, the Windows tests and the benchmarks.
#include <string>

namespace keyentry::test {

// SetKey.txt assigning F1 to F8 to the eight card fields in field order, as
// the program writes it: CR LF after each name but the last.
inline const std::string kKeyFileF1ToF8 = "F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8";

}  // namespace keyentry::test
