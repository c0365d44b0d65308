#pragma once
// What the reading logic needs of the main window.
#include <string>

namespace keyentry {

inline constexpr const wchar_t* kCaptionStartReading = L"开始读卡";
inline constexpr const wchar_t* kCaptionStopReading = L"停止读卡";
inline constexpr const wchar_t* kStatusPortOpened = L"端口打开成功！";
inline constexpr const wchar_t* kStatusPortLabel = L"端口：";
inline constexpr const wchar_t* kStatusNoReader = L"机具连接失败！";
inline constexpr const wchar_t* kStatusStopped = L"停止读卡！";
constexpr unsigned kPollPeriodMs = 300;

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual std::wstring ReadButtonCaption() const = 0;
  virtual void SetReadButtonCaption(const std::wstring& caption) = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  // Starting begins a full new period.
  virtual void SetPollTimerEnabled(bool enabled) = 0;
  virtual void ShowCardField(int field, const std::wstring& text) = 0;
  virtual void ShowPhoto(const std::wstring& path) = 0;
};

}  // namespace keyentry
