#include "core/FormCodes.h"

namespace keyentry {

namespace {

constexpr const wchar_t* kNations[kNationCount] = {
    L"汉",     L"蒙古",   L"回",       L"藏",     L"维吾尔",   L"苗",   L"彝",     L"壮",
    L"布依",   L"朝鲜",   L"满",       L"侗",     L"瑶",       L"白",   L"土家",   L"哈尼",
    L"哈萨克", L"傣",     L"黎",       L"傈僳",   L"佤",       L"畲",   L"高山",   L"拉祜",
    L"水",     L"东乡",   L"纳西",     L"景颇",   L"柯尔克孜", L"土",   L"达斡尔", L"仫佬",
    L"羌",     L"布朗",   L"撒拉",     L"毛南",   L"仡佬",     L"锡伯", L"阿昌",   L"普米",
    L"塔吉克", L"怒",     L"乌孜别克", L"俄罗斯", L"鄂温克",   L"德昂", L"保安",   L"裕固",
    L"京",     L"塔塔尔", L"独龙",     L"鄂伦春", L"赫哲",     L"门巴", L"珞巴",   L"基诺",
};

constexpr wchar_t kZu = L'族';

// The code (1..56) of the name, with or without "族"; 0 for none.
int CodeOf(std::wstring_view nation) {
  if (!nation.empty() && nation.back() == kZu) nation.remove_suffix(1);
  for (int i = 0; i < kNationCount; ++i) {
    if (nation == kNations[i]) return i + 1;
  }
  return 0;
}

}  // namespace

const wchar_t* NationName(int code) {
  return code >= 1 && code <= kNationCount ? kNations[code - 1] : L"";
}

std::wstring SexCode(std::wstring_view sex) {
  if (sex == L"男") return L"1";
  if (sex == L"女") return L"2";
  return std::wstring(sex);
}

std::wstring NationCode(std::wstring_view nation) {
  const int code = CodeOf(nation);
  if (code == 0) return std::wstring(nation);
  return std::wstring{static_cast<wchar_t>(L'0' + code / 10),
                      static_cast<wchar_t>(L'0' + code % 10)};
}

std::wstring NationFull(std::wstring_view nation) {
  if (CodeOf(nation) == 0 || nation.back() == kZu) return std::wstring(nation);
  return std::wstring(nation) + kZu;
}

}  // namespace keyentry
