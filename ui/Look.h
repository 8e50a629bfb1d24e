// The look every window of the program shares: the palette, the fonts, the
// navy client area, bevelled panels and bold labels.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QFrame;
class QLabel;
class QWidget;

namespace ardel {

// --- palette
// Client area of every window.
inline constexpr QColor kNavy{0, 0, 128};
// Face of the main window's and the network dialog's bevelled panels.
inline constexpr QColor kPanelFace{212, 208, 200};
// The frame behind the busy indicator.
inline constexpr QColor kIndicatorFrame{63, 63, 63};
// The busy indicator: lime while an exchange runs, green when idle.
inline constexpr QColor kBusyLime{0, 255, 0};
inline constexpr QColor kIdleGreen{0, 128, 0};
// The configuration dialogs' panels keep the style's window colour, lighter
// than kPanelFace on most styles: a second panel colour, kept as it was.
QColor DialogPanelFace();

// --- fonts
// Courier New, or a font with its metrics where it is missing (Liberation
// Mono), else any fixed-pitch font. pointSize -1: the application's size.
QFont FixedFont(int pointSize = -1, bool bold = false);
// MS Sans Serif, or the sans-serif font that stands in for it.
QFont UiFont(int pointSize, bool bold);

// --- pieces
// Fills w's client area with kNavy.
void ApplyNavyBackground(QWidget *w);
// A raised panel with a two-pixel bevel filled with face; for a layout.
QFrame *MakeBevelPanel(QWidget *parent, const QColor &face);
// The same in kPanelFace at a fixed place.
QFrame *MakeBevelPanel(QWidget *parent, int x, int y, int w, int h);
// A label in the bold form of its default font; for a layout.
QLabel *MakeBoldLabel(const QString &text, QWidget *parent = nullptr);
// A bold label of the given size at a fixed place, sized to its text.
QLabel *MakeBoldLabel(QWidget *parent, const QString &text, int x, int y, int pointSize = 8);
// The label's text colour, also while the label is disabled.
void SetTextColour(QLabel *label, const QColor &colour);

} // namespace ardel
