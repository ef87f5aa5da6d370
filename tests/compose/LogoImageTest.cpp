#include "LogoImage.h"
#include "LogoWords.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zub {
namespace {

QByteArray Encoded(const QImage &image, const char *format, bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(image)) << format;
  return bytes;
}

void PutBe32(QByteArray &d, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    d.append(char(v >> shift & 0xFF));
}

// The CRC that closes every PNG chunk.
std::uint32_t Crc32(const QByteArray &data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char c : data) {
    crc ^= static_cast<std::uint8_t>(c);
    for (int k = 0; k < 8; ++k)
      crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

void PutChunk(QByteArray &png, const char *type, const QByteArray &body) {
  PutBe32(png, std::uint32_t(body.size()));
  const QByteArray typed = QByteArray(type) + body;
  png.append(typed);
  PutBe32(png, Crc32(typed));
}

// A zlib stream of `n` zero bytes, small however large n is: one literal
// zero, then copies of 258 bytes from one back, in fixed Huffman codes.
QByteArray ZlibZeros(qint64 n) {
  QByteArray out("\x78\x01", 2);
  std::uint32_t bits = 0;
  int count = 0;
  auto put = [&](std::uint32_t value, int length) { // least significant bit first
    bits |= value << count;
    count += length;
    while (count >= 8) {
      out.append(char(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  auto code = [&](std::uint32_t value, int length) { // Huffman codes go most significant first
    for (int k = length - 1; k >= 0; --k)
      put(value >> k & 1, 1);
  };
  put(1, 1);     // the last block
  put(1, 2);     // fixed codes
  code(0x30, 8); // literal 0
  qint64 left = n - 1;
  for (; left >= 258; left -= 258) {
    code(0xC5, 8); // length 258
    code(0, 5);    // distance 1
  }
  for (; left > 0; --left)
    code(0x30, 8);
  code(0, 7);                  // end of block
  put(0, (8 - count % 8) % 8); // to the byte boundary
  // Adler-32 of zeros: the sum stays 1, the sum of sums grows by 1 a byte.
  PutBe32(out, std::uint32_t(n % 65521) << 16 | 1);
  return out;
}

// A valid PNG, all black (or transparent), of any size, in a few bytes per
// thousand pixels: `bitDepth` and `colourType` as in its header (2 = RGB,
// 6 = RGBA).
QByteArray BlackPng(int width, int height, int bitDepth, int colourType) {
  const int channels = colourType == 6 ? 4 : 3;
  QByteArray png("\x89PNG\r\n\x1A\n", 8);
  QByteArray header;
  PutBe32(header, std::uint32_t(width));
  PutBe32(header, std::uint32_t(height));
  header.append(char(bitDepth)).append(char(colourType)).append(3, '\0');
  PutChunk(png, "IHDR", header);
  const qint64 row = 1 + qint64(width) * channels * bitDepth / 8; // filter byte first
  PutChunk(png, "IDAT", ZlibZeros(row * height));
  PutChunk(png, "IEND", {});
  return png;
}

// A GIF of `indexes` (rows of palette indexes 0..3) with four colours. Every
// code is a literal: a clear code after every two keeps them 3 bits wide.
QByteArray Gif(const std::vector<std::vector<int>> &indexes, const QRgb (&palette)[4]) {
  const int width = int(indexes[0].size()), height = int(indexes.size());
  QByteArray gif("GIF89a");
  auto le16 = [&](int v) { gif.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF)); };
  le16(width);
  le16(height);
  gif.append(char(0x81)).append('\0').append('\0'); // a global table of 4 colours
  for (const QRgb c : palette)
    gif.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
  gif.append(',');
  le16(0);
  le16(0);
  le16(width);
  le16(height);
  gif.append('\0');
  gif.append('\2'); // code size: clear is 4, end is 5
  QByteArray data;
  std::uint32_t bits = 0;
  int count = 0;
  auto put = [&](int codeValue) {
    bits |= std::uint32_t(codeValue) << count;
    count += 3;
    while (count >= 8) {
      data.append(char(bits & 0xFF));
      bits >>= 8;
      count -= 8;
    }
  };
  int written = 0;
  for (const auto &row : indexes)
    for (const int index : row) {
      if (written++ % 2 == 0)
        put(4);
      put(index);
    }
  put(5);
  if (count > 0)
    data.append(char(bits & 0xFF));
  for (qsizetype at = 0; at < data.size(); at += 255) {
    const QByteArray block = data.mid(at, 255);
    gif.append(char(block.size())).append(block);
  }
  gif.append('\0').append(';');
  return gif;
}

// `jpeg` with an EXIF block that says how the picture is to be turned.
QByteArray WithOrientation(const QByteArray &jpeg, int orientation) {
  QByteArray exif("Exif\0\0MM\0*\0\0\0\x08", 14);
  exif.append(QByteArray("\0\x01"
                         "\x01\x12\0\x03\0\0\0\x01",
                         10)); // one entry: Orientation, a SHORT
  exif.append(char(0)).append(char(orientation)).append(2, '\0');
  exif.append(4, '\0'); // no next directory
  QByteArray segment("\xFF\xE1", 2);
  segment.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF));
  return jpeg.left(2) + segment + exif + jpeg.mid(2);
}

// A fixed picture of four solid quarters, to see where each quarter lands.
QImage Quarters(int width, int height) {
  QImage q(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      q.setPixel(x, y,
                 y < height / 2 ? (x < width / 2 ? qRgb(220, 0, 0) : qRgb(0, 200, 0))
                                : (x < width / 2 ? qRgb(0, 0, 220) : qRgb(230, 230, 0)));
  return q;
}

bool Near(QRgb got, QRgb want) {
  return std::abs(qRed(got) - qRed(want)) < 40 && std::abs(qGreen(got) - qGreen(want)) < 40 &&
         std::abs(qBlue(got) - qBlue(want)) < 40;
}

class LogoFiles : public ::testing::Test {
protected:
  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QTemporaryDir dir_;
  QImage logo_ = test::SampleLogo();
};

TEST_F(LogoFiles, ReadsJpegBmpAndPngByContentWhateverTheName) {
  struct Case {
    const char *name;
    QByteArray bytes;
    bool exact;
  };
  QByteArray jpegWithTrailer = Encoded(logo_, "jpg");
  jpegWithTrailer.append("appended data after the end-of-image marker");
  for (const Case &c :
       {Case{"photo.JPG", Encoded(logo_, "jpg"), false},
        Case{"progressive.jpg", Encoded(logo_, "jpg", true), false},
        Case{"trailer.jpg", jpegWithTrailer, false}, Case{"logo.bmp", Encoded(logo_, "bmp"), true},
        Case{"logo.png", Encoded(logo_, "png"), true},
        Case{"png named.jpg", Encoded(logo_, "png"), true},
        Case{" leading space.bmp", Encoded(logo_, "bmp"), true}}) {
    const LogoLoad load = LoadLogo(Write(c.name, c.bytes));
    EXPECT_TRUE((load.problem == LogoProblem::None))
        << c.name << ": " << LogoProblemText(load).toStdString();
    ASSERT_EQ(load.image.size(), logo_.size()) << c.name;
    if (c.exact) {
      EXPECT_EQ(load.image.convertToFormat(QImage::Format_RGB32), logo_) << c.name;
    } else {
      const QRgb got = load.image.pixel(80, 30), want = logo_.pixel(80, 30);
      EXPECT_NEAR(qRed(got), qRed(want), 24) << c.name;
      EXPECT_NEAR(qBlue(got), qBlue(want), 24) << c.name;
    }
  }
}

TEST_F(LogoFiles, RefusesWhatItCannotReadWithTheReasonAndThePath) {
  const QByteArray jpeg = Encoded(logo_, "jpg");
  const QByteArray progressive = Encoded(logo_, "jpg", true);
  const QByteArray bmp = Encoded(logo_, "bmp");
  const QByteArray png = Encoded(logo_, "png");
  // A bitmap header announcing 10000 x 9000 pixels, without the pixels.
  QByteArray huge = bmp.left(54);
  huge[18] = char(0x10), huge[19] = char(0x27), huge[20] = 0, huge[21] = 0;
  huge[22] = char(0x28), huge[23] = char(0x23), huge[24] = 0, huge[25] = 0;
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));
  const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64">)"
                         R"(<rect width="64" height="64" fill="red"/></svg>)";
  QByteArray icon(22, '\0'); // an icon file whose one picture is the PNG
  icon[2] = 1, icon[4] = 1, icon[10] = 1, icon[12] = 32;
  icon[14] = char(png.size() & 0xFF), icon[15] = char(png.size() >> 8 & 0xFF), icon[18] = 22;
  icon += png;
  const QRgb palette[4] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
  const QByteArray gif = Gif(std::vector<std::vector<int>>(40, std::vector<int>(40, 1)), palette);
  const QString allowed = QStringLiteral("JPEG、PNG、BMP或GIF");

  struct Case {
    QString path;
    QString reason;
  };
  for (const Case &c : {
           Case{dir_.filePath("missing.jpg"), "找不到"},
           // Pictures that are not raster pictures of the allowed formats.
           Case{Write("logo.svg", svg), allowed},
           Case{Write("svg named.png", svg), allowed},
           Case{Write("logo.ico", icon), allowed},
           Case{Write("cut.gif", gif.left(gif.size() / 2)), "不完整"},
           // Decoded, 16 bits a channel would take 275 MB: too large, not damaged.
           Case{Write("deep.png", BlackPng(6000, 6000, 16, 6)),
                "太大，无法载入（6000×6000像素、每像素64位，需要275MB内存，最多允许256MB）"},
           Case{dir_.filePath(QString(256, 'n') + ".png"), "路径太长"},
           Case{dir_.filePath("folder.jpg"), "不是图片文件"},
           Case{Write("empty.jpg", QByteArray()), allowed},
           Case{Write("notes.bmp", "just some text, not a picture"), allowed},
           Case{Write("cut.jpg", jpeg.left(jpeg.size() * 6 / 10)), "不完整"},
           Case{Write("cut-progressive.jpg", progressive.left(progressive.size() - 40)), "不完整"},
           Case{Write("cut.bmp", bmp.left(bmp.size() - 1)), "不完整"},
           Case{Write("cut.png", png.left(png.size() / 2)), "不完整"},
           Case{Write("huge.bmp", huge), "最多允许5000万像素"},
       }) {
    const LogoLoad load = LoadLogo(c.path);
    EXPECT_TRUE(load.image.isNull()) << c.path.toStdString();
    EXPECT_TRUE(LogoProblemText(load).contains(c.reason))
        << c.path.toStdString() << ": " << LogoProblemText(load).toStdString();
    EXPECT_TRUE(LogoProblemText(load).endsWith(c.path)) << LogoProblemText(load).toStdString();
  }
}

// Files Qt's defaults would refuse or a strict reader would call damaged,
// which are sound pictures all the same.
TEST_F(LogoFiles, LargeOrSlightlyOddPicturesLoad) {
  // Stray bytes between two segments: the decoder warns and goes on.
  QByteArray stray = Encoded(logo_, "jpg");
  const qsizetype table = stray.indexOf("\xFF\xDB"); // the first quantisation table
  ASSERT_GT(table, 0);
  stray.insert(table, "\x00\x01\x02", 3);
  const QRgb palette[4] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
  std::vector<std::vector<int>> quarters(30, std::vector<int>(40));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      quarters[std::size_t(y)][std::size_t(x)] = (y < 15 ? 0 : 2) + (x < 20 ? 0 : 1);
  struct Case {
    const char *name;
    QByteArray bytes;
    QSize size;
    QPoint at;
    QRgb colour;
  };
  for (const Case &c : {
           // 42 megapixels: 168 MB decoded, more than Qt allows by default.
           Case{"big.png", BlackPng(7000, 6000, 8, 2), {7000, 6000}, {6999, 5999}, qRgb(0, 0, 0)},
           Case{"stray.jpg", stray, logo_.size(), {80, 30}, logo_.pixel(80, 30)},
           Case{"quarters.gif", Gif(quarters, palette), {40, 30}, {39, 29}, palette[3]},
       }) {
    const LogoLoad load = LoadLogo(Write(c.name, c.bytes));
    EXPECT_TRUE((load.problem == LogoProblem::None))
        << c.name << ": " << LogoProblemText(load).toStdString();
    EXPECT_EQ(load.image.size(), c.size) << c.name;
    if (load.image.size() == c.size) {
      EXPECT_TRUE(Near(load.image.pixel(c.at), c.colour))
          << c.name << ": " << std::hex << load.image.pixel(c.at);
    }
  }
}

// A phone stores a portrait photo sideways, with the turn to make in its
// EXIF block; the logo shows upright.
TEST_F(LogoFiles, ExifOrientationTurnsThePictureUpright) {
  const QRgb red = qRgb(220, 0, 0), green = qRgb(0, 200, 0), blue = qRgb(0, 0, 220),
             yellow = qRgb(230, 230, 0);
  const QByteArray stored = Encoded(Quarters(160, 120), "jpg");
  struct Case {
    int orientation;
    QSize size;
    QRgb topLeft, topRight, bottomLeft, bottomRight;
  };
  for (const Case &c : {
           Case{1, {160, 120}, red, green, blue, yellow},
           Case{3, {160, 120}, yellow, blue, green, red}, // turned half round
           Case{6, {120, 160}, blue, red, yellow, green}, // turned clockwise
           Case{8, {120, 160}, green, yellow, red, blue}, // turned anticlockwise
       }) {
    const LogoLoad load = LoadLogo(Write(QStringLiteral("photo %1.jpg").arg(c.orientation),
                                         WithOrientation(stored, c.orientation)));
    ASSERT_EQ(load.image.size(), c.size)
        << c.orientation << ": " << LogoProblemText(load).toStdString();
    const int right = c.size.width() - 10, bottom = c.size.height() - 10;
    EXPECT_TRUE(Near(load.image.pixel(10, 10), c.topLeft)) << c.orientation;
    EXPECT_TRUE(Near(load.image.pixel(right, 10), c.topRight)) << c.orientation;
    EXPECT_TRUE(Near(load.image.pixel(10, bottom), c.bottomLeft)) << c.orientation;
    EXPECT_TRUE(Near(load.image.pixel(right, bottom), c.bottomRight)) << c.orientation;
  }
}

// An SVG may refer to other files; one that names a FIFO would wait for a
// writer for ever. The logo is refused before anything of it is decoded.
TEST_F(LogoFiles, SvgReferringToAFifoIsRefusedWithoutWaiting) {
  const QString fifo = dir_.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString path =
      Write("logo.jpg", (R"(<svg xmlns="http://www.w3.org/2000/svg" )"
                         R"(xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64">)"
                         R"(<image width="64" height="64" xlink:href=")" +
                         fifo + R"("/></svg>)")
                            .toUtf8());
  std::promise<LogoLoad> done;
  std::future<LogoLoad> result = done.get_future();
  std::thread loader([&] { done.set_value(LoadLogo(path)); });
  if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "still reading the FIFO after 20 s";
    // Let the stuck reader go: it reads the end of the FIFO.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
      ::close(writer);
  }
  loader.join();
  const LogoLoad load = result.get();
  EXPECT_TRUE(load.image.isNull());
  EXPECT_TRUE(LogoProblemText(load).contains(QStringLiteral("JPEG、PNG、BMP或GIF")))
      << LogoProblemText(load).toStdString();
}

// A logo deep in a folder tree, its path longer than the system opens in
// one call (4096 bytes), opens relative to its folders.
TEST_F(LogoFiles, PathLongerThanTheSystemTakesOpens) {
  const QByteArray name(200, 'd');
  std::vector<int> folders{
      ::open(QFile::encodeName(dir_.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
  QString path = dir_.path();
  for (int level = 0; level < 26; ++level) {
    ASSERT_EQ(::mkdirat(folders.back(), name.constData(), 0700), 0);
    folders.push_back(::openat(folders.back(), name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(folders.back(), 0);
    path += '/' + QString::fromLatin1(name);
  }
  const QByteArray png = Encoded(logo_, "png");
  const int file = ::openat(folders.back(), "标志.png", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::write(file, png.constData(), std::size_t(png.size())), png.size());
  ::close(file);
  path += QStringLiteral("/标志.png");
  ASSERT_GT(path.size(), 5000);

  const LogoLoad load = LoadLogo(path);
  EXPECT_TRUE((load.problem == LogoProblem::None)) << LogoProblemText(load).left(80).toStdString();
  EXPECT_EQ(load.image.convertToFormat(QImage::Format_RGB32), logo_);

  // The scratch folder's own removal cannot reach that deep.
  ::unlinkat(folders.back(), "标志.png", 0);
  for (std::size_t k = folders.size() - 1; k > 0; --k) {
    ::close(folders[k]);
    ::unlinkat(folders[k - 1], name.constData(), AT_REMOVEDIR);
  }
  ::close(folders[0]);
}

} // namespace
} // namespace zub
