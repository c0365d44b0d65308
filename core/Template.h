#pragma once
// The template language of KeyEntry.ini: one line of text with placeholders
// for card values, dates, key presses and pauses. A template is parsed once
// when the file is loaded and expanded into typing steps at each key press.
//
//   {姓名} {性别} {民族} {出生日期} {住址} {身份证号} {签发机关} {有效期限}
//     ({Name} {Sex} {Nation} {Birth} {Address} {IdNumber} {Authority}
//     {Validity}): the card's value as it stands; empty before any card.
//   {出生日期:FORMAT} ({Birth:FORMAT}): the birth date (8 digits) formatted;
//     any other birth date as it stands.
//   {有效期限起[:FORMAT]} {有效期限止[:FORMAT]} ({ValidFrom}, {ValidTo}): the
//     two parts of "2016.03.15-2036.03.15" (or "20160315-20360315"), each
//     formatted when it is a date and a format is given, else as it stands.
//   {年龄} ({Age}): whole years from the birth date to today.
//   {今天[:FORMAT]} ({Today}): today's date, yyyy-MM-dd without a format.
//   {性别代码} ({SexCode}): 1 for 男, 2 for 女, else the sex as it stands.
//   {民族代码} ({NationCode}): the nation's two-digit national code (汉 01 ..
//     基诺 56), for the name with or without "族"; else as it stands.
//   {民族全称} ({NationFull}): the nation's name with "族" (汉 gives 汉族).
//   {Tab} {Shift+Tab} {Enter}, {Up} {Down} {Left} {Right} ({上} {下} {左}
//     {右}), {Home} {End} {Space} {Esc} {Backspace} {Delete}, {Ctrl+A}:
//     real key presses.
//   {延时:N} ({Delay:N}): a pause of N ms, 0..5000.
//   {照片} ({Photo}): the holder's photo pasted as an image.
//   {照片文件} ({PhotoFile}): the photo written to a file, and the file's full
//     path typed (for an upload dialog).
//   {{ and }}: literal braces.
// FORMAT: yyyy (4-digit year), MM/M (month with/without leading zero),
// dd/d (day with/without leading zero), longest first; anything else literal.
// English names and the key names are matched without regard to case; a
// full-width colon "：" works like ":".
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/CardField.h"

namespace keyentry {

struct Date {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

// A day that exists in the Gregorian calendar, years 1..9999.
bool IsRealDate(const Date& date);
// "yyyyMMdd" (exactly eight ASCII digits forming a real date).
std::optional<Date> ParseCompactDate(std::wstring_view text);
// The format with yyyy, MM, M, dd, d replaced (longest first).
std::wstring FormatDate(const Date& date, std::wstring_view format);
// Whole years from birth to today; someone born on 29 February becomes a
// year older on 1 March in other years. Nothing when today is before birth
// or either date is not real.
std::optional<int> AgeInYears(const Date& birth, const Date& today);
// A date of the validity period: "yyyy.MM.dd" or "yyyyMMdd".
std::optional<Date> ParseValidityDate(std::wstring_view text);
// The start and end of a validity period "start-end", each without blanks
// at its ends; without a dash the whole text is the start.
std::pair<std::wstring_view, std::wstring_view> SplitValidity(std::wstring_view text);
// The end of a validity period that never ends.
inline constexpr const wchar_t* kValidityLongTerm = L"长期";

// The Chinese placeholder name of a card field by its number ("姓名" for 0),
// or "" for a number out of range.
const wchar_t* FieldPlaceholderName(int field);

enum class SpecialKey {
  kTab,
  kShiftTab,
  kEnter,
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kSpace,
  kEsc,
  kBackspace,
  kDelete,
  kCtrlA,
};

enum class StepKind {
  kText,
  kKey,
  kPause,
  kPhoto,      // the photo pasted as an image
  kPhotoFile,  // the photo written to a file, its full path typed
};

// One thing to do while typing a template.
struct TypingStep {
  StepKind kind = StepKind::kText;
  std::wstring text;                  // kText: never empty
  SpecialKey key = SpecialKey::kTab;  // kKey
  int ms = 0;                         // kPause: above 0
};

// True when the steps hold any pause (then they are typed on a thread of
// their own; without one they can go out in one go).
bool HasPause(const std::vector<TypingStep>& steps);
// True when the steps use the photo (typed on the typing thread too: the
// photo is encoded, written or put on the clipboard first).
bool HasPhoto(const std::vector<TypingStep>& steps);

class Template {
 public:
  enum class ItemKind {
    kText,       // text: literal text
    kField,      // field: the card value as it stands
    kBirth,      // text: format
    kValidFrom,  // text: format, empty for the part as it stands
    kValidTo,    // text: format, empty for the part as it stands
    kAge,
    kToday,  // text: format
    kKey,    // key
    kDelay,  // ms
    kSexCode,
    kNationCode,
    kNationFull,
    kPhoto,
    kPhotoFile,
  };
  struct Item {
    ItemKind kind = ItemKind::kText;
    std::wstring text;
    int field = 0;
    SpecialKey key = SpecialKey::kTab;
    int ms = 0;
  };

  const std::vector<Item>& Items() const { return items_; }

  // The steps to type for this card on this day. Adjacent text is merged
  // and empty text left out; a pause of 0 ms is left out. When fieldDelayMs
  // is above 0, each key step is followed by a pause of that length.
  std::vector<TypingStep> Expand(const CardFieldValues& card, const Date& today,
                                 int fieldDelayMs) const;

 private:
  friend struct TemplateParser;
  std::vector<Item> items_;
};

struct TemplateError {
  std::size_t offset = 0;  // where in the source the problem starts
  std::wstring what;       // in Chinese, for the operator
};

struct ParsedTemplate {
  Template value;                      // meaningful only without an error
  std::optional<TemplateError> error;  // the first problem found
};

ParsedTemplate ParseTemplate(std::wstring_view source);

}  // namespace keyentry
