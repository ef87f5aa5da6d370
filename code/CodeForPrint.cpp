#include "CodeForPrint.h"

#include "Composite.h"
#include "CompositeSvg.h"
#include "SvgPicture.h"

namespace zub {

QImage PrintComposite(const MadeCode &code, const CodeSource &source, const QImage &logo,
                      int scale) {
  if (!code.Made() || code.composite.isNull())
    return {};
  if (source.symbolAlone)
    return scale == 1 ? code.composite : QImage();
  const Composition made{code.canvas, code.logoBox, code.composite};
  return ScaleComposite(made, source.logoInBox.isNull() ? QImage() : logo, scale, source.logoBox);
}

VectorCode MakeVectorCode(const MadeCode &code, const CodeSource &source, const QImage &logo) {
  VectorCode vector;
  if (!code.Made() || source.symbolAlone)
    return vector;
  const bool withLogo = !source.logoInBox.isNull() && !logo.isNull();
  QByteArray svg =
      CompositeSvg(code.symbol, withLogo ? logo : QImage(), source.canvasSize, source.logoBox);
  vector.rendering = RenderSvg(svg, source.canvasSize);
  if (vector.rendering.isNull())
    return vector;
  vector.report = CheckScan({vector.rendering, code.symbol, code.picture.facts(),
                             withLogo ? source.logoBox : QRect(), code.message, source.text});
  vector.svg = std::move(svg);
  return vector;
}

} // namespace zub
