#include "core/CardField.h"

namespace keyentry {

const wchar_t* FieldCaption(int field) {
  static const wchar_t* const kCaptions[kCardFieldCount] = {
      L"姓    名：", L"性    别：", L"民    族：", L"出生日期：",
      L"住    址：", L"身份证号：", L"签发机关：", L"有效期限：",
  };
  if (field < 0 || field >= kCardFieldCount) return L"";
  return kCaptions[field];
}

}  // namespace keyentry
