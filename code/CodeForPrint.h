#pragma once

#include "MadeCode.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace zub {

// A made code's composite `scale` (1 .. kMaxCompositeScale) times larger,
// for print (ScaleComposite): the logo drawn from `logo`, the logo's
// picture as it was read (or LogoInBox of the larger box), null for a
// code without a logo. At scale 1 the composite that was checked; null
// when the code has no composite or the picture would be too large.
QImage PrintComposite(const MadeCode &code, const CodeSource &source, const QImage &logo,
                      int scale);

// A made code as a vector picture, and what the readers make of it as a
// renderer draws it.
struct VectorCode {
  QByteArray svg;                   // CompositeSvg; empty when it cannot be made or drawn
  QImage rendering;                 // the SVG drawn by Qt SVG at the composite's size
  std::optional<ScanReport> report; // the check of the rendering, with the svg
};

// `code` (made from `source`) as SVG with the logo `logo` embedded, drawn
// back and judged by the readers as the composite is: what is written is
// what was checked.
VectorCode MakeVectorCode(const MadeCode &code, const CodeSource &source, const QImage &logo);

} // namespace zub
