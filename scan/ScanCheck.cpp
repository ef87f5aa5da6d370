// The scan check: two independent readers and a count of what the logo
// and the stretch do to the symbol.
#include "ScanCheck.h"

#include "Readers.h"

#include <QtConcurrent/QtConcurrentRun>

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace zub {

namespace {

bool SameBytes(const std::vector<std::uint8_t> &message, const char *data, std::size_t size) {
  return size == message.size() && (size == 0 || std::memcmp(data, message.data(), size) == 0);
}

// `bytes` as UTF-8 read in `charset`; nullopt when they are not text in it.
std::optional<std::string> Transcode(const std::vector<std::uint8_t> &bytes, const char *charset) {
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  std::string out(bytes.size() * 4 + 8, '\0');
  char *in = const_cast<char *>(reinterpret_cast<const char *>(bytes.data()));
  std::size_t inLeft = bytes.size();
  char *dst = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1))
    return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

// The character set in which the message's bytes read as `shown`.
QString CharsetShowing(const std::vector<std::uint8_t> &message, const std::string &shown) {
  static const struct {
    const char *iconvName;
    const char *name;
  } kCharsets[] = {{"SHIFT_JIS", "Shift JIS"}, {"ISO-8859-1", "ISO-8859-1"},
                   {"UTF-8", "UTF-8"},         {"GB18030", "GBK"},
                   {"BIG5", "Big5"},           {"EUC-KR", "EUC-KR"},
                   {"CP1252", "Windows-1252"}};
  for (const auto &c : kCharsets)
    if (Transcode(message, c.iconvName) == shown)
      return QString::fromLatin1(c.name);
  return {};
}

void JudgeText(ReaderOutcome &out, const std::vector<std::uint8_t> &message,
               const std::optional<QString> &text) {
  if (!text) {
    out.textExact = true;
    return;
  }
  out.textExact = out.text == text->toStdString();
  if (out.bytesExact && !out.textExact)
    out.misreadAs = CharsetShowing(message, out.text);
}

// Symbols zxing-cpp looks for in a composite: ours and one a logo may show.
constexpr int kMostSymbols = 2;

std::atomic<const ReadersProblem *> missingForTest{nullptr};

// The readers the check uses; null with `problem` set when there are none.
const ReaderCalls *CheckReaders(ReadersProblem *problem) {
  if (const ReadersProblem *missing = missingForTest.load()) {
    if (problem)
      *problem = *missing;
    return nullptr;
  }
  const ReaderCalls *readers = Readers();
  if (!readers && problem)
    *problem = ReadersLoadProblem();
  return readers;
}

QImage Grey(const QImage &picture) {
  return picture.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

ReaderOutcome ReadWithZxing(const QImage &picture, const std::vector<std::uint8_t> &message,
                            const std::optional<QString> &text) {
  ReaderOutcome out;
  if (picture.isNull())
    return out;
  const ReaderCalls *readers = CheckReaders(nullptr);
  if (!readers)
    return out;
  // A composite holds one code of ours, but the logo may hold one of its
  // own: the search may not stop at the first.
  const std::string wanted = text ? text->toStdString() : std::string();
  for (const ReaderCalls::Code &code : readers->zxing(Grey(picture), kMostSymbols)) {
    const bool exact = SameBytes(message, code.bytes.data(), code.bytes.size());
    // The symbol with the message wins over anything else in the picture;
    // of two with the message, the one whose text is shown wrong.
    if (!out.read || (exact && !out.bytesExact) ||
        (exact && text && out.text == wanted && code.text != wanted)) {
      out.read = true;
      out.bytesExact = exact;
      out.text = code.text;
    }
  }
  if (out.read)
    JudgeText(out, message, text);
  return out;
}

ReaderOutcome ReadWithWechat(const QImage &picture, const std::vector<std::uint8_t> &message,
                             const std::optional<QString> &text) {
  ReaderOutcome out;
  if (picture.isNull())
    return out;
  const ReaderCalls *readers = CheckReaders(nullptr);
  if (!readers)
    return out;
  const std::string wanted = text ? text->toStdString() : std::string();
  for (const std::string &shown : readers->wechat(Grey(picture))) {
    // Text only: the message's bytes came through when the text is them as
    // they are, or them read in some character set.
    const bool exact = (text && shown == wanted) ||
                       SameBytes(message, shown.data(), shown.size()) ||
                       !CharsetShowing(message, shown).isEmpty();
    // As for the others: the symbol with the message wins, and of two with
    // it, the one whose text is shown wrong.
    if (!out.read || (exact && !out.bytesExact) ||
        (exact && text && out.text == wanted && shown != wanted)) {
      out.read = true;
      out.bytesExact = exact;
      out.text = shown;
    }
  }
  if (out.read)
    JudgeText(out, message, text);
  return out;
}

namespace {

// zbar wants the rows without padding.
std::vector<std::uint8_t> PackedGrey(const QImage &picture, unsigned &width, unsigned &height) {
  const QImage grey = Grey(picture);
  width = static_cast<unsigned>(grey.width());
  height = static_cast<unsigned>(grey.height());
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
  for (unsigned y = 0; y < height; ++y)
    std::memcpy(pixels.data() + y * width, grey.constScanLine(static_cast<int>(y)), width);
  return pixels;
}

// What zbar finds; nothing when the readers cannot be loaded.
std::vector<std::string> ZbarScan(const std::vector<std::uint8_t> &pixels, unsigned width,
                                  unsigned height, bool binary) {
  const ReaderCalls *readers = CheckReaders(nullptr);
  return readers ? readers->zbar(pixels, width, height, binary) : std::vector<std::string>{};
}

// What zbar makes of the picture: the bytes as they are find the symbol
// that carries the message (a logo may hold a code of its own, even one of
// the same text), and only that symbol's text is judged. The two scans
// find the symbols in the same order.
ReaderOutcome ZbarOutcome(const std::vector<std::uint8_t> &pixels, unsigned width, unsigned height,
                          const std::vector<std::uint8_t> &message,
                          const std::optional<QString> &text) {
  ReaderOutcome out;
  const std::vector<std::string> bytes = ZbarScan(pixels, width, height, true);
  if (bytes.empty())
    return out;
  out.read = true;
  std::size_t ours = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (SameBytes(message, bytes[i].data(), bytes[i].size())) {
      ours = i;
      out.bytesExact = true;
      break;
    }
  if (text && out.bytesExact) {
    const std::vector<std::string> texts = ZbarScan(pixels, width, height, false);
    // Another count of symbols leaves the pairing unknown: not shown right.
    if (texts.size() == bytes.size()) {
      out.text = texts[ours];
      // Where more than one symbol carries the message bytes, each must
      // show the text: the one shown wrong is judged.
      const std::string wanted = text->toStdString();
      for (std::size_t i = ours + 1; i < bytes.size(); ++i)
        if (out.text == wanted && SameBytes(message, bytes[i].data(), bytes[i].size()))
          out.text = texts[i];
    }
  }
  JudgeText(out, message, text);
  return out;
}

} // namespace

std::vector<std::string> ZbarMessages(const QImage &picture, bool binary) {
  if (picture.isNull())
    return {};
  unsigned width = 0, height = 0;
  const std::vector<std::uint8_t> pixels = PackedGrey(picture, width, height);
  return ZbarScan(pixels, width, height, binary);
}

ReaderOutcome ReadWithZbar(const QImage &picture, const std::vector<std::uint8_t> &message,
                           const std::optional<QString> &text) {
  if (picture.isNull())
    return {};
  unsigned width = 0, height = 0;
  const std::vector<std::uint8_t> pixels = PackedGrey(picture, width, height);
  return ZbarOutcome(pixels, width, height, message, text);
}

bool ScanReport::Passes() const {
  return checked && zxing.Exact() && zbar.Exact() && wechat.Exact() && !damage.PastCapacity();
}

std::vector<ScanCause> ScanReport::Causes() const {
  std::vector<ScanCause> causes;
  if (!Fails())
    return causes;
  const struct {
    const ReaderOutcome &outcome;
    ReaderName name;
  } readers[] = {
      {zxing, ReaderName::Zxing}, {zbar, ReaderName::Zbar}, {wechat, ReaderName::Wechat}};
  bool unread = false;
  for (const auto &r : readers) {
    ScanCause cause;
    cause.reader = r.name;
    if (!r.outcome.read) {
      unread = true;
      cause.kind = ScanCause::Unread;
    } else if (!r.outcome.bytesExact) {
      cause.kind = ScanCause::WrongContent;
    } else if (!r.outcome.textExact) {
      cause.kind = ScanCause::Garbled;
      cause.charset = r.outcome.misreadAs;
    } else {
      continue;
    }
    causes.push_back(cause);
  }

  const int worst = damage.WorstBlock();
  if (worst >= 0) {
    const BlockDamage &b = damage.blocks[static_cast<std::size_t>(worst)];
    ScanCause cause;
    cause.kind = ScanCause::BlocksOverCapacity;
    cause.block = worst;
    cause.wrong = b.wrong;
    cause.capacity = b.capacity;
    cause.otherBlocks =
        static_cast<int>(std::count_if(damage.blocks.begin(), damage.blocks.end(),
                                       [](const BlockDamage &d) { return d.wrong > d.capacity; })) -
        1;
    causes.push_back(cause);
  }

  if (unread) {
    const unsigned covered = damage.underLogo & (kFinderPart | kAlignmentPart | kTimingPart |
                                                 kFormatPart | kVersionPart);
    if (covered != 0) {
      ScanCause cause;
      cause.kind = ScanCause::PatternsCovered;
      cause.parts = covered;
      causes.push_back(cause);
    }
    if (damage.version > 0 && damage.minModulePixels <= 3 &&
        damage.maxModulePixels > damage.minModulePixels) {
      ScanCause cause;
      cause.kind = ScanCause::UnevenStretch;
      cause.minPixels = damage.minModulePixels;
      cause.maxPixels = damage.maxModulePixels;
      causes.push_back(cause);
    }
  }
  return causes;
}

ScanReport CheckScan(const ScanSubject &subject) {
  ScanReport report;
  if (subject.composite.isNull())
    return report;
  if (!CheckReaders(&report.notChecked)) {
    report.checked = false;
    report.damage =
        CountModuleDamage(subject.composite, subject.symbol, subject.ecLevel, subject.logoBox);
    return report;
  }
  // Three independent readers of one picture: zbar and wechat_qrcode on
  // the thread pool while zxing-cpp reads here.
  QFuture<ReaderOutcome> zbar = QtConcurrent::run(
      [&subject] { return ReadWithZbar(subject.composite, subject.message, subject.text); });
  QFuture<ReaderOutcome> wechat = QtConcurrent::run(
      [&subject] { return ReadWithWechat(subject.composite, subject.message, subject.text); });
  report.zxing = ReadWithZxing(subject.composite, subject.message, subject.text);
  report.damage =
      CountModuleDamage(subject.composite, subject.symbol, subject.ecLevel, subject.logoBox);
  report.zbar = zbar.result();
  report.wechat = wechat.result();
  return report;
}

bool ReadsBack(const QImage &picture, const std::vector<std::uint8_t> &message) {
  return ReadWithZxing(picture, message, std::nullopt).Exact() &&
         ReadWithZbar(picture, message, std::nullopt).Exact() &&
         ReadWithWechat(picture, message, std::nullopt).Exact();
}

ReadersMissingForTest::ReadersMissingForTest(ReadersProblem problem)
    : problem_(std::move(problem)) {
  missingForTest.store(&problem_);
}

ReadersMissingForTest::~ReadersMissingForTest() {
  missingForTest.store(nullptr);
}

} // namespace zub
