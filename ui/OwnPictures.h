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
// holds it; null when there is none.
QImage OwnPicture(const QString &name);

} // namespace zub
