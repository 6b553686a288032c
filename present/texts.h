#pragma once
// Every text the windows show, in UTF-8, once for every front-end. A window
// file never spells a text of its own; it takes it from here or from the
// presentation layer's views, which build theirs from these.

#include <string_view>

namespace UiText {

// Main window.
inline constexpr std::string_view kMainCaption = "zuviruzozozad";
inline constexpr std::string_view kVirtualMark = "（虚拟读卡器）";
inline constexpr std::string_view kSetBtn = "设置";
inline constexpr std::string_view kConfigBtn = "关于";
inline constexpr std::string_view kReadModeBox = "读卡方式";
inline constexpr std::string_view kResultBox = "读卡结果";
inline constexpr std::string_view kOneRead = "单次读卡";
inline constexpr std::string_view kCycleStart = "循环读卡";
inline constexpr std::string_view kCycleStop = "停止循环读卡";
inline constexpr std::string_view kChooseMode = "请选择读卡方式";
inline constexpr std::string_view kPlaceCard = "请放卡";
inline constexpr std::string_view kCardRead = "读卡成功，请取卡";
inline constexpr std::string_view kSamIdCaption = "安全模块号:";
inline constexpr std::string_view kPortUsb = "   设备端口：USB";
inline constexpr std::string_view kPortCom = "   设备端口：COM";
inline constexpr std::string_view kNoDevice = "未找到设备";
inline constexpr std::string_view kNoDeviceFixedUsb = "未找到设备(固定端口：USB";
inline constexpr std::string_view kNoDeviceFixedCom = "未找到设备(固定端口：COM";
inline constexpr std::string_view kNoDeviceFixedEnd = ")";

// The reader library could not be used; %1 the file, %2 what is missing or
// where it was looked for.
inline constexpr std::string_view kLibraryMissingFunctions = "读卡器库 %1 缺少函数：%2";
inline constexpr std::string_view kLibraryNotLoaded = "未能加载读卡器库 %1";
inline constexpr std::string_view kLibraryNotLoadedWhere = "未能加载读卡器库 %1（查找位置：%2）";
inline constexpr std::string_view kLibraryPlaceSeparator = "；";
inline constexpr std::string_view kSystemLibraryPath = "系统库路径";
// Why a file that is there did not load, after the file's name and this
// separator; %1 the file's processor, %2 the program's ("32 位 x86").
inline constexpr std::string_view kLibraryReasonSeparator = "：";
inline constexpr std::string_view kLibraryEmptyFile = "文件是空的";
inline constexpr std::string_view kLibraryNotALibrary = "文件不是动态库";
inline constexpr std::string_view kLibraryOtherArchitecture = "文件是 %1 的库，本程序需要 %2 的库";
inline constexpr std::string_view kArchitecture = "%1 位 %2";
// A call into the reader library, which runs in a process of its own, ended
// that process or did not return in time; the call's name follows.
inline constexpr std::string_view kLibraryCrashed = "读卡器库异常终止：";
inline constexpr std::string_view kLibraryHung = "读卡器库无响应：";
// No such process could be started, so the library runs inside the program.
inline constexpr std::string_view kReaderHostMissing =
    "未找到读卡器库宿主程序，读卡器库在本程序内运行";

// Card view.
inline constexpr std::string_view kBetween = "_";
// The captions printed on the card faces (the kinds' names, the faces'
// titles, and the text for a layout that is not decoded come from the core:
// CardKindName, kUnsupportedLayoutText). Identity card:
inline constexpr std::string_view kCaptionName = "姓名";
inline constexpr std::string_view kCaptionSex = "性别";
inline constexpr std::string_view kCaptionNation = "民族";
inline constexpr std::string_view kCaptionBirth = "出生";
inline constexpr std::string_view kCaptionYear = "年"; // the marks in the date of birth
inline constexpr std::string_view kCaptionMonth = "月";
inline constexpr std::string_view kCaptionDay = "日";
inline constexpr std::string_view kCaptionAddress = "住址";
inline constexpr std::string_view kCaptionIdNumber = "公民身份号码";
inline constexpr std::string_view kCaptionAuthority = "签发机关";
inline constexpr std::string_view kCaptionValidity = "有效期限";
inline constexpr std::string_view kCaptionAppAddress = "附加地址";
// Foreign permanent resident card.
inline constexpr std::string_view kCaptionChineseName = "中文姓名";
inline constexpr std::string_view kCaptionEnglishName = "英文姓名";
inline constexpr std::string_view kCaptionBirthDate = "出生日期";
inline constexpr std::string_view kCaptionNationality = "国籍";
inline constexpr std::string_view kCaptionCardNo = "证件号码";
inline constexpr std::string_view kCaptionCardVersion = "证件版本";
// Residence permit for Hong Kong, Macao and Taiwan residents.
inline constexpr std::string_view kCaptionPassNo = "通行证号码";
inline constexpr std::string_view kCaptionIssueCount = "签发次数";
inline constexpr std::string_view kFingerprintPrefix = "指纹数据  ";
inline constexpr std::string_view kFingerprintNone = "无";

// Settings dialog.
inline constexpr std::string_view kSettingsCaption = "参数设置";
inline constexpr std::string_view kSettingsBox = "参数";
inline constexpr std::string_view kPortLabel = "端口设置：";
inline constexpr std::string_view kCurrentLabel = "当前模式：";
inline constexpr std::string_view kSleepLabel = "读卡间隔：";
inline constexpr std::string_view kSleepUnit = "(毫秒)";
inline constexpr std::string_view kOkBtn = "确定";
inline constexpr std::string_view kExitBtn = "退出";
inline constexpr std::string_view kPortAuto = "自动";
inline constexpr std::string_view kPortUsbEntry = "USB";
inline constexpr std::string_view kNoSuchPort = "(无该端口)";
inline constexpr std::string_view kSettingsNotSaved = "设置未能保存：config.ini 不可写";

// About box.
inline constexpr std::string_view kAboutCaption = "关于";
inline constexpr std::string_view kAppName = "软件名称：zuviruzozozad";
inline constexpr std::string_view kVersionPrefix = "软件版本：v";
inline constexpr std::string_view kCompanyPrefix = "开发公司：";
inline constexpr std::string_view kAddressPrefix = "公司地址：";
inline constexpr std::string_view kTelephonePrefix = "热线电话：";
inline constexpr std::string_view kCompany = "zuviruzozozad 开源项目";
inline constexpr std::string_view kAddress = "示例市示例路 1 号";
inline constexpr std::string_view kTelephone = "000-0000-0000";
inline constexpr std::string_view kWebSite = "https://zuviruzozozad.example.org/";

} // namespace UiText
