#include "core/CardChecks.h"

#include <tuple>
#include <vector>

#include "core/TextTools.h"
#include "core/Texts.h"

namespace keyentry {

namespace {

constexpr std::size_t kIdNumberLength = 18;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

bool Before(const Date& a, const Date& b) {
  return std::make_tuple(a.year, a.month, a.day) < std::make_tuple(b.year, b.month, b.day);
}

std::wstring_view ValueOf(const CardFieldValues& card, int field) {
  const auto& value = card[static_cast<std::size_t>(field)];
  return value ? std::wstring_view(*value) : std::wstring_view();
}

}  // namespace

std::optional<wchar_t> IdCheckCharacter(std::wstring_view first17) {
  if (first17.size() != kIdNumberLength - 1) return std::nullopt;
  static const int kWeights[kIdNumberLength - 1] = {7, 9, 10, 5,  8, 4, 2, 1, 6,
                                                    3, 7, 9,  10, 5, 8, 4, 2};
  int sum = 0;
  for (std::size_t i = 0; i < first17.size(); ++i) {
    if (!IsDigit(first17[i])) return std::nullopt;
    sum += (first17[i] - L'0') * kWeights[i];
  }
  return L"10X98765432"[sum % 11];
}

std::optional<Date> ExpiredOn(std::wstring_view validity, const Date& today) {
  const auto [from, to] = SplitValidity(TrimBlanks(validity));
  const auto start = ParseValidityDate(from);
  if (!start || to == kValidityLongTerm) return std::nullopt;
  const auto end = ParseValidityDate(to);
  if (!end || Before(*end, *start) || !IsRealDate(today)) return std::nullopt;
  if (!Before(*end, today)) return std::nullopt;
  return end;
}

IdNumberFindings CheckIdNumber(std::wstring_view number, std::wstring_view birth,
                               std::wstring_view sex) {
  IdNumberFindings found;
  number = TrimBlanks(number);
  if (number.size() != kIdNumberLength) return found;
  const auto check = IdCheckCharacter(number.substr(0, kIdNumberLength - 1));
  const wchar_t last = number.back() == L'x' ? L'X' : number.back();
  if (!check || !(IsDigit(last) || last == L'X')) {
    found.malformed = true;
    return found;
  }
  found.checkDigit = last != *check;
  const auto cardBirth = ParseValidityDate(TrimBlanks(birth));
  if (cardBirth) {
    const auto numberBirth = ParseCompactDate(number.substr(6, 8));
    found.birthDiffers =
        !numberBirth || Before(*numberBirth, *cardBirth) || Before(*cardBirth, *numberBirth);
  }
  const bool odd = (number[16] - L'0') % 2 == 1;
  sex = TrimBlanks(sex);
  if (sex == L"男" || sex == L"女") found.sexDiffers = odd != (sex == L"男");
  return found;
}

CardFindings CheckCard(const CardFieldValues& card, const CheckSettings& checks,
                       const Date& today) {
  CardFindings found;
  if (checks.expired) found.expiredOn = ExpiredOn(ValueOf(card, kValidityField), today);
  if (checks.underAge > 0) {
    const auto birth = ParseValidityDate(TrimBlanks(ValueOf(card, kBirthField)));
    const auto age = birth ? AgeInYears(*birth, today) : std::nullopt;
    if (age && *age < checks.underAge) {
      found.minorAge = age;
      found.ageLimit = checks.underAge;
    }
  }
  if (checks.idNumber) {
    found.number = CheckIdNumber(ValueOf(card, kIdNumberField), ValueOf(card, kBirthField),
                                 ValueOf(card, kSexField));
  }
  return found;
}

std::wstring WarningText(const CardFindings& found) {
  std::vector<std::wstring> parts;
  if (found.expiredOn) {
    parts.push_back(Substitute(kWarnExpired, {FormatDate(*found.expiredOn, L"yyyy.MM.dd")}));
  }
  if (found.minorAge) {
    parts.push_back(Substitute(
        kWarnUnderAge, {std::to_wstring(found.ageLimit), std::to_wstring(*found.minorAge)}));
  }
  if (found.number.malformed) parts.push_back(kWarnNumberMalformed);
  if (found.number.checkDigit) parts.push_back(kWarnCheckDigit);
  if (found.number.birthDiffers) parts.push_back(kWarnBirthDiffers);
  if (found.number.sexDiffers) parts.push_back(kWarnSexDiffers);
  if (parts.empty()) return {};
  std::wstring text = kWarnPrefix;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += kWarnSeparator;
    text += parts[i];
  }
  return text;
}

bool HoldsOnRead(const CardFieldValues& card, const CheckSettings& checks, const Date& today) {
  return checks.holdOnRead && CheckCard(card, checks, today).Any();
}

}  // namespace keyentry
