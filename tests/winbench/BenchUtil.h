#pragma once
// Small helpers shared by the Windows benchmarks: timing, statistics and
// running from a scratch folder of their own. The folder of the benchmark is
// ProgramFolder(), and messages are served with PumpMessagesFor(), both of
// the platform library.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/MessagePump.h"
#include "platform/Win32Text.h"

namespace keyentry::bench {

inline double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Stats {
  double median, p90, min, max;
};

inline Stats Summarise(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  if (samples.empty()) return {0, 0, 0, 0};
  const auto at = [&](double q) {
    return samples[static_cast<std::size_t>(q * (samples.size() - 1))];
  };
  return {at(0.5), at(0.9), samples.front(), samples.back()};
}

inline void Print(const char* what, const Stats& s, const char* unit = "ms") {
  std::printf("%-44s median %8.3f %s  p90 %8.3f  min %8.3f  max %8.3f  (%s)\n", what, s.median,
              unit, s.p90, s.min, s.max, unit);
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n = 0;
  ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  ::CloseHandle(f);
}

inline std::wstring ScratchFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name;
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace keyentry::bench
