// The window's look: its own light palette, the theme's colours made
// readable, the program's icon and the skin.
#include "Theme.h"

#include "DataFiles.h"
#include "OwnPictures.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <utility>

namespace zub {

QString DefaultSkinPath() {
  return FindDataFile(QCoreApplication::applicationDirPath(), QStringLiteral("she.she"));
}

double ContrastRatio(const QColor &a, const QColor &b) {
  auto channel = [](float c) {
    return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  auto luminance = [&](const QColor &c) {
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette ReadablePalette(QPalette palette) {
  // A little above the bound, for the edges that antialiasing softens.
  constexpr double kEnough = 4.6;
  // Moves `role` of `group` toward black or white, whichever side of the
  // other colour it is on, in small steps of lightness.
  auto separate = [&](QPalette::ColorGroup group, QPalette::ColorRole role,
                      QPalette::ColorRole against) {
    QColor moving = palette.color(group, role);
    const QColor fixed = palette.color(group, against);
    if (ContrastRatio(moving, fixed) >= kEnough)
      return;
    const bool darker = moving.lightnessF() < fixed.lightnessF() ||
                        (moving.lightnessF() == fixed.lightnessF() && fixed.lightnessF() >= 0.5f);
    for (int step = 0; step < 100 && ContrastRatio(moving, fixed) < kEnough; ++step) {
      const float l = moving.lightnessF() + (darker ? -0.01f : 0.01f);
      moving.setHslF(moving.hslHueF(), moving.hslSaturationF(), std::clamp(l, 0.0f, 1.0f));
    }
    palette.setColor(group, role, moving);
  };
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    separate(group, QPalette::Highlight, QPalette::HighlightedText);
    for (const auto &[text, background] : {std::pair{QPalette::WindowText, QPalette::Window},
                                           {QPalette::Text, QPalette::Base},
                                           {QPalette::Text, QPalette::AlternateBase},
                                           {QPalette::ButtonText, QPalette::Button},
                                           {QPalette::ToolTipText, QPalette::ToolTipBase},
                                           {QPalette::PlaceholderText, QPalette::Base},
                                           {QPalette::Link, QPalette::Base},
                                           {QPalette::LinkVisited, QPalette::Base}})
      separate(group, text, background);
  }
  return palette;
}

void MakeThemeReadable() {
  const QPalette theme = QApplication::palette();
  const QPalette readable = ReadablePalette(theme);
  if (readable != theme)
    QApplication::setPalette(readable);
}

QPalette WindowPalette() {
  // A dark desktop theme would put light text and dark fields into a window
  // whose body, bands and canvas are light pictures. Text on its field keeps
  // at least 4.5 : 1 in every group, disabled text included.
  const QColor body(0xF0, 0xF0, 0xF0), field(Qt::white), ink(Qt::black), grey(0x66, 0x66, 0x66);
  QPalette p(ink, body, field, QColor(0xA0, 0xA0, 0xA0), QColor(0xA0, 0xA0, 0xA0), ink, field);
  p.setColor(QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
  p.setColor(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
  p.setColor(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
  p.setColor(QPalette::Highlight, QColor(0x1B, 0x6A, 0xB9));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
  p.setColor(QPalette::ToolTipText, ink);
  p.setColor(QPalette::PlaceholderText, grey);
  p.setColor(QPalette::Link, QColor(0x0B, 0x5C, 0xAD));
  p.setColor(QPalette::LinkVisited, QColor(0x6A, 0x2C, 0x91));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, grey);
  p.setColor(QPalette::Disabled, QPalette::Base, body);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xA0, 0xA0, 0xA0));
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, ink);
  return p;
}

QIcon ApplicationIcon() {
  // The window system takes every size when the window is shown, so reading
  // them all here decodes nothing that would not be. Up to 128 px: every
  // size goes to the X server with the window, and shells draw larger icons
  // from the installed theme icon the desktop entry names.
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128})
    icon.addPixmap(QPixmap::fromImage(OwnPicture(QStringLiteral("icon-%1.png").arg(size))));
  return icon;
}

bool ApplySkinFile(const QString &path) {
  // A style sheet is a few kilobytes; anything much larger is not one.
  constexpr qint64 kMaxSkinBytes = 1 << 20;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSkinBytes)
    return false;
  const QByteArray bytes = file.readAll();
  QStringDecoder utf8(QStringDecoder::Utf8);
  const QString text = utf8.decode(bytes);
  if (utf8.hasError() || text.contains(QChar(0)))
    return false;
  if (text != qApp->styleSheet()) // set again, every control would be styled anew
    qApp->setStyleSheet(text);
  return true;
}

} // namespace zub
