#pragma once
// Every text the operator sees: window captions, button and label captions,
// the card field captions, status texts and messages. Kept here byte for
// byte, in one place that the portable code, the windows and the tests share.
#include <array>
#include <cstddef>

#include "core/CardField.h"

namespace keyentry {

// Message boxes: their title and their texts.
inline constexpr const wchar_t* kAppTitle = L"按键录入软件";
inline constexpr const wchar_t* kMsgPortOpenFailed = L"端口打开失败！";
inline constexpr const wchar_t* kMsgKeyFileReadFailed = L"配置文件SetKey.txt读取失败！";
inline constexpr const wchar_t* kMsgKeyFileSaveFailed = L"配置文件SetKey.txt保存失败！";

// The main window. The read button's caption is also the reading state.
inline constexpr const wchar_t* kMainWindowCaption = L"CorvaneOrdane按键录入程序V2.0";
inline constexpr const wchar_t* kCaptionStartReading = L"开始读卡";
inline constexpr const wchar_t* kCaptionStopReading = L"停止读卡";
inline constexpr const wchar_t* kCaptionKeySettings = L"按键录入配置";
inline constexpr const wchar_t* kCaptionExit = L"退    出  ";
inline constexpr const wchar_t* kStatusInitial = L"初始化信息";
inline constexpr const wchar_t* kClockInitial = L"时间";

// The status line: "端口打开成功！端口：USB1001" and the like.
inline constexpr const wchar_t* kStatusPortOpened = L"端口打开成功！";
inline constexpr const wchar_t* kStatusPortLabel = L"端口：";
inline constexpr const wchar_t* kStatusNoReader = L"机具连接失败！";
inline constexpr const wchar_t* kStatusStopped = L"停止读卡！";

// The clock: month and day are followed by these characters.
inline constexpr wchar_t kClockMonth = L'月';
inline constexpr wchar_t kClockDay = L'日';

// The key settings window.
inline constexpr const wchar_t* kSettingsWindowCaption = L"按键配置";
inline constexpr const wchar_t* kCaptionApply = L"应  用";
inline constexpr const wchar_t* kCaptionClose = L"关  闭";

// Caption shown beside each card field in both windows, in field order.
inline constexpr std::array<const wchar_t*, kCardFieldCount> kFieldCaptions = {
    L"姓    名：", L"性    别：", L"民    族：", L"出生日期：",
    L"住    址：", L"身份证号：", L"签发机关：", L"有效期限：",
};

// The caption of a card field; empty for a number that is no field.
inline const wchar_t* FieldCaption(int field) {
  if (field < 0 || field >= kCardFieldCount) return L"";
  return kFieldCaptions[static_cast<std::size_t>(field)];
}

}  // namespace keyentry
