#pragma once

// The window's look: its own light palette whatever the desktop's theme,
// the theme's colours made readable for dialogs, menus and tooltips, the
// program's icon and the skin, a Qt style sheet.

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

namespace zub {

// The main window's own colours: the light ones its pictures are drawn for,
// whatever the desktop's theme, each text colour with its background.
QPalette WindowPalette();

// `palette` with every text colour moved, where needed, until it keeps at
// least 4.5 : 1 against its background: the desktop theme's colours for the
// dialogs, menus and tooltips, made readable. A selection's colour is moved
// rather than its text, so that it stays the theme's hue.
QPalette ReadablePalette(QPalette palette);

// Makes the application's palette (the theme's) readable by ReadablePalette;
// sets it only when that changes something. Best called before the
// controls exist, as the skin is: set later, every control hears of it.
void MakeThemeReadable();

// The contrast ratio of two colours, as the web's accessibility guidelines
// compute it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);

// The program's icon in all its sizes; both windows carry it.
QIcon ApplicationIcon();

// Applies the style sheet in `path` to the whole program. A missing,
// unreadable, oversized or non-UTF-8 file changes nothing: false. The sheet
// already in force is not set again.
bool ApplySkinFile(const QString &path);

// The skin file the window loads: she.she of the program's data.
QString DefaultSkinPath();

} // namespace zub
