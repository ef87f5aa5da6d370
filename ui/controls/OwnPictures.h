#pragma once

#include <QImage>
#include <QString>

namespace zub {

// The pictures the windows show from the start (background, sample canvas,
// default logo, button faces, icons) are compiled into the program under
// ":/assets/". Decoding them takes milliseconds the first paint waits for.
//
// Called first thing in main, before the application object exists, this
// decodes all of them on a thread of their own while Qt connects to the
// display and loads its fonts. Without it, each picture is decoded when it
// is first asked for.
void PrefetchOwnPictures();

// The compiled-in picture `name` (such as "background.png"), as its file
// holds it; null when there is none. For the window's own thread.
QImage OwnPicture(const QString &name);

// The decoder the prefetch uses: libpng alone, as Qt reads PNG pictures
// (RGB32 when opaque, ARGB32 with transparency). Qt's own image readers
// consult its plugin loader, which must not run before or while the
// application object is made; this needs nothing of Qt's. Null where
// libpng refuses the bytes.
QImage DecodePng(const QByteArray &bytes);

} // namespace zub
