#pragma once
// The main window's pictures, drawn in code so that they stay sharp and need
// no image files: the banner, the strip beside it, the decorations of the
// result page and the button glyphs.

#include <QPixmap>
#include <functional>

class QLabel;
class QWidget;

namespace Pictures {

QPixmap Banner();                     // Image1, 556 x 57
QPixmap Strip(int width);             // Image2, 14 high, continues the banner's colours
QPixmap RadioWaves();                 // i_bg3, 380 x 321: waves from a reader on a pale blue ground
QPixmap PaleGround();                 // i_bg1 and i_bg2, 380 x 321, lying under i_bg3
QPixmap HandWithCard();               // i_HasCard, 380 x 321
QPixmap ActionStatusGlyph(int index); // 16 x 16; 0 start (green triangle), 1 stop (two bars)
QPixmap SettingsGlyph();              // 16 x 16 gear for SetBtn
QPixmap AboutGlyph();                 // 16 x 16 "i" for btn_Config

// The pictures the main window shows from its start. The program takes them
// as drawn when it was built (stored), so that starting it draws nothing;
// drawPicture draws them anew, for the tool that stores them.
enum class StoredPicture {
    Banner,        // Banner()
    Strip,         // Strip() as wide as Image2
    RadioWaves,    // RadioWaves()
    StartGlyph,    // ActionStatusGlyph(0)
    StopGlyph,     // ActionStatusGlyph(1)
    SettingsGlyph, // SettingsGlyph()
    AboutGlyph,    // AboutGlyph()
};
inline constexpr int kStoredPictureCount = 7;
QPixmap DrawPicture(StoredPicture which);
QPixmap StoredPixmap(StoredPicture which); // in stored_pictures.cpp

// A label whose picture is made by `draw` when the label is first shown, just
// before it is painted: a view hidden at start, often for the whole run,
// costs nothing for its picture until then.
QLabel* DrawnWhenShown(QWidget* parent, std::function<QPixmap()> draw);

} // namespace Pictures
