// One symbol of each version group (1-9, 10-26, 27-40) drawn as text, '#'
// a dark module and '.' a light one, beside the digests: where a symbol
// changes, the rows say which modules did. Each drawing is read by a real
// decoder, so the files hold valid symbols of their messages.
#include "QrEncoder.h"

#include <ZXing/ReadBarcode.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using zub::Picture;
using zub::QrEncoder;

namespace {

struct Golden {
  const char *file;
  std::string message;
  int version, level, mask;
};

const Golden kGoldens[] = {
    {"v1-M-mask2.txt", "HELLO WORLD", 1, zub::kLevelM, 2},
    {"v10-Q-mask5.txt", "https://zub.example.cn/golden?group=2&text=Zub%E4%BA%8C%E7%BB%B4%E7%A0%81",
     10, zub::kLevelQ, 5},
    {"v27-L-mask7.txt",
     "3141592653589793238462643383279502884197169399375105820974944592307816406286 GOLDEN "
     "SYMBOL OF THE THIRD GROUP",
     27, zub::kLevelL, 7},
};

// The modules of an encoder picture as rows of text, the quiet zone left out.
std::vector<std::string> Rows(const Picture &p) {
  const int n = p.facts().modules;
  std::vector<std::string> rows(static_cast<std::size_t>(n),
                                std::string(static_cast<std::size_t>(n), '.'));
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (p.pixel(x + zub::kQuietZone, y + zub::kQuietZone) == Picture::kBlack)
        rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
  return rows;
}

std::vector<std::string> ReadRows(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);)
    rows.push_back(line);
  return rows;
}

// What a reader makes of the drawing: four pixels a module, inside a quiet
// zone of four modules.
std::string Decode(const std::vector<std::string> &rows) {
  constexpr int kScale = 4;
  const int n = static_cast<int>(rows.size());
  const int side = (n + 2 * zub::kQuietZone) * kScale;
  std::vector<std::uint8_t> lum(static_cast<std::size_t>(side) * static_cast<std::size_t>(side),
                                255);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n && x < static_cast<int>(rows[static_cast<std::size_t>(y)].size()); ++x)
      if (rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#')
        for (int dy = 0; dy < kScale; ++dy)
          for (int dx = 0; dx < kScale; ++dx)
            lum[static_cast<std::size_t>(((y + zub::kQuietZone) * kScale + dy) * side +
                                         (x + zub::kQuietZone) * kScale + dx)] = 0;
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  const ZXing::Result r =
      ZXing::ReadBarcode({lum.data(), side, side, ZXing::ImageFormat::Lum}, hints);
  return r.isValid() ? std::string(r.bytes().begin(), r.bytes().end()) : std::string();
}

} // namespace

TEST(Golden, EveryVersionGroupDrawsItsSymbolModuleForModule) {
  QrEncoder qr;
  for (const Golden &g : kGoldens) {
    SCOPED_TRACE(g.file);
    const std::vector<std::string> expected = ReadRows(std::string(GOLDEN_DIR) + "/" + g.file);
    const int n = QrEncoder::SymbolSize(g.version);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(n)) << "the drawing is missing or cut";
    EXPECT_EQ(Decode(expected), g.message) << "the drawing is no symbol of its message";

    const Picture p = qr.MakeSymbol(reinterpret_cast<const std::uint8_t *>(g.message.data()),
                                    static_cast<int>(g.message.size()), g.version, g.level, g.mask);
    ASSERT_EQ(p.facts(), (zub::SymbolFacts{g.version, g.level, g.mask, n}));
    const std::vector<std::string> actual = Rows(p);
    for (int y = 0; y < n; ++y) {
      const std::string &want = expected[static_cast<std::size_t>(y)];
      const std::string &got = actual[static_cast<std::size_t>(y)];
      if (want != got) {
        std::ostringstream drawing;
        for (const std::string &row : actual)
          drawing << row << '\n';
        ADD_FAILURE() << "row " << y << " differs first, at column "
                      << std::mismatch(want.begin(), want.end(), got.begin(), got.end()).first -
                             want.begin()
                      << "\nexpected " << want << "\nactual   " << got << "\nthe symbol made:\n"
                      << drawing.str();
        break;
      }
    }
  }
}
