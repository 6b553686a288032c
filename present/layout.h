#pragma once
// Where every control of the three windows stands, and the fonts they use:
// one source of geometry for every front-end. Rectangles are left, top,
// width, height in pixels within the containing control named beside each.

namespace UiLayout {

struct Rect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A font by family, pixel height and weight. The families are the windows'
// own names; each front-end maps them to installed faces.
struct Font
{
    const char* family;
    int pixelSize;
    bool bold = false;
    bool underline = false;
};

inline constexpr const char* kSongFamily = "宋体";
inline constexpr const char* kSansFamily = "MS Sans Serif";
inline constexpr const char* kYaHeiFamily = "微软雅黑";

inline constexpr Font kMainFont{kSansFamily, 11};       // the main window's default
inline constexpr Font kSongFont{kSongFamily, 16};       // group boxes, status bar, settings dialog
inline constexpr Font kInfoFont{kSongFamily, 16, true}; // l_Info
inline constexpr Font kSmallSongFont{kSongFamily, 13};  // Label4 and CurLb
inline constexpr Font kCardDataFont{kSongFamily, 13, true};
inline constexpr Font kCardLineFont{kSongFamily, 13};
inline constexpr Font kAboutFont{kYaHeiFamily, 13};
inline constexpr Font kAboutLinkFont{kYaHeiFamily, 13, false, true};

// Main window (client area).
inline constexpr int kMainWidth = 703;
inline constexpr int kMainHeight = 500;
inline constexpr Rect kPanel2{0, 0, 703, 57};          // in the window
inline constexpr Rect kImage1{0, 0, 556, 57};          // in Panel2
inline constexpr Rect kPanel3{556, 0, 147, 57};        // in Panel2
inline constexpr Rect kImage2{0, 0, 147, 14};          // in Panel3
inline constexpr Rect kPanel9{0, 14, 147, 43};         // in Panel3
inline constexpr Rect kSetBtn{1, 8, 65, 25};           // in Panel9: 557,22 in the window
inline constexpr Rect kConfigBtn{73, 8, 65, 25};       // in Panel9: 629,22 in the window
inline constexpr Rect kGroupBox1{0, 57, 181, 415};     // in the window
inline constexpr Rect kOneReadBtn{27, 71, 120, 25};    // in GroupBox1: 27,128 in the window
inline constexpr Rect kCycleReadBtn{27, 156, 120, 25}; // in GroupBox1: 27,213 in the window
inline constexpr Rect kGroupBox2{181, 57, 522, 415};   // in the window
inline constexpr Rect kPage{2, 22, 518, 391};          // pc_Page in GroupBox2
inline constexpr Rect kDecoration{67, 38, 380, 321}; // i_bg1, i_bg2, i_bg3, i_HasCard on ts_Device
inline constexpr Rect kCardView{16, 71, 480, 253};   // p_IDCardInfo on ts_Device
inline constexpr Rect kInfoLine{0, 391 - 46, 518, 46}; // l_Info on ts_Device
inline constexpr Rect kStatusBar{0, 472, 703, 28};     // sb_Status in the window
// The status bar's three panels: left edge and width within the bar.
inline constexpr Rect kStatusPanel0{0, 2, 177, 24};
inline constexpr Rect kStatusPanel1{177, 2, 100, 24};
inline constexpr Rect kStatusPanel2{277, 2, 703 - 277, 24};
// The band behind the two dialog buttons.
inline constexpr unsigned kBandColour = 0xdce9f6; // 0xRRGGBB

// Card view, within p_IDCardInfo.
inline constexpr Rect kCardFace{0, 0, 480, 253};     // Image4
inline constexpr Rect kPhotoPanel{344, 6, 102, 126}; // PhotoPanel; PhotoImage at its origin
inline constexpr int kCardWrapWidth = 36;            // bytes per line of the address
// The title line of the faces of the other card kinds: centred under the
// photo's place, its top at `y`.
inline constexpr Rect kCardFaceTitle{344, 137, 102, 16};
// Captions stand in a column at this left edge, each on its label's row.
inline constexpr int kCardCaptionLeft = 21;
// The colour of the captions and marks printed on the card faces.
inline constexpr unsigned kCardCaptionColour = 0x4a627e; // 0xRRGGBB

// The card view's labels, within p_IDCardInfo. A label with width and height
// 0 is sized to its text; the two wrapped ones (the address, the English
// name) keep the size of two lines.
inline constexpr int kCardWrappedWidth = 254;
inline constexpr int kCardWrappedHeight = 36;
// The identity card's face; the residence permit's has the same places.
inline constexpr Rect kNameLabel{75, 21, 0, 0};
inline constexpr Rect kSexLabel{75, 45, 0, 0};
inline constexpr Rect kNationLabel{175, 45, 0, 0};
inline constexpr Rect kBirthdayLabel{75, 69, 0, 0};
inline constexpr Rect kAddressLabel{75, 93, kCardWrappedWidth, kCardWrappedHeight};
inline constexpr Rect kIDCardNoLabel{116, 132, 0, 0};
// On every face that has them.
inline constexpr Rect kCheckDepartmentLabel{87, 157, 0, 0};
inline constexpr Rect kStartDateLabel{87, 181, 0, 0};
inline constexpr Rect kBetweenLabel{171, 174, 0, 0};
inline constexpr Rect kEndDateLabel{182, 181, 0, 0};
inline constexpr Rect kAppAddressLabel{87, 205, 0, 0};
// The residence permit's last row.
inline constexpr Rect kPassNoLabel{100, 205, 0, 0};
inline constexpr Rect kIssueCountLabel{256, 205, 0, 0};
// The foreign permanent resident card's face.
inline constexpr Rect kForeignNameLabel{87, 21, 0, 0};
inline constexpr Rect kEnglishNameLabel{87, 45, kCardWrappedWidth, kCardWrappedHeight};
inline constexpr Rect kForeignSexLabel{75, 84, 0, 0};
inline constexpr Rect kNationalityLabel{175, 84, 0, 0};
inline constexpr Rect kForeignBirthdayLabel{87, 108, 0, 0};
inline constexpr Rect kCardNoLabel{87, 132, 0, 0};
inline constexpr Rect kCardVersionLabel{87, 205, 0, 0};
// The plain face of a kind whose layout is not shown.
inline constexpr Rect kKindLabel{kCardCaptionLeft, 21, 0, 0};
inline constexpr Rect kUnsupportedLabel{kCardCaptionLeft, 45, 0, 0};
// The fingerprint line along the card's foot, on every face.
inline constexpr Rect kFingerprintLine{21, 228, 439, 19}; // Label1
// Captions standing right of the first column: the nation's and the
// nationality's, and the permit's issue count.
inline constexpr int kCardSecondCaptionLeft = 140;
inline constexpr int kIssueCountCaptionLeft = 190;

// Settings dialog (client area).
inline constexpr int kSettingsWidth = 327;
inline constexpr int kSettingsHeight = 191;
inline constexpr Rect kSettingsBox{0, 0, 327, 146};    // GroupBox1
inline constexpr Rect kSettingsPanel{0, 146, 327, 45}; // Panel1
// Within GroupBox1; labels give their top left corner and size to their text.
inline constexpr Rect kPortLabel{40, 32, 0, 0}; // Label1
inline constexpr Rect kPortCbx{122, 26, 156, 24};
inline constexpr Rect kCurrentLabel{51, 60, 0, 0}; // Label4
inline constexpr Rect kCurLb{123, 60, 0, 0};
inline constexpr Rect kSleepLabel{40, 96, 0, 0}; // Label3
inline constexpr Rect kSleepEdit{122, 94, 111, 24};
inline constexpr Rect kSleepUnit{233, 98, 0, 0}; // Label5
// The line that says when the settings could not be saved.
inline constexpr Rect kSaveError{40, 122, 280, 18};
// Within Panel1.
inline constexpr Rect kOkBtn{54, 8, 75, 25};
inline constexpr Rect kExitBtn{187, 8, 75, 25};
inline constexpr int kSleepTypedLength = 3; // typing stops at three characters (999 ms)

// About box (client area).
inline constexpr int kAboutWidth = 327;
inline constexpr int kAboutHeight = 254;
inline constexpr Rect kAboutPicture{0, 0, 327, 254}; // i_About
inline constexpr int kAboutLabelLeft = 24;
// Tops of l_AppName, l_Version, l_Company, l_Address, l_Telephone, l_WebSite.
inline constexpr int kAboutLabelTop[6] = {88, 112, 136, 160, 184, 208};
inline constexpr unsigned kLinkColour = 0x000080; // navy, 0xRRGGBB

} // namespace UiLayout
