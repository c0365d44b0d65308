#pragma once
// Every text the operator sees: window captions, button and label captions,
// the card field captions, status texts and messages. Kept here byte for
// byte, in one place that the portable code, the windows and the tests share.
// In some texts %1, %2, ... are filled in with Substitute() (core/TextTools.h).
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

// The main window's system menu: editing and reloading KeyEntry.ini.
inline constexpr const wchar_t* kMenuEditSettings = L"编辑模板 (KeyEntry.ini)";
inline constexpr const wchar_t* kMenuReloadSettings = L"重新载入模板";
// %1 the file's full path.
inline constexpr const wchar_t* kMsgSettingsCreateFailed =
    L"无法创建 %1。请检查程序所在的文件夹是否可写。";
// %1 the file's full path.
inline constexpr const wchar_t* kMsgNotepadFailed =
    L"无法启动记事本打开 %1。请用其他文本编辑器打开它。";

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

// ---------------------------------------------------------------------------
// KeyEntry.ini: the report of its problems and what each problem says.

// %1 file name, %2 number of problems.
inline constexpr const wchar_t* kIniReportHeader =
    L"%1 中有 %2 处问题。以下各行未被采用，文件的其余部分照常生效。";
// %1 line number, %2 the line itself.
inline constexpr const wchar_t* kIniReportLine = L"第 %1 行：%2";
// %1 what is wrong.
inline constexpr const wchar_t* kIniReportWhat = L"    %1";
// %1 number of problems not listed.
inline constexpr const wchar_t* kIniReportMore = L"另有 %1 处问题未列出。";
// %1 file name.
inline constexpr const wchar_t* kIniReportFooter = L"请在主窗口的系统菜单中点“编辑模板 (%1)”修改。";
// Closes the part of the report on the site's shared settings file.
inline constexpr const wchar_t* kIniReportSharedFooter =
    L"这是各台电脑共用的共享设置文件，本程序只读取它，不会修改它。请告知负责的管理员修改。";
// Shown in place of the part of a long line that is left out.
inline constexpr const wchar_t* kIniReportEllipsis = L"…";

inline constexpr const wchar_t* kIniNotALine =
    L"这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # 开头）。";
inline constexpr const wchar_t* kIniOutsideSection =
    L"这一行不属于任何节：请先写节名，例如 [模板] 或 [输入]。";
inline constexpr const wchar_t* kIniSectionNotClosed =
    L"节名缺少右方括号“]”，此节中的各行均未采用。";
inline constexpr const wchar_t* kIniTextAfterSection =
    L"节名后有多余的文字（注释请以 ; 或 # 开始），此节中的各行均未采用。";
// %1 the section as written.
inline constexpr const wchar_t* kIniUnknownSection =
    L"没有名为 %1 的节，此节中的各行均未采用。可用的节：[模板]、[输入]、[程序:程序文件名]、"
    L"[隐私]、[站点]（或 [Templates]、[Typing]、[App:NAME]、[Privacy]、[Site]）。";
inline constexpr const wchar_t* kIniSiteInSharedFile =
    L"共享设置文件中不能有 [站点] 节（共享设置只能由各台电脑自己的 KeyEntry.ini 指定），"
    L"此节中的各行均未采用。";
inline constexpr const wchar_t* kIniSiteNames = L"共享设置（或 SharedSettings）";
// %1 setting name.
inline constexpr const wchar_t* kIniSharedPathNotFull =
    L"“%1”的值应为共享设置文件的完整路径，例如 \\\\server\\keyentry\\KeyEntry.ini 或 "
    L"Z:\\keyentry\\KeyEntry.ini。";
inline constexpr const wchar_t* kIniNoAppName =
    L"缺少程序文件名，应写成例如 [程序:notepad.exe]，此节中的各行均未采用。";
inline constexpr const wchar_t* kIniAppNameWithFolder =
    L"只写程序文件名（例如 notepad.exe），不要写文件夹，此节中的各行均未采用。";
inline constexpr const wchar_t* kIniNoName = L"等号前缺少名称。";
inline constexpr const wchar_t* kIniNoValue = L"等号后缺少值。";
// %1 the name as written, %2 the section, %3 the names it has.
inline constexpr const wchar_t* kIniUnknownName = L"%2 中没有名为“%1”的设置。可用的有：%3。";
inline constexpr const wchar_t* kIniTypingNames =
    L"字段间隔、方式、字符间隔（或 FieldDelayMs、Mode、CharDelayMs）";
inline constexpr const wchar_t* kIniProgramNames =
    L"字段间隔、方式、字符间隔、读卡后（或 FieldDelayMs、Mode、CharDelayMs、OnRead）";
inline constexpr const wchar_t* kIniPrivacyNames =
    L"清除秒数、读后删除卡片文件、身份证号遮挡（或 ClearAfterSeconds、DeleteCardFiles、"
    L"MaskIdNumber）";
// %1 the key name as written.
inline constexpr const wchar_t* kIniBadTemplateKey =
    L"“%1”不是模板可用的按键；模板的按键为 F1 到 F24。";
// %1 key name, %2 line number of the first definition.
inline constexpr const wchar_t* kIniDuplicateTemplate =
    L"按键 %1 的模板已在第 %2 行定义，这一行未采用。";
// %1 setting name, %2 line number of the first definition.
inline constexpr const wchar_t* kIniDuplicateSetting = L"“%1”已在第 %2 行设置，这一行未采用。";
inline constexpr const wchar_t* kIniEmptyTemplate = L"模板为空。";
// %1 what is wrong with the template.
inline constexpr const wchar_t* kIniTemplateError = L"模板有误：%1";
// %1 setting name, %2 smallest, %3 largest value, %4 unit.
inline constexpr const wchar_t* kIniNumberRange = L"“%1”的值应为 %2 到 %3 之间的整数（%4）。";
inline constexpr const wchar_t* kIniUnitMs = L"毫秒";
inline constexpr const wchar_t* kIniUnitSeconds = L"秒，0 表示不清除";
// %1 setting name.
inline constexpr const wchar_t* kIniBadMode =
    L"“%1”的值应为 字符、按键 或 粘贴（或 unicode、keys、paste）。";
// %1 setting name.
inline constexpr const wchar_t* kIniBadYesNo = L"“%1”的值应为 是 或 否（或 yes、no）。";
// %1 key name, %2 field name.
inline constexpr const wchar_t* kIniKeyIsFields =
    L"按键 %1 已在 SetKey.txt 中分配给“%2”，仍由该项使用；这一行的模板未采用。";

// ---------------------------------------------------------------------------
// Templates: what is wrong with one (shown after kIniTemplateError).

// %1 the placeholder as written.
inline constexpr const wchar_t* kTplUnknownPlaceholder =
    L"%1 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。";
// %1 the text from the brace on.
inline constexpr const wchar_t* kTplUnclosed =
    L"“%1”缺少右大括号“}”（要录入大括号本身，请写 {{）。";
inline constexpr const wchar_t* kTplLoneClose = L"多余的右大括号“}”（要录入它本身，请写 }}）。";
// %1 the placeholder as written.
inline constexpr const wchar_t* kTplNoFormat = L"%1 不能带冒号和格式。";
// %1 the placeholder as written.
inline constexpr const wchar_t* kTplEmptyFormat =
    L"%1 的冒号后缺少日期格式，例如 {出生日期:yyyy-MM-dd}。";
// %1 the placeholder as written.
inline constexpr const wchar_t* kTplBadDelay = L"%1 中的毫秒数应为 0 到 5000 之间的整数。";
inline constexpr const wchar_t* kTplControlCharacter =
    L"模板中有不可见的控制字符（文件可能已损坏或编码不对）。";

}  // namespace keyentry
