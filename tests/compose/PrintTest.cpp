// The composite for print: drawn N times larger, and as a vector picture.
// Each is judged against the composite the window shows and the readers
// read, pixel for pixel where it must be the same.
#include "CodeForPrint.h"
#include "Composite.h"
#include "CompositeSvg.h"
#include "ImageFile.h"
#include "Layout.h"
#include "LogoBox.h"
#include "LogoImage.h"
#include "MadeCode.h"
#include "ScanCheck.h"
#include "SvgPicture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>

namespace zub {
namespace {

// A logo with detail finer than the 1x box shows: one-pixel stripes and a
// ring, 640 x 640 pixels.
QImage FineLogo() {
  QImage logo(640, 640, QImage::Format_RGB32);
  logo.fill(qRgb(250, 250, 240));
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing);
  for (int x = 0; x < 640; x += 16)
    p.fillRect(x, 0, 3, 640, QColor(200, 30, 40));
  p.setPen(QPen(QColor(20, 60, 200), 24));
  p.drawEllipse(QPoint(320, 320), 200, 200);
  return logo;
}

struct Made {
  MadeCode code;
  CodeSource source;
  QImage logo; // its picture
};

Made MakeWithLogo(const QString &text, int version, int level, const QImage &logo) {
  Made made;
  made.logo = logo;
  made.source.text = text;
  made.source.logoInBox = logo.isNull() ? QImage() : LogoInBox(logo, kLogoBoxRect.size());
  QrEncoder encoder;
  CodeOptions options;
  options.version = version;
  options.ecLevel = level;
  made.code = MakeCode(encoder, made.source, options, false);
  return made;
}

// The mean difference of a colour channel between two pictures inside the
// logo box of `scale`, the first at 1x.
double MeanDifferenceInTheBox(const QImage &small, const QImage &large, int scale) {
  const QImage a = small.convertToFormat(QImage::Format_RGB32);
  const QImage b = large.convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  int n = 0;
  for (int y = kLogoBoxRect.top() * scale; y <= kLogoBoxRect.bottom() * scale; ++y)
    for (int x = kLogoBoxRect.left() * scale; x <= kLogoBoxRect.right() * scale; ++x) {
      const QRgb p = a.pixel(x / scale, y / scale), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
             std::abs(qBlue(p) - qBlue(q));
      n += 3;
    }
  return sum / n;
}

TEST(PrintComposite, OutsideTheLogoEachPixelBecomesABlockAndTheLogoIsDrawnAtThatSize) {
  const QImage fine = FineLogo();
  struct Case {
    int version, level;
    QImage logo;
    int scale;
  };
  for (const Case &c : {Case{3, kLevelM, fine, 2}, Case{7, kLevelH, fine, 4},
                        Case{15, kLevelQ, test::SampleLogo(), 3}, Case{4, kLevelL, QImage(), 4},
                        Case{25, kLevelM, fine, 8}}) {
    SCOPED_TRACE(testing::Message() << "version " << c.version << " scale " << c.scale);
    const Made made =
        MakeWithLogo(QStringLiteral("https://zub.example.cn/print"), c.version, c.level, c.logo);
    ASSERT_TRUE(made.code.Made());
    const QImage large = PrintComposite(made.code, made.source, made.logo, c.scale);
    ASSERT_EQ(large.size(), kCanvasSize * c.scale);
    EXPECT_EQ(test::DifferencesOutsideTheLogoBox(made.code.composite, large, c.scale), 0);
    EXPECT_EQ(large.dotsPerMeterX(), CompositeDotsPerMeter(c.scale));
    EXPECT_EQ(large.dotsPerMeterY(), CompositeDotsPerMeter(c.scale));

    // In the box: the logo drawn from its picture at the larger size inside
    // the rounded region, drawn at that size too; the canvas, enlarged,
    // elsewhere.
    const QSize box = kLogoBoxRect.size() * c.scale;
    const QImage shown = LogoInBox(c.logo, box);
    int wrong = 0;
    for (int y = 0; y < box.height(); ++y)
      for (int x = 0; x < box.width(); ++x) {
        const QPoint at = kLogoBoxRect.topLeft() * c.scale + QPoint(x, y);
        const bool logo =
            !c.logo.isNull() && InLogoRegion(x, y, box.width(), box.height(), c.scale);
        const QRgb expected =
            logo ? shown.pixel(x, y) : made.code.canvas.pixel(at.x() / c.scale, at.y() / c.scale);
        wrong += large.pixel(at) != expected;
      }
    EXPECT_EQ(wrong, 0);
    if (c.logo == fine) {
      // Sharper than the 1x picture enlarged: the stripes keep their edges.
      EXPECT_GT(MeanDifferenceInTheBox(made.code.composite, large, c.scale), 8.0);
    }
  }
}

TEST(PrintComposite, TheRoundedRegionAtScaleIsTheSameShapeAsAt1x) {
  // Every 1x pixel wholly inside (outside) the region has all its N x N
  // pixels inside (outside) at scale N, except along the curve.
  for (const int scale : {2, 3, 4, 8, 16}) {
    int disagree = 0;
    for (int y = 0; y < 89; ++y)
      for (int x = 0; x < 89; ++x) {
        int inside = 0;
        for (int dy = 0; dy < scale; ++dy)
          for (int dx = 0; dx < scale; ++dx)
            inside += InLogoRegion(x * scale + dx, y * scale + dy, 89 * scale, 89 * scale, scale);
        const bool small = InLogoRegion(x, y, 89, 89);
        // The block's centre decides at 1x: more than half of it agrees.
        disagree += small ? inside * 2 < scale * scale : inside * 2 > scale * scale;
      }
    EXPECT_EQ(disagree, 0) << "scale " << scale;
    // The straight sides stay where they were: column 78 in, 79 out.
    EXPECT_TRUE(InLogoRegion(79 * scale - 1, 40 * scale, 89 * scale, 89 * scale, scale));
    EXPECT_FALSE(InLogoRegion(79 * scale, 40 * scale, 89 * scale, 89 * scale, scale));
  }
}

TEST(PrintComposite, Scale1IsTheCompositeItselfAndOtherScalesAreRefused) {
  const Made made = MakeWithLogo(QStringLiteral("Zub"), 0, kLevelM, test::SampleLogo());
  const QImage same = PrintComposite(made.code, made.source, made.logo, 1);
  EXPECT_EQ(same.constBits(), made.code.composite.constBits());
  EXPECT_EQ(same.dotsPerMeterX(), kDotsPerMeter);
  EXPECT_TRUE(PrintComposite(made.code, made.source, made.logo, 0).isNull());
  EXPECT_TRUE(PrintComposite(made.code, made.source, made.logo, kMaxCompositeScale + 1).isNull());
}

TEST(PrintComposite, ReadsWhereverThe1xReads) {
  // Versions across the range, both ends of the levels, with and without a logo: an
  // enlarged composite reads on all three readers wherever the 1x does.
  const QImage painted = test::PaintedLogo();
  int compared = 0;
  for (const int version : {1, 6, 12, 20, 27})
    for (const int level : {kLevelL, kLevelH})
      for (const bool withLogo : {true, false}) {
        const QString text = test::TextOfSize(version, level, TextEncoding::Utf8, 0.8);
        const Made made = MakeWithLogo(text, version, level, withLogo ? painted : QImage());
        ASSERT_TRUE(made.code.Made());
        if (!ReadsBack(made.code.composite, made.code.message))
          continue;
        ++compared;
        const int scale = version < 12 ? 4 : 2;
        EXPECT_TRUE(
            ReadsBack(PrintComposite(made.code, made.source, made.logo, scale), made.code.message))
            << "version " << version << " level " << level << " logo " << withLogo;
      }
  EXPECT_GT(compared, 10);
}

TEST(PrintComposite, FilesCarryTheirDensity) {
  const Made made = MakeWithLogo(QStringLiteral("Zub"), 0, kLevelM, test::SampleLogo());
  struct Case {
    int scale;
    int dpi;
  };
  for (const Case &c : {Case{1, 96}, Case{2, 192}, Case{3, 288}, Case{4, 300}, Case{8, 300}}) {
    const QImage picture = PrintComposite(made.code, made.source, made.logo, c.scale);
    for (const ImageFileFormat format :
         {ImageFileFormat::Png, ImageFileFormat::Bmp, ImageFileFormat::Jpeg}) {
      QByteArray bytes =
          EncodeImageFile(picture, format, c.scale > 1 ? CompositeDotsPerInch(c.scale) : 0);
      QBuffer buffer(&bytes);
      QImageReader reader(&buffer);
      const QImage back = reader.read();
      ASSERT_FALSE(back.isNull());
      EXPECT_EQ(back.size(), picture.size());
      if (format == ImageFileFormat::Jpeg && c.scale == 1)
        continue; // a 1x JPEG says no density, as it always has
      EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, c.dpi, 0.5)
          << "scale " << c.scale << " format " << static_cast<int>(format);
      if (format != ImageFileFormat::Jpeg) {
        EXPECT_EQ(back, picture.convertToFormat(back.format()));
      }
    }
  }
}

// --- The vector picture ---------------------------------------------------

// rsvg-convert's drawing of `svg` at `zoom`, as a picture.
QImage RsvgDrawing(const QByteArray &svg, int zoom) {
  QTemporaryDir dir;
  const QString in = dir.filePath(QStringLiteral("in.svg")),
                out = dir.filePath(QStringLiteral("out.png"));
  QFile file(in);
  if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size())
    return {};
  file.close();
  QProcess p;
  p.start(QStringLiteral("rsvg-convert"),
          {QStringLiteral("-z"), QString::number(zoom), QStringLiteral("-o"), out, in});
  if (!p.waitForFinished(60000) || p.exitCode() != 0)
    return {};
  return QImage(out).convertToFormat(QImage::Format_RGB32);
}

TEST(VectorCode, DrawnByEitherRendererItIsTheCompositeAndReads) {
  const QImage fine = FineLogo();
  struct Case {
    int version, level;
    QImage logo;
  };
  for (const Case &c : {Case{1, kLevelM, test::SampleLogo()}, Case{5, kLevelH, fine},
                        Case{13, kLevelQ, test::PaintedLogo()}, Case{22, kLevelM, QImage()},
                        Case{9, kLevelL, fine}}) {
    SCOPED_TRACE(testing::Message() << "version " << c.version);
    const QString text = test::TextOfSize(c.version, c.level, TextEncoding::Utf8, 0.7);
    const Made made = MakeWithLogo(text, c.version, c.level, c.logo);
    ASSERT_TRUE(made.code.Made());
    const VectorCode vector = MakeVectorCode(made.code, made.source, made.logo);
    ASSERT_FALSE(vector.svg.isEmpty());
    ASSERT_TRUE(vector.report.has_value());
    // The drawing is judged as the composite is, with the same outcome.
    const ScanReport composite =
        CheckScan({made.code.composite, made.code.symbol, made.code.picture.facts(),
                   c.logo.isNull() ? QRect() : kLogoBoxRect, made.code.message, made.source.text});
    EXPECT_EQ(vector.report->Passes(), composite.Passes());
    EXPECT_EQ(vector.report->Causes().size(), composite.Causes().size());

    const QImage rsvg = RsvgDrawing(vector.svg, 1);
    ASSERT_FALSE(rsvg.isNull()) << "rsvg-convert is needed (scripts/install-deps.sh)";
    for (const QImage &drawn : {vector.rendering, rsvg}) {
      ASSERT_EQ(drawn.size(), kCanvasSize);
      // The modules fall on whole pixels: outside the logo exactly the
      // composite; in the logo's box the same picture, resampled by another
      // hand.
      EXPECT_EQ(test::DifferencesOutsideTheLogoBox(made.code.composite, drawn, 1), 0);
      // Stripes finer than a pixel come out as each hand averages them.
      if (c.logo != fine) {
        EXPECT_LT(MeanDifferenceInTheBox(made.code.composite, drawn, 1), 12.0);
      }
      const auto found = test::DecodeAll(drawn);
      ASSERT_EQ(found.size(), 1u);
      EXPECT_EQ(found[0].text, text);
      EXPECT_TRUE(ReadsBack(drawn, made.code.message));
    }
  }
}

TEST(VectorCode, NoGapsBetweenDarkNeighboursAtAnyZoom) {
  // Squares drawn one by one leave a faint line between neighbours where
  // their edges are smoothed; one path leaves none. At 8x and at a zoom
  // that puts edges between pixels, every pixel outside the logo's box is
  // the composite's, within the smoothing of an edge that falls inside a
  // pixel.
  const Made made =
      MakeWithLogo(QStringLiteral("https://zub.example.cn/gaps"), 10, kLevelM, test::SampleLogo());
  const QByteArray svg = CompositeSvg(made.code.symbol, made.logo);
  for (const int zoom : {8, 3}) {
    const QImage rsvg = RsvgDrawing(svg, zoom);
    ASSERT_FALSE(rsvg.isNull());
    EXPECT_EQ(test::DifferencesOutsideTheLogoBox(made.code.composite, rsvg, zoom), 0)
        << "zoom " << zoom;
    EXPECT_EQ(test::DifferencesOutsideTheLogoBox(made.code.composite,
                                                 RenderSvg(svg, kCanvasSize * zoom), zoom),
              0)
        << "zoom " << zoom;
  }
  // One path for every module, and no rectangles between them.
  EXPECT_EQ(svg.count("<path"), 1);
  EXPECT_EQ(svg.count("<rect"), 2); // the background and the clip
}

TEST(VectorCode, TheLogoIsInTheFileClippedToItsRoundedRegion) {
  const Made made = MakeWithLogo(QStringLiteral("Zub"), 3, kLevelH, test::SampleLogo());
  const QByteArray svg = CompositeSvg(made.code.symbol, made.logo);
  // Embedded, never a link to a file on this machine.
  const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
  const auto links = href.globalMatch(QString::fromUtf8(svg));
  int images = 0;
  for (auto it = links; it.hasNext();) {
    const QString target = it.next().captured(1);
    EXPECT_TRUE(target.startsWith(QStringLiteral("data:image/png;base64,")))
        << target.left(40).toStdString();
    const QImage embedded = QImage::fromData(
        QByteArray::fromBase64(
            target.mid(QStringLiteral("data:image/png;base64,").size()).toLatin1()),
        "PNG");
    ASSERT_FALSE(embedded.isNull());
    // Transparent outside the rounded region, opaque inside.
    EXPECT_EQ(qAlpha(embedded.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(embedded.pixel(embedded.width() / 2, embedded.height() / 2)), 255);
    EXPECT_EQ(qAlpha(embedded.pixel(embedded.width() - 1, embedded.height() / 2)), 0);
    ++images;
  }
  EXPECT_EQ(images, 1);
  EXPECT_TRUE(svg.contains("<clipPath id=\"logo-region\"><rect x=\"232\" y=\"152\" width=\"79\" "
                           "height=\"79\" rx=\"15\" ry=\"15\"/></clipPath>"));
  EXPECT_TRUE(svg.contains("clip-path=\"url(#logo-region)\""));
  // Without a logo, no picture at all.
  EXPECT_FALSE(CompositeSvg(made.code.symbol, QImage()).contains("<image"));
}

} // namespace
} // namespace zub
