#include "core/Template.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "core/FormCodes.h"
#include "core/TextTools.h"
#include "core/Texts.h"

namespace keyentry {

namespace {

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The number with at least `width` digits.
std::wstring Padded(int number, std::size_t width) {
  std::wstring digits = std::to_wstring(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), L'0');
  return digits;
}

struct FieldName {
  const wchar_t* chinese;
  const wchar_t* english;
  int field;
};

constexpr FieldName kFieldNames[] = {
    {L"姓名", L"Name", 0},          {L"性别", L"Sex", 1},
    {L"民族", L"Nation", 2},        {L"出生日期", L"Birth", kBirthField},
    {L"住址", L"Address", 4},       {L"身份证号", L"IdNumber", 5},
    {L"签发机关", L"Authority", 6}, {L"有效期限", L"Validity", kValidityField},
};

bool NameIs(std::wstring_view name, const wchar_t* chinese, const wchar_t* english) {
  return name == chinese || EqualsIgnoringAsciiCase(name, english);
}

constexpr std::size_t kQuotedLength = 20;  // of a placeholder quoted in a message
constexpr int kMaxDelayMs = 5000;

}  // namespace

std::optional<Date> ParseValidityDate(std::wstring_view text) {
  if (text.size() == 10 && text[4] == L'.' && text[7] == L'.') {
    std::wstring compact;
    compact.append(text.substr(0, 4)).append(text.substr(5, 2)).append(text.substr(8, 2));
    return ParseCompactDate(compact);
  }
  return ParseCompactDate(text);
}

std::pair<std::wstring_view, std::wstring_view> SplitValidity(std::wstring_view text) {
  const std::size_t dash = text.find(L'-');
  if (dash == std::wstring_view::npos) return {TrimBlanks(text), {}};
  return {TrimBlanks(text.substr(0, dash)), TrimBlanks(text.substr(dash + 1))};
}

const wchar_t* FieldPlaceholderName(int field) {
  for (const FieldName& f : kFieldNames) {
    if (f.field == field) return f.chinese;
  }
  return L"";
}

bool IsRealDate(const Date& date) {
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12) return false;
  return date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

std::optional<Date> ParseCompactDate(std::wstring_view text) {
  if (text.size() != 8) return std::nullopt;
  int digits[8];
  for (int i = 0; i < 8; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    digits[i] = text[i] - L'0';
  }
  const Date date{digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
                  digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]};
  if (!IsRealDate(date)) return std::nullopt;
  return date;
}

std::wstring FormatDate(const Date& date, std::wstring_view format) {
  std::wstring out;
  std::size_t i = 0;
  while (i < format.size()) {
    const std::wstring_view rest = format.substr(i);
    if (rest.substr(0, 4) == L"yyyy") {
      out += Padded(date.year, 4);
      i += 4;
    } else if (rest.substr(0, 2) == L"MM") {
      out += Padded(date.month, 2);
      i += 2;
    } else if (rest.substr(0, 1) == L"M") {
      out += std::to_wstring(date.month);
      i += 1;
    } else if (rest.substr(0, 2) == L"dd") {
      out += Padded(date.day, 2);
      i += 2;
    } else if (rest.substr(0, 1) == L"d") {
      out += std::to_wstring(date.day);
      i += 1;
    } else {
      out += format[i];
      i += 1;
    }
  }
  return out;
}

std::optional<int> AgeInYears(const Date& birth, const Date& today) {
  if (!IsRealDate(birth) || !IsRealDate(today)) return std::nullopt;
  const auto key = [](const Date& d) { return std::make_tuple(d.year, d.month, d.day); };
  if (key(today) < key(birth)) return std::nullopt;
  int age = today.year - birth.year;
  // Comparing month and day as they are makes 29 February reached on
  // 1 March in other years (28 February still comes before it).
  if (std::make_pair(today.month, today.day) < std::make_pair(birth.month, birth.day)) --age;
  return age;
}

bool HasPause(const std::vector<TypingStep>& steps) {
  return std::any_of(steps.begin(), steps.end(),
                     [](const TypingStep& s) { return s.kind == StepKind::kPause; });
}

bool HasPhoto(const std::vector<TypingStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const TypingStep& s) {
    return s.kind == StepKind::kPhoto || s.kind == StepKind::kPhotoFile;
  });
}

std::vector<TypingStep> Template::Expand(const CardFieldValues& card, const Date& today,
                                         int fieldDelayMs) const {
  std::vector<TypingStep> steps;
  const auto addText = [&](std::wstring_view text) {
    if (text.empty()) return;
    if (!steps.empty() && steps.back().kind == StepKind::kText) {
      steps.back().text += text;
    } else {
      TypingStep step;
      step.text = std::wstring(text);
      steps.push_back(std::move(step));
    }
  };
  const auto addPause = [&](int ms) {
    if (ms <= 0) return;
    TypingStep step;
    step.kind = StepKind::kPause;
    step.ms = ms;
    steps.push_back(std::move(step));
  };
  const auto value = [&](int field) -> std::wstring_view {
    const auto& v = card[static_cast<std::size_t>(field)];
    return v ? std::wstring_view(*v) : std::wstring_view();
  };
  const auto validityPart = [&](std::wstring_view part, const std::wstring& format) {
    const auto date = ParseValidityDate(part);
    if (date && !format.empty()) {
      addText(FormatDate(*date, format));
    } else {
      addText(part);
    }
  };

  for (const Item& item : items_) {
    switch (item.kind) {
      case ItemKind::kText:
        addText(item.text);
        break;
      case ItemKind::kField:
        addText(value(item.field));
        break;
      case ItemKind::kBirth: {
        const auto birth = ParseCompactDate(value(kBirthField));
        if (birth) {
          addText(FormatDate(*birth, item.text));
        } else {
          addText(value(kBirthField));
        }
        break;
      }
      case ItemKind::kValidFrom:
        validityPart(SplitValidity(value(kValidityField)).first, item.text);
        break;
      case ItemKind::kValidTo:
        validityPart(SplitValidity(value(kValidityField)).second, item.text);
        break;
      case ItemKind::kAge: {
        const auto birth = ParseCompactDate(value(kBirthField));
        const auto age = birth ? AgeInYears(*birth, today) : std::nullopt;
        if (age) addText(std::to_wstring(*age));
        break;
      }
      case ItemKind::kToday:
        if (IsRealDate(today)) addText(FormatDate(today, item.text));
        break;
      case ItemKind::kKey: {
        TypingStep step;
        step.kind = StepKind::kKey;
        step.key = item.key;
        steps.push_back(std::move(step));
        addPause(fieldDelayMs);
        break;
      }
      case ItemKind::kDelay:
        addPause(item.ms);
        break;
      case ItemKind::kSexCode:
        addText(SexCode(value(kSexField)));
        break;
      case ItemKind::kNationCode:
        addText(NationCode(value(kNationField)));
        break;
      case ItemKind::kNationFull:
        addText(NationFull(value(kNationField)));
        break;
      case ItemKind::kPhoto:
      case ItemKind::kPhotoFile: {
        TypingStep step;
        step.kind = item.kind == ItemKind::kPhoto ? StepKind::kPhoto : StepKind::kPhotoFile;
        steps.push_back(std::move(step));
        break;
      }
    }
  }
  return steps;
}

// Reads a template from left to right; stops at the first problem.
struct TemplateParser {
  using Item = Template::Item;
  using Kind = Template::ItemKind;

  // The item for the text between two braces, or the problem with it.
  // whole: the placeholder with its braces, for messages.
  static std::optional<Item> Placeholder(std::wstring_view inner, std::wstring_view whole,
                                         std::wstring& what) {
    const std::size_t colon = inner.find_first_of(L":\uFF1A");
    const bool hasArgument = colon != std::wstring_view::npos;
    const std::wstring_view name = TrimBlanks(inner.substr(0, colon));
    const std::wstring_view argument =
        hasArgument ? TrimBlanks(inner.substr(colon + 1)) : std::wstring_view();
    const std::wstring quoted = Shortened(whole, kQuotedLength, kIniReportEllipsis);
    Item item;

    const auto noArgument = [&]() {
      if (hasArgument) what = Substitute(kTplNoFormat, {quoted});
      return !hasArgument;
    };
    const auto optionalFormat = [&](Kind kind, std::wstring_view fallback) {
      if (hasArgument && argument.empty()) {
        what = Substitute(kTplEmptyFormat, {quoted});
        return false;
      }
      item.kind = kind;
      item.text = std::wstring(hasArgument ? argument : fallback);
      return true;
    };

    for (const FieldName& f : kFieldNames) {
      if (!NameIs(name, f.chinese, f.english)) continue;
      if (hasArgument && f.field == kBirthField) {
        if (!optionalFormat(Kind::kBirth, {})) return std::nullopt;
        return item;
      }
      if (!noArgument()) return std::nullopt;
      item.kind = Kind::kField;
      item.field = f.field;
      return item;
    }
    if (NameIs(name, L"有效期限起", L"ValidFrom")) {
      if (!optionalFormat(Kind::kValidFrom, {})) return std::nullopt;
      return item;
    }
    if (NameIs(name, L"有效期限止", L"ValidTo")) {
      if (!optionalFormat(Kind::kValidTo, {})) return std::nullopt;
      return item;
    }
    if (NameIs(name, L"今天", L"Today")) {
      if (!optionalFormat(Kind::kToday, L"yyyy-MM-dd")) return std::nullopt;
      return item;
    }
    const std::tuple<const wchar_t*, const wchar_t*, Kind> plain[] = {
        {L"年龄", L"Age", Kind::kAge},
        {L"性别代码", L"SexCode", Kind::kSexCode},
        {L"民族代码", L"NationCode", Kind::kNationCode},
        {L"民族全称", L"NationFull", Kind::kNationFull},
        {L"照片", L"Photo", Kind::kPhoto},
        {L"照片文件", L"PhotoFile", Kind::kPhotoFile},
    };
    for (const auto& [chinese, english, kind] : plain) {
      if (!NameIs(name, chinese, english)) continue;
      if (!noArgument()) return std::nullopt;
      item.kind = kind;
      return item;
    }
    // Chinese name (or none), English name.
    const std::tuple<const wchar_t*, const wchar_t*, SpecialKey> keys[] = {
        {nullptr, L"Tab", SpecialKey::kTab},       {nullptr, L"Shift+Tab", SpecialKey::kShiftTab},
        {nullptr, L"Enter", SpecialKey::kEnter},   {L"上", L"Up", SpecialKey::kUp},
        {L"下", L"Down", SpecialKey::kDown},       {L"左", L"Left", SpecialKey::kLeft},
        {L"右", L"Right", SpecialKey::kRight},     {nullptr, L"Home", SpecialKey::kHome},
        {nullptr, L"End", SpecialKey::kEnd},       {nullptr, L"Space", SpecialKey::kSpace},
        {nullptr, L"Esc", SpecialKey::kEsc},       {nullptr, L"Backspace", SpecialKey::kBackspace},
        {nullptr, L"Delete", SpecialKey::kDelete}, {nullptr, L"Ctrl+A", SpecialKey::kCtrlA},
    };
    for (const auto& [chinese, keyName, key] : keys) {
      if (!EqualsIgnoringAsciiCase(name, keyName) && !(chinese && name == chinese)) continue;
      if (!noArgument()) return std::nullopt;
      item.kind = Kind::kKey;
      item.key = key;
      return item;
    }
    if (NameIs(name, L"延时", L"Delay")) {
      int ms = 0;
      if (!hasArgument || !ParseDecimal(argument, ms) || ms > kMaxDelayMs) {
        what = Substitute(kTplBadDelay, {quoted});
        return std::nullopt;
      }
      item.kind = Kind::kDelay;
      item.ms = ms;
      return item;
    }
    what = Substitute(kTplUnknownPlaceholder, {quoted});
    return std::nullopt;
  }

  static ParsedTemplate Parse(std::wstring_view source) {
    ParsedTemplate result;
    auto& items = result.value.items_;
    std::wstring literal;
    const auto flush = [&]() {
      if (literal.empty()) return;
      Item item;
      item.text = std::move(literal);
      items.push_back(std::move(item));
      literal.clear();
    };
    const auto fail = [&](std::size_t offset, std::wstring what) {
      result.value.items_.clear();
      result.error = TemplateError{offset, std::move(what)};
      return std::move(result);
    };

    std::size_t i = 0;
    while (i < source.size()) {
      const wchar_t c = source[i];
      if (c == L'{') {
        if (i + 1 < source.size() && source[i + 1] == L'{') {
          literal += L'{';
          i += 2;
          continue;
        }
        const std::size_t close = source.find_first_of(L"{}", i + 1);
        if (close == std::wstring_view::npos || source[close] == L'{') {
          const std::size_t end = std::min(close, source.size());
          return fail(i, Substitute(kTplUnclosed, {Shortened(source.substr(i, end - i),
                                                             kQuotedLength, kIniReportEllipsis)}));
        }
        std::wstring what;
        auto item =
            Placeholder(source.substr(i + 1, close - i - 1), source.substr(i, close - i + 1), what);
        if (!item) return fail(i, std::move(what));
        flush();
        items.push_back(std::move(*item));
        i = close + 1;
        continue;
      }
      if (c == L'}') {
        if (i + 1 < source.size() && source[i + 1] == L'}') {
          literal += L'}';
          i += 2;
          continue;
        }
        return fail(i, kTplLoneClose);
      }
      if ((c < 0x20 && c != L'\t') || c == 0x7F) return fail(i, kTplControlCharacter);
      literal += c;
      ++i;
    }
    flush();
    return result;
  }
};

ParsedTemplate ParseTemplate(std::wstring_view source) { return TemplateParser::Parse(source); }

}  // namespace keyentry
