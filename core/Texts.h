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

// The main window's system menu: a shortcut in the Startup folder starts the
// program at logon.
inline constexpr const wchar_t* kMenuStartAtLogon = L"开机时自动运行";
// %1 the shortcut's full path.
inline constexpr const wchar_t* kMsgStartAtLogonOnFailed =
    L"无法创建快捷方式 %1，开机时不会自动运行本程序。"
    L"请检查启动文件夹是否可写，以及同名文件是否为只读。";
// %1 the shortcut's full path.
inline constexpr const wchar_t* kMsgStartAtLogonOffFailed =
    L"无法删除快捷方式 %1，开机时仍会自动运行本程序。"
    L"请检查该文件是否为只读，或是否被其他程序占用。";
// The main window's system menu: the self-check window.
inline constexpr const wchar_t* kMenuSelfCheck = L"自检…";
// The photo box's right-click menu and its save dialog.
inline constexpr const wchar_t* kMenuCopyPhoto = L"复制照片";
inline constexpr const wchar_t* kMenuSavePhoto = L"保存照片…";
inline constexpr const wchar_t* kSavePhotoTitle = L"保存照片";
// The save dialog's file types: name, NUL, pattern, NUL, ... ending in two NULs.
inline constexpr wchar_t kSavePhotoFilter[] =
    L"JPEG 图像 (*.jpg)\0*.jpg\0PNG 图像 (*.png)\0*.png\0BMP 图像 (*.bmp)\0*.bmp\0";
inline constexpr const wchar_t* kSavePhotoFailed = L"照片未能保存到这个位置，请换一个文件夹再试。";
inline constexpr const wchar_t* kCopyPhotoFailed =
    L"照片未能放到剪贴板上（剪贴板正被其他程序占用），请稍后再试。";

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
    L"[隐私]、[站点]、[核验]（或 "
    L"[Templates]、[Typing]、[App:NAME]、[Privacy]、[Site]、[Checks]）。";
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
inline constexpr const wchar_t* kIniPhotoNames =
    L"格式、文件夹、文件名（或 Format、Folder、FileName）";
// %1 setting name.
inline constexpr const wchar_t* kIniBadPhotoFormat = L"“%1”的值应为 jpg、png 或 bmp。";
// %1 setting name.
inline constexpr const wchar_t* kIniPhotoFolderNotFull =
    L"“%1”应为完整路径，例如 D:\\照片 或 \\\\服务器\\共享\\照片。";
inline constexpr const wchar_t* kIniPhotoNameNotText =
    L"文件名只能由卡片信息、日期和文字组成，不能含按键、延时或照片。";
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

// ---------------------------------------------------------------------------
// The self-check window (自检): what the program finds about itself on this
// PC, a typing test, a preview of the templates and a report to copy.

inline constexpr const wchar_t* kSelfCheckCaption = L"KeyEntry 自检";

// Each status line starts with its label.
inline constexpr const wchar_t* kCheckVersion = L"版本：";
inline constexpr const wchar_t* kCheckFolder = L"程序文件夹：";
inline constexpr const wchar_t* kCheckReader = L"读卡库：";
inline constexpr const wchar_t* kCheckPort = L"端口：";
inline constexpr const wchar_t* kCheckHook = L"键盘钩子：";
inline constexpr const wchar_t* kCheckSendStr = L"SendStr.dll：";
inline constexpr const wchar_t* kCheckSettings = L"KeyEntry.ini：";
inline constexpr const wchar_t* kCheckTyping = L"输入方式：";
inline constexpr const wchar_t* kCheckPrivacy = L"隐私：";
inline constexpr const wchar_t* kCheckShared = L"共享设置：";
// The warning line when {照片文件} could not write its file; %1 the folder.
inline constexpr const wchar_t* kPhotoFolderUnwritable =
    L"照片文件无法写入“%1”，请检查 KeyEntry.ini 中 [照片] 的文件夹";
// %1 the photo folder, %2 how many photo files are in it.
inline constexpr const wchar_t* kCheckPhotos = L"照片文件：";
inline constexpr const wchar_t* kCheckPhotoFiles = L"%1，其中现有 %2 个照片文件";
// The shared settings file: %1 its path, %2 how long ago.
inline constexpr const wchar_t* kCheckSharedWaiting = L"%1：服务器尚未应答";
inline constexpr const wchar_t* kCheckSharedReadOk = L"%1：%2前读取成功";
inline constexpr const wchar_t* kCheckSharedUnreachable = L"%1：已有 %2无法读取";
// %1 how long ago the copy was saved.
inline constexpr const wchar_t* kCheckSharedCopy = L"，使用 %1前保存的副本 KeyEntry.shared.ini";
inline constexpr const wchar_t* kCheckSharedNoCopy = L"，没有副本，只用本机的 KeyEntry.ini";
inline constexpr const wchar_t* kCheckAgeSeconds = L"%1 秒";
inline constexpr const wchar_t* kCheckAgeMinutes = L"%1 分钟";
inline constexpr const wchar_t* kCheckAgeHours = L"%1 小时";
inline constexpr const wchar_t* kCheckAgeDays = L"%1 天";

// %1 the folder.
inline constexpr const wchar_t* kCheckFolderWritable = L"%1（可写）";
inline constexpr const wchar_t* kCheckFolderNotWritable =
    L"%1（不可写：读卡库无法写入卡片文件，退出时无法保存 SetKey.txt）";
// Libraries: %1 the full path.
inline constexpr const wchar_t* kCheckLibraryNotTried = L"尚未加载";
inline constexpr const wchar_t* kCheckLibraryNotFound = L"未找到 %1";
// %1 the full path, %2 the system's error number, %3 what it means.
inline constexpr const wchar_t* kCheckLibraryLoadFailed = L"%1 无法加载（错误 %2%3）";
inline constexpr const wchar_t* kCheckErrorBadFormat = L"：位数（32/64 位）不对，或不是 Windows 库";
inline constexpr const wchar_t* kCheckErrorDependency = L"：它需要的其他文件缺失";
// %1 the full path, %2 the functions it lacks.
inline constexpr const wchar_t* kCheckLibraryMissing = L"%1 缺少函数 %2（文件损坏或版本不对）";
inline constexpr const wchar_t* kCheckListSeparator = L"、";
inline constexpr const wchar_t* kCheckSendStrWaits = L"（键盘钩子启动时加载）";
// %1 the port name.
inline constexpr const wchar_t* kCheckPortReading = L"%1，正在读卡";
inline constexpr const wchar_t* kCheckPortStopped = L"%1，已停止读卡";
inline constexpr const wchar_t* kCheckPortNone = L"未连接";
inline constexpr const wchar_t* kCheckHookOff = L"未安装（找到阅读器后才安装，功能键不起作用）";
// %1 seconds since the last key, %2 how often the hook was renewed.
inline constexpr const wchar_t* kCheckHookOn = L"已安装，最近一次按键在 %1 秒前，重新安装 %2 次";
// %1 how often the hook was renewed.
inline constexpr const wchar_t* kCheckHookNoKey = L"已安装，尚未收到按键，重新安装 %1 次";
inline constexpr const wchar_t* kCheckSettingsMissing = L"没有此文件（全部使用默认设置）";
// %1 number of templates, %2 typing on read (on or off).
inline constexpr const wchar_t* kCheckSettingsLoaded = L"已载入，%1 个模板，读卡后：%2";
// %1 number of problems.
inline constexpr const wchar_t* kCheckSettingsProblems = L"；%1 处问题未采用：";
// %1 line number, %2 the line, %3 what is wrong.
inline constexpr const wchar_t* kCheckSettingsProblem = L"第 %1 行“%2”：%3";
// %1 number of problems not listed.
inline constexpr const wchar_t* kCheckSettingsMore = L"另有 %1 处";
inline constexpr const wchar_t* kCheckOn = L"开";
inline constexpr const wchar_t* kCheckOff = L"关";
inline constexpr const wchar_t* kCheckYes = L"是";
inline constexpr const wchar_t* kCheckNo = L"否";
// %1 the program, %2 mode, %3 field delay, %4 character delay, %5 typing on read.
inline constexpr const wchar_t* kCheckTypingFor =
    L"%1：%2，字段间隔 %3 毫秒，字符间隔 %4 毫秒，读卡后：%5";
inline constexpr const wchar_t* kCheckOwnSection = L"（按 [程序:%1] 中的设定）";
inline constexpr const wchar_t* kCheckNoProgram = L"（未记录：请先点击要录入的软件，再打开自检）";
inline constexpr const wchar_t* kCheckUnknownProgram = L"（无法得知的程序）";
inline constexpr const wchar_t* kModeUnicode = L"字符";
inline constexpr const wchar_t* kModeKeys = L"按键";
inline constexpr const wchar_t* kModePaste = L"粘贴";
// %1 seconds (0: never), %2 delete card files, %3 mask the ID number.
inline constexpr const wchar_t* kCheckPrivacyLine =
    L"清除秒数 %1，读后删除卡片文件：%2，身份证号遮挡：%3";
inline constexpr const wchar_t* kCheckNeverClear = L"（不清除）";

// The typing test.
inline constexpr const wchar_t* kTypingTestLabel =
    L"录入测试：点击下面的按钮，或点击方框后按下设定的功能键";
inline constexpr const wchar_t* kTypingTestText = L"测试 Test 123-X（，。）";
inline constexpr const wchar_t* kTestUnicode = L"测试字符方式";
inline constexpr const wchar_t* kTestKeys = L"测试按键方式";
inline constexpr const wchar_t* kTestPaste = L"测试粘贴方式";
inline constexpr const wchar_t* kTestRunning = L"正在测试…";
inline constexpr const wchar_t* kTestPassed = L"通过";
inline constexpr const wchar_t* kTestNotRun = L"未测试";
// %1 what arrived.
inline constexpr const wchar_t* kTestFailed = L"未通过：收到“%1”";
inline constexpr const wchar_t* kTestNoHook = L"未通过：键盘钩子未安装";
// %1 what the program sent for the press.
inline constexpr const wchar_t* kPressSent = L"这次按键发出：%1";
inline constexpr const wchar_t* kPressWaiting = L"　等待…";
inline constexpr const wchar_t* kPressPassed = L"　结果：通过";
// %1 what arrived.
inline constexpr const wchar_t* kPressFailed = L"　结果：未通过，方框收到“%1”";
inline constexpr const wchar_t* kPressHasKeys =
    L"　（含 ⇥/↵/⇤ 按键，方框无法核对，请在要录入的软件中试）";
inline constexpr const wchar_t* kPressNone = L"（尚未在方框中按功能键）";

// The template preview.
inline constexpr const wchar_t* kPreviewLabel = L"模板预览：";
inline constexpr const wchar_t* kPreviewOnRead = L"读卡后";
// %1 the program.
inline constexpr const wchar_t* kPreviewOnReadFor = L"读卡后 [程序:%1]";
inline constexpr const wchar_t* kPreviewNoTemplates = L"（KeyEntry.ini 中没有模板）";
inline constexpr const wchar_t* kPreviewSampleMark = L"【示例卡】";
inline constexpr const wchar_t* kPreviewTab = L"⇥";
inline constexpr const wchar_t* kPreviewShiftTab = L"⇤";
inline constexpr const wchar_t* kPreviewEnter = L"↵";
inline constexpr const wchar_t* kPreviewPause = L"⏱";
inline constexpr const wchar_t* kPreviewPhoto = L"[照片]";
inline constexpr const wchar_t* kPreviewPhotoFile = L"[照片文件路径]";
// The sample card: invented, obviously not a real person's (the region code
// 000000 exists nowhere).
inline constexpr std::array<const wchar_t*, kCardFieldCount> kSampleCard = {
    L"示例姓名",
    L"男",
    L"汉",
    L"20000101",
    L"示例省示例市示例路1号",
    L"00000020000101001X",
    L"示例市公安局",
    L"2020.01.01-2040.01.01",
};

// The report.
inline constexpr const wchar_t* kCopyReport = L"复制报告";
inline constexpr const wchar_t* kReportTitle = L"KeyEntry 自检报告";
inline constexpr const wchar_t* kReportTests = L"录入测试：";
// %1 the test's caption, %2 its result.
inline constexpr const wchar_t* kReportTestLine = L"%1：%2";
inline constexpr const wchar_t* kMsgReportNotCopied =
    L"无法把自检报告放到剪贴板（剪贴板正被其他程序使用），请稍后再点“复制报告”。";

// The reader's helper process KeyEntryReader.exe (the status line while it
// is in trouble, the self-check's line).
inline constexpr const wchar_t* kStatusSearching = L"正在查找读卡器…";
// During the search, before each port is opened: followed by the port's
// name ("USB1003", "COM2") and kStatusSearchingEnd.
inline constexpr const wchar_t* kStatusSearchingPort = L"正在查找读卡器：";
inline constexpr const wchar_t* kStatusSearchingEnd = L"…";
// The card on the reader crashed the reader library at every read: it is
// not read again until it is taken off.
inline constexpr const wchar_t* kStatusCardRefused =
    L"这张卡多次读取失败（读卡库崩溃），已停止读取。请取下卡片后重新放置。";
inline constexpr const wchar_t* kStatusReaderCrashed = L"读卡器程序意外退出，正在重新连接…";
inline constexpr const wchar_t* kStatusReaderNoAnswer = L"读卡器无响应，正在重新连接…";
inline constexpr const wchar_t* kStatusReaderCannotStart =
    L"读卡器程序 KeyEntryReader.exe 无法启动，正在重试…";
inline constexpr const wchar_t* kStatusReaderReconnecting = L"读卡器未连接，正在重新连接…";
// The port search ended because the helper crashed or did not answer.
inline constexpr const wchar_t* kStatusSearchFailed =
    L"读卡器无响应，未能打开端口。请检查读卡器后再点击“开始读卡”。";
// Who may change the program folder, from its access list.
inline constexpr const wchar_t* kCheckFolderAccess = L"文件夹权限：";
inline constexpr const wchar_t* kCheckFolderAccessSafe =
    L"别的用户不能修改程序文件夹（只有管理员、系统或您本人可以）";
// %1 who, %2 what they may change.
inline constexpr const wchar_t* kCheckFolderAccessOpen =
    L"警告：%1 可以修改%2，别的用户能借此替换您运行的程序；请安装到 Program Files，"
    L"或由管理员只给用户“读取和执行”权限";
inline constexpr const wchar_t* kCheckFolderAccessFolder = L"程序文件夹";
inline constexpr const wchar_t* kCheckFolderAccessFiles = L"其中的文件";
inline constexpr const wchar_t* kCheckFolderAccessBoth = L"程序文件夹及其中的文件";
inline constexpr const wchar_t* kCheckFolderAccessUnknown = L"无法读取程序文件夹的权限";
inline constexpr const wchar_t* kCheckReaderProcess = L"读卡进程：";
inline constexpr const wchar_t* kReaderHelperName = L"KeyEntryReader.exe ";
// %1 how often it was restarted, %2 the last reason.
inline constexpr const wchar_t* kCheckHelperRunning = L"运行中";
inline constexpr const wchar_t* kCheckHelperNotRunning = L"未运行";
inline constexpr const wchar_t* kCheckHelperRestarts = L"，已重新启动 %1 次";
inline constexpr const wchar_t* kCheckHelperLastReason = L"，最近一次原因：%1";
inline constexpr const wchar_t* kReasonCrashed = L"读卡库崩溃";
inline constexpr const wchar_t* kReasonNoAnswer = L"读卡库调用超时";
inline constexpr const wchar_t* kReasonCannotStart = L"KeyEntryReader.exe 无法启动";
// The installation package: the system menu's item when the package made
// the Startup shortcut for all users (AUTOSTART=1), and the message when it
// is chosen. %1 the shortcut's full path.
inline constexpr const wchar_t* kMenuStartAtLogonByInstaller = L"开机时自动运行（安装时已设置）";
inline constexpr const wchar_t* kMsgStartAtLogonByInstaller =
    L"开机时自动运行是安装本程序时为本机所有用户设置的（快捷方式 %1），在这里不能关闭。"
    L"要关闭它，请管理员用 AUTOSTART=0 重新安装本程序。";

// The self-check's line on the shared settings file when the version in use
// could not be saved as the copy: %1 how long ago it was read, %2 since when
// the copy cannot be written.
inline constexpr const wchar_t* kCheckSharedInMemory = L"，使用 %1前读到的内容";
inline constexpr const wchar_t* kCheckSharedCopyFailed =
    L"；已有 %1无法保存副本 KeyEntry.shared.ini（程序文件夹不可写或文件被占用），"
    L"每次读取共享文件时再试";

// Counter checks of a card read ([核验] of KeyEntry.ini) and the warning line
// of the main window.
inline constexpr const wchar_t* kIniChecksNames =
    L"过期、未满、号码、提醒时不自动录入（或 Expired、UnderAge、IdNumber、HoldOnReadWhenWarned）";
inline constexpr const wchar_t* kIniUnitYears = L"岁，0 表示不检查";
inline constexpr const wchar_t* kWarnPrefix = L"注意：";
inline constexpr const wchar_t* kWarnSeparator = L"；";
// %1 the last day of the validity (yyyy.MM.dd).
inline constexpr const wchar_t* kWarnExpired = L"证件已过期（有效期至%1）";
// %1 the age asked for, %2 the holder's age.
inline constexpr const wchar_t* kWarnUnderAge = L"未满%1岁（%2岁）";
inline constexpr const wchar_t* kWarnNumberMalformed = L"身份证号含有不应有的字符";
inline constexpr const wchar_t* kWarnCheckDigit = L"身份证号校验位不符";
inline constexpr const wchar_t* kWarnBirthDiffers = L"身份证号与出生日期不一致";
inline constexpr const wchar_t* kWarnSexDiffers = L"身份证号与性别不一致";
// The self-check's line of the checks switched on.
inline constexpr const wchar_t* kCheckChecks = L"核验：";
inline constexpr const wchar_t* kCheckChecksExpired = L"证件过期";
// %1 the age.
inline constexpr const wchar_t* kCheckChecksUnderAge = L"未满 %1 岁";
inline constexpr const wchar_t* kCheckChecksNumber = L"身份证号";
inline constexpr const wchar_t* kCheckChecksNone = L"（未启用任何核验）";
inline constexpr const wchar_t* kCheckChecksHold = L"；提醒时不自动录入";
// The preview of the keys for forms.
inline constexpr const wchar_t* kPreviewUp = L"↑";
inline constexpr const wchar_t* kPreviewDown = L"↓";
inline constexpr const wchar_t* kPreviewLeft = L"←";
inline constexpr const wchar_t* kPreviewRight = L"→";
inline constexpr const wchar_t* kPreviewHome = L"⇱";
inline constexpr const wchar_t* kPreviewEnd = L"⇲";
inline constexpr const wchar_t* kPreviewSpace = L"␣";
inline constexpr const wchar_t* kPreviewEsc = L"⎋";
inline constexpr const wchar_t* kPreviewBackspace = L"⌫";
inline constexpr const wchar_t* kPreviewDelete = L"⌦";
inline constexpr const wchar_t* kPreviewCtrlA = L"⌃A";

}  // namespace keyentry
