#pragma once
// The counter checks of a card read ([核验] of KeyEntry.ini): a card whose
// validity has ended, a holder younger than a given age, an identity number
// that cannot be right. Each check is off unless switched on. The checks
// only look: the card's values are never changed.
#include <optional>
#include <string>
#include <string_view>

#include "core/CardField.h"
#include "core/Template.h"

namespace keyentry {

struct CheckSettings {
  bool expired = false;     // 过期: the end of the validity lies before today
  int underAge = 0;         // 未满: whole years fewer than this (0: off)
  bool idNumber = false;    // 号码: check character, birth date, sex digit
  bool holdOnRead = false;  // 提醒时不自动录入: no typing on read for a warned card
  bool AnyOn() const { return expired || underAge > 0 || idNumber; }
};

// Which names of [核验] a file sets (the others keep their defaults there).
struct CheckNamesSet {
  bool expired = false;
  bool underAge = false;
  bool idNumber = false;
  bool holdOnRead = false;
};

// The check character of an identity number from its first 17 characters
// (weights 2^(17-i) mod 11, the table 10X98765432); nothing unless they are
// 17 ASCII digits.
std::optional<wchar_t> IdCheckCharacter(std::wstring_view first17);

// The end of a validity period ("2016.03.15-2036.03.15" or
// "20160315-20360315") when it lies before today. Nothing while the card is
// valid (the last day included), for "长期", and for anything that is not a
// range of two real dates in order.
std::optional<Date> ExpiredOn(std::wstring_view validity, const Date& today);

// What is wrong with an 18-character identity number against the card's
// date of birth and sex. A number of another length is not judged; nor is
// the birth date or the sex when the card's value is no date or neither 男
// nor 女.
struct IdNumberFindings {
  bool malformed = false;     // 18 characters, but not 17 digits and a digit or X
  bool checkDigit = false;    // the last character is not the check character
  bool birthDiffers = false;  // characters 7 to 14 are not the card's date of birth
  bool sexDiffers = false;    // character 17 is odd for 女 or even for 男
  bool Any() const { return malformed || checkDigit || birthDiffers || sexDiffers; }
};
IdNumberFindings CheckIdNumber(std::wstring_view number, std::wstring_view birth,
                               std::wstring_view sex);

// Everything the switched-on checks find on a card today.
struct CardFindings {
  std::optional<Date> expiredOn;  // the end of its validity, passed
  std::optional<int> minorAge;    // the holder's age, below ageLimit
  int ageLimit = 0;
  IdNumberFindings number;
  bool Any() const { return expiredOn || minorAge || number.Any(); }
};
CardFindings CheckCard(const CardFieldValues& card, const CheckSettings& checks, const Date& today);

// The warning line: "注意：" and each problem in plain Chinese, separated by
// "；"; empty when nothing was found.
std::wstring WarningText(const CardFindings& findings);

// Whether typing on read waits for the operator: 提醒时不自动录入 is on and
// the card has a warning.
bool HoldsOnRead(const CardFieldValues& card, const CheckSettings& checks, const Date& today);

}  // namespace keyentry
