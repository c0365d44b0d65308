#pragma once
// What the reading logic needs of the main window.
#include <string>

#include "core/Template.h"

namespace keyentry {

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
  // Empties the photo box, as it is before the first card; the window's copy
  // of the photo is wiped.
  virtual void ClearPhoto() = 0;
  // The warning line of the card shown (text beginning "注意："), or empty
  // to hide it; beep: a warning beep goes with it.
  virtual void ShowCardWarning(const std::wstring& text, bool beep) = 0;
  // Today by the local clock, for the checks of a card.
  virtual Date Today() const = 0;
};

}  // namespace keyentry
