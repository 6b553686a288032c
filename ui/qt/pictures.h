#pragma once
// The main window's pictures, drawn in code so that they stay sharp and need
// no image files: the banner, the strip beside it, the decorations of the
// result page and the button glyphs.

#include <QPixmap>
#include <functional>

class QLabel;
class QWidget;

namespace Pictures {

QPixmap banner();                     // Image1, 556 x 57
QPixmap strip(int width);             // Image2, 14 high, continues the banner's colours
QPixmap radioWaves();                 // i_bg3, 380 x 321: waves from a reader on a pale blue ground
QPixmap paleGround();                 // i_bg1 and i_bg2, 380 x 321, lying under i_bg3
QPixmap handWithCard();               // i_HasCard, 380 x 321
QPixmap actionStatusGlyph(int index); // 16 x 16; 0 start (green triangle), 1 stop (two bars)
QPixmap settingsGlyph();              // 16 x 16 gear for SetBtn
QPixmap aboutGlyph();                 // 16 x 16 "i" for btn_Config

// The pictures the main window shows from its start. The program takes them
// as drawn when it was built (stored), so that starting it draws nothing;
// drawPicture draws them anew, for the tool that stores them.
enum class StoredPicture {
    Banner,        // banner()
    Strip,         // strip() as wide as Image2
    RadioWaves,    // radioWaves()
    StartGlyph,    // actionStatusGlyph(0)
    StopGlyph,     // actionStatusGlyph(1)
    SettingsGlyph, // settingsGlyph()
    AboutGlyph,    // aboutGlyph()
};
inline constexpr int kStoredPictureCount = 7;
QPixmap drawPicture(StoredPicture which);
QPixmap storedPicture(StoredPicture which); // in stored_pictures.cpp

// A label whose picture is made by `draw` when the label is first shown, just
// before it is painted: a view hidden at start, often for the whole run,
// costs nothing for its picture until then.
QLabel* drawnWhenShown(QWidget* parent, std::function<QPixmap()> draw);

} // namespace Pictures
