#pragma once

// Small operations the windows perform on themselves or hand to the desktop:
// dragging, the colour key, web links, showing a saved file, and the stored
// window position. They keep no state of their own.

#include <QDBusConnection>
#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QSize>
#include <QString>

#include <memory>

class QMouseEvent;
class QSettings;
class QWidget;

namespace zub {

// Window coordinates are stored in twips, 15 to a pixel at 96 dpi.
constexpr double kTwipsPerPixel = 15.0;
// The largest pixel coordinate a stored position may give, either sign.
constexpr int kMaxPixelCoordinate = 1 << 24;
// Nearest pixel, halves to even (2392.5 twips = 159.5 pixels -> 160),
// clamped to +-kMaxPixelCoordinate; NaN gives 0.
int TwipsToPixels(double twips);

// Where a window of `frame` pixels is centred on `area`; a window taller
// than the area starts at its top, so the title band stays reachable.
QPoint CentredIn(const QRect &area, QSize frame);

// The per-user settings store: application "Zub二维码", section "Soft_Stat",
// in the user's configuration folder. Null when the file there may not be
// read or written: it is neither missing nor a regular file, nor a link to
// one that the kernel's protection for links in shared folders would follow
// (a FIFO, a device, a dangling link, another user's link in a sticky
// folder). The window then starts where it starts with nothing stored, and
// stores nothing.
std::unique_ptr<QSettings> OpenPositionStore();
QString PositionStorePath();

// "AlwaysReadable" in the same store: "1" on, anything else or nothing off.
bool LoadAlwaysReadable();
// Stores it; a store that cannot be written is left alone, and nobody is told.
void SaveAlwaysReadable(bool on);

namespace desktop {

// Called on every mouse movement over the window's background: while the
// primary button is held the window follows the pointer (the window system's
// move loop where it has one, asked once per press, else moved here until the
// release); without it nothing happens. Where the window system moves the
// window, each of its moves is stored with SaveWindowPosition, so a drag is
// never lost.
void DragMoveWindow(QWidget *window, const QMouseEvent &event);

// Pixels of exactly `key` become transparent to the eye and the mouse, where
// `look` is what the window paints itself (the key beyond it); everything
// else stays opaque, its shown child controls included, which never use the
// key colour. Cheaper than painting the whole window to look at it.
void ApplyColourKey(QWidget *window, const QImage &look, QRgb key);

// Opens a web address in the user's browser. Failures are ignored.
void OpenUrl(const QString &target);

// Shows the file selected in the desktop's file manager (freedesktop
// FileManager1 over D-Bus); when that fails, opens the folder that holds it.
// Returns at once: the answer is awaited by the event loop.
void ShowInFileManager(const QString &path,
                       const QDBusConnection &bus = QDBusConnection::sessionBus());

// Stores left, top, width and height of the window in twips as text
// ("4770", "2392.5"). A store that cannot be written is silently left alone.
void SaveWindowPosition(const QWidget *window);

// Restores the stored position:
//  - "Left" or "Top" missing: centred on the primary screen;
//  - "Width" or "Height" missing or not a number, or "Left"/"Top" not a
//    number: left where it is;
//  - stored size differing from the window's: centred;
//  - a stored position that lies entirely off every screen: centred;
//  - otherwise moved there.
void LoadWindowPosition(QWidget *window);

// clang-format 14 takes a non-ASCII name in this comment for a wrong one
// and asks for the same comment again: its check is left out here.
// clang-format off
} // namespace desktop
// clang-format on
} // namespace zub
