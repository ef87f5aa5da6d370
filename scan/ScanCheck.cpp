// The scan check: three independent readers, a count of what the logo and
// the stretch do to the symbol, and the readers phones run on phone-like
// captures of the picture.
#include "ScanCheck.h"

#include "Readers.h"

#include <QThread>
#include <QThreadPool>

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <future>
#include <memory>

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

// The typed text as the readers show text, UTF-8, made once for all of
// them; none for raw bytes.
std::optional<std::string> WantedText(const std::optional<QString> &text) {
  if (!text)
    return std::nullopt;
  return text->toStdString();
}

void JudgeText(ReaderOutcome &out, const std::vector<std::uint8_t> &message,
               const std::optional<std::string> &wanted) {
  if (!wanted) {
    out.textExact = true;
    return;
  }
  out.textExact = out.text == *wanted;
  if (out.bytesExact && !out.textExact)
    out.misreadAs = CharsetShowing(message, out.text);
}

// Symbols zxing-cpp looks for in a composite: ours and one a logo may show.
constexpr int kMostSymbols = 2;

std::atomic<const ReadersProblem *> missingForTest{nullptr};
std::atomic<const ReaderCalls *> replacedForTest{nullptr};

// The threads the check may run beside its caller; below 0 until a program
// says, then as many as the machine has cores.
std::atomic<int> helperThreads{-1};

int DefaultHelperThreads() {
  return std::max(2, QThread::idealThreadCount());
}

// The threads the check's readers and captures run on: a pool of its own,
// whose threads stay for the program's life. The readers keep state for
// each thread they run on (wechat_qrcode its detector, OpenCV its buffers),
// and a thread that ends does not give all of it back; the check's callers
// (the window's generations, a batch's lines) run on threads that come and
// go. Standard futures wait for a task without running it on the waiting
// thread, as Qt's futures may.
QThreadPool &CheckPool() {
  static QThreadPool *const pool = [] {
    auto *p = new QThreadPool;
    const int helpers = helperThreads.load();
    p->setMaxThreadCount(helpers > 0 ? helpers : DefaultHelperThreads());
    p->setExpiryTimeout(-1);
    return p;
  }();
  return *pool;
}

// `work` on the check's pool, or at once on the calling thread when the
// check may have no threads of its own; its result from the future.
template <typename Work> auto OnCheckPool(Work work) -> std::future<decltype(work())> {
  auto task = std::make_shared<std::packaged_task<decltype(work())()>>(std::move(work));
  std::future<decltype(work())> result = task->get_future();
  if (helperThreads.load() == 0)
    (*task)();
  else
    CheckPool().start([task] { (*task)(); });
  return result;
}

// The readers the check uses; null with `problem` set when there are none.
const ReaderCalls *CheckReaders(ReadersProblem *problem) {
  if (const ReadersProblem *missing = missingForTest.load()) {
    if (problem)
      *problem = *missing;
    return nullptr;
  }
  if (const ReaderCalls *replaced = replacedForTest.load())
    return replaced;
  const ReaderCalls *readers = Readers();
  if (!readers && problem)
    *problem = ReadersLoadProblem();
  return readers;
}

// The picture in the two greys the readers are asked about, made once and
// shared: Qt's (zxing-cpp, wechat_qrcode and zbar) and the one zbar's own
// command-line front end makes of the saved file (zbar only).
struct Greys {
  QImage qt;                        // Format_Grayscale8
  std::vector<std::uint8_t> packed; // qt without row padding, as zbar wants it
  // The front end's grey; empty where it is the same as Qt's, as for a
  // picture in black and white.
  std::vector<std::uint8_t> frontEnd;
  unsigned width = 0, height = 0;
};

// The grey zbar's own command-line front end makes of the saved file: its
// image library exports the intensity as the Rec. 709 weights of the
// colour values as they are (0.212656, 0.715158, 0.072186, here in
// sixty-four-thousandths), where Qt's grey is the luminance in linear
// light, made sRGB again: a pure red is 54 in the one and 130 in the
// other, and a logo's colours can turn a module's contrast around. Tried
// on several hundred composites, zbar read this grey exactly where the
// front end read the saved file. Black and white come out alike in both.
std::vector<std::uint8_t> PackedFrontEndGrey(const QImage &picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const auto width = static_cast<std::size_t>(rgb.width());
  std::vector<std::uint8_t> pixels(width * static_cast<std::size_t>(rgb.height()));
  for (int y = 0; y < rgb.height(); ++y) {
    const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
    std::uint8_t *out = pixels.data() + static_cast<std::size_t>(y) * width;
    for (std::size_t x = 0; x < width; ++x)
      out[x] = static_cast<std::uint8_t>(
          (13936 * qRed(line[x]) + 46869 * qGreen(line[x]) + 4731 * qBlue(line[x]) + 32768) >> 16);
  }
  return pixels;
}

// `picture` in Qt's grey, and (`frontEnd`) in the front end's grey too.
Greys MakeGreys(const QImage &picture, bool qt, bool frontEnd) {
  Greys g;
  g.qt = picture.convertToFormat(QImage::Format_Grayscale8);
  g.width = static_cast<unsigned>(g.qt.width());
  g.height = static_cast<unsigned>(g.qt.height());
  if (!qt && !frontEnd)
    return g;
  g.packed.resize(static_cast<std::size_t>(g.width) * g.height);
  for (unsigned y = 0; y < g.height; ++y)
    std::memcpy(g.packed.data() + y * g.width, g.qt.constScanLine(static_cast<int>(y)), g.width);
  if (frontEnd) {
    g.frontEnd = PackedFrontEndGrey(picture);
    if (g.frontEnd == g.packed)
      g.frontEnd.clear();
  }
  return g;
}

ReaderOutcome ZxingOutcome(const ReaderCalls &readers, const QImage &grey,
                           const std::vector<std::uint8_t> &message,
                           const std::optional<std::string> &wanted) {
  ReaderOutcome out;
  // A composite holds one code of ours, but the logo may hold one of its
  // own: the search may not stop at the first.
  for (const ReaderCalls::Code &code : readers.zxing(grey, kMostSymbols)) {
    const bool exact = SameBytes(message, code.bytes.data(), code.bytes.size());
    // The symbol with the message wins over anything else in the picture;
    // of two with the message, the one whose text is shown wrong.
    if (!out.read || (exact && !out.bytesExact) ||
        (exact && wanted && out.text == *wanted && code.text != *wanted)) {
      out.read = true;
      out.bytesExact = exact;
      out.text = code.text;
    }
  }
  if (out.read)
    JudgeText(out, message, wanted);
  return out;
}

ReaderOutcome WechatOutcome(const ReaderCalls &readers, const QImage &grey,
                            const std::vector<std::uint8_t> &message,
                            const std::optional<std::string> &wanted) {
  ReaderOutcome out;
  for (const std::string &shown : readers.wechat(grey)) {
    // Text only: the message's bytes came through when the text is them as
    // they are, or them read in some character set.
    const bool exact = (wanted && shown == *wanted) ||
                       SameBytes(message, shown.data(), shown.size()) ||
                       !CharsetShowing(message, shown).isEmpty();
    // As for the others: the symbol with the message wins, and of two with
    // it, the one whose text is shown wrong.
    if (!out.read || (exact && !out.bytesExact) ||
        (exact && wanted && out.text == *wanted && shown != *wanted)) {
      out.read = true;
      out.bytesExact = exact;
      out.text = shown;
    }
  }
  if (out.read)
    JudgeText(out, message, wanted);
  return out;
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
// find the symbols in the same order. `bytes` is the first scan's result.
ReaderOutcome ZbarOutcome(const std::vector<std::uint8_t> &pixels, unsigned width, unsigned height,
                          const std::vector<std::string> &bytes,
                          const std::vector<std::uint8_t> &message,
                          const std::optional<std::string> &wanted) {
  ReaderOutcome out;
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
  if (wanted && out.bytesExact) {
    const std::vector<std::string> texts = ZbarScan(pixels, width, height, false);
    // Another count of symbols leaves the pairing unknown: not shown right.
    if (texts.size() == bytes.size()) {
      out.text = texts[ours];
      // Where more than one symbol carries the message bytes, each must
      // show the text: the one shown wrong is judged.
      for (std::size_t i = ours + 1; i < bytes.size(); ++i)
        if (out.text == *wanted && SameBytes(message, bytes[i].data(), bytes[i].size()))
          out.text = texts[i];
    }
  }
  JudgeText(out, message, wanted);
  return out;
}

// How far a reader got: the lower, the stricter.
int Reach(const ReaderOutcome &o) {
  return !o.read ? 0 : !o.bytesExact ? 1 : !o.textExact ? 2 : 3;
}

// zbar's verdict over both greys, from what it found in Qt's (`qt`, made
// of the bytes `qtBytes`) and the bytes it found in the front end's grey.
// Two common greys of one colour picture, neither more right than the
// other (a phone makes its own): where they differ, zbar must read both,
// and the stricter outcome holds. Where both greys give the same symbols
// with the same bytes, the text zbar makes of them is the same too (it
// depends on the symbols' content alone), so the text is not read again.
ReaderOutcome StricterOfBothGreys(ReaderOutcome qt, const std::vector<std::string> &qtBytes,
                                  const Greys &greys, const std::vector<std::string> &frontEndBytes,
                                  const std::vector<std::uint8_t> &message,
                                  const std::optional<std::string> &wanted) {
  if (greys.frontEnd.empty() || Reach(qt) == 0 || frontEndBytes == qtBytes)
    return qt;
  ReaderOutcome other =
      ZbarOutcome(greys.frontEnd, greys.width, greys.height, frontEndBytes, message, wanted);
  return Reach(other) < Reach(qt) ? other : qt;
}

} // namespace

ReaderOutcome ReadWithZxing(const QImage &picture, const std::vector<std::uint8_t> &message,
                            const std::optional<QString> &text) {
  const ReaderCalls *readers = CheckReaders(nullptr);
  if (picture.isNull() || !readers)
    return {};
  return ZxingOutcome(*readers, MakeGreys(picture, false, false).qt, message, WantedText(text));
}

ReaderOutcome ReadWithWechat(const QImage &picture, const std::vector<std::uint8_t> &message,
                             const std::optional<QString> &text) {
  const ReaderCalls *readers = CheckReaders(nullptr);
  if (picture.isNull() || !readers || !readers->wechat)
    return {};
  return WechatOutcome(*readers, MakeGreys(picture, false, false).qt, message, WantedText(text));
}

std::vector<std::string> ZbarMessages(const QImage &picture, bool binary) {
  if (picture.isNull())
    return {};
  const Greys g = MakeGreys(picture, true, false);
  return ZbarScan(g.packed, g.width, g.height, binary);
}

ReaderOutcome ReadWithZbar(const QImage &picture, const std::vector<std::uint8_t> &message,
                           const std::optional<QString> &text) {
  if (picture.isNull())
    return {};
  const Greys g = MakeGreys(picture, true, true);
  const std::optional<std::string> wanted = WantedText(text);
  const std::vector<std::string> qtBytes = ZbarScan(g.packed, g.width, g.height, true);
  const ReaderOutcome qt = ZbarOutcome(g.packed, g.width, g.height, qtBytes, message, wanted);
  if (g.frontEnd.empty() || Reach(qt) == 0)
    return qt;
  return StricterOfBothGreys(qt, qtBytes, g, ZbarScan(g.frontEnd, g.width, g.height, true), message,
                             wanted);
}

bool ScanReport::Passes() const {
  return checked && zxing.Exact() && zbar.Exact() && (!wechatRan || wechat.Exact()) &&
         !damage.PastCapacity() && !SmallModules() && captures.Passes();
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
    if (r.name == ReaderName::Wechat && !wechatRan)
      continue;
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

  if (SmallModules()) {
    ScanCause cause;
    cause.kind = ScanCause::SmallModules;
    cause.minPixels = damage.minModulePixels;
    cause.maxPixels = damage.maxModulePixels;
    causes.push_back(cause);
  }
  // A reader that does not read the picture itself says more than its
  // captures can.
  const struct {
    const ReaderOutcome &outcome;
    unsigned missed;
    ReaderName name;
  } phoneReaders[] = {{zxing, captures.zxingMissed, ReaderName::Zxing},
                      {wechat, captures.wechatMissed, ReaderName::Wechat}};
  for (const auto &r : phoneReaders)
    if ((r.name != ReaderName::Wechat || wechatRan) && r.outcome.Exact() && r.missed != 0) {
      ScanCause cause;
      cause.kind = ScanCause::CaptureMissed;
      cause.reader = r.name;
      cause.captures = r.missed;
      causes.push_back(cause);
    }
  return causes;
}

ScanReport CheckScan(const ScanSubject &subject, ScanDepth depth) {
  ScanReport report;
  if (subject.composite.isNull())
    return report;
  const ReaderCalls *found = CheckReaders(&report.notChecked);
  if (!found) {
    report.checked = false;
    report.damage =
        CountModuleDamage(subject.composite, subject.symbol, subject.facts, subject.logoBox);
    return report;
  }
  const ReaderCalls &readers = *found;
  if (!readers.wechat) {
    report.wechatRan = false;
    if (readers.wechatProblem)
      report.withoutWechat = *readers.wechatProblem;
  }
  const bool withWechatReader = report.wechatRan;
  // The greys are made once for all three readers and the captures. zbar's
  // two scans of Qt's grey, its first scan of the front end's grey,
  // wechat_qrcode and the captures run on the thread pool while zxing-cpp
  // reads here.
  const Greys greys = MakeGreys(subject.composite, true, true);
  const std::optional<std::string> wanted = WantedText(subject.text);
  struct ZbarRead {
    std::vector<std::string> bytes;
    ReaderOutcome outcome;
  };
  const auto wechatRead = [&] { return WechatOutcome(readers, greys.qt, subject.message, wanted); };
  // One capture, read by zxing-cpp and, when asked, by wechat_qrcode. The
  // captures stay in `shots`, one slot each, for wechat_qrcode to read later
  // where it was not asked at once.
  struct CaptureRead {
    bool zxing = false;
    bool wechat = false;
  };
  std::array<QImage, kCaptureKinds.size()> shots;
  const auto captureRead = [&](std::size_t i, bool withWechat) {
    CaptureRead read;
    shots[i] = PhoneCapture(greys.qt, kCaptureKinds[i]);
    read.zxing = ZxingOutcome(readers, shots[i], subject.message, wanted).Exact();
    if (withWechat && withWechatReader) {
      read.wechat = WechatOutcome(readers, shots[i], subject.message, wanted).Exact();
      shots[i] = QImage(); // read by both: not needed again
    }
    return read;
  };
  const bool whole = depth == ScanDepth::Whole;
  // The damage first: modules too small for a phone fail the code whatever
  // its captures show, and the captures of such a code are where
  // wechat_qrcode is slowest to give up. They are not read then.
  report.damage =
      CountModuleDamage(subject.composite, subject.symbol, subject.facts, subject.logoBox);
  std::future<ReaderOutcome> wechat;
  std::vector<std::future<CaptureRead>> captures;
  if (whole) {
    if (withWechatReader)
      wechat = OnCheckPool(wechatRead);
    if (!report.SmallModules())
      for (std::size_t i = 0; i < shots.size(); ++i)
        captures.push_back(OnCheckPool([&captureRead, i] { return captureRead(i, true); }));
  }
  std::future<ZbarRead> zbar = OnCheckPool([&] {
    ZbarRead read;
    read.bytes = ZbarScan(greys.packed, greys.width, greys.height, true);
    read.outcome =
        ZbarOutcome(greys.packed, greys.width, greys.height, read.bytes, subject.message, wanted);
    return read;
  });
  std::future<std::vector<std::string>> frontEnd;
  if (!greys.frontEnd.empty())
    frontEnd =
        OnCheckPool([&] { return ZbarScan(greys.frontEnd, greys.width, greys.height, true); });
  report.zxing = ZxingOutcome(readers, greys.qt, subject.message, wanted);
  const ZbarRead qt = zbar.get();
  report.zbar = greys.frontEnd.empty()
                    ? qt.outcome
                    : StricterOfBothGreys(qt.outcome, qt.bytes, greys, frontEnd.get(),
                                          subject.message, wanted);
  if (whole) {
    if (withWechatReader)
      report.wechat = wechat.get();
    for (std::size_t i = 0; i < captures.size(); ++i) {
      const CaptureRead read = captures[i].get();
      if (!read.zxing)
        report.captures.zxingMissed |= CaptureBit(kCaptureKinds[i]);
      if (!read.wechat && withWechatReader)
        report.captures.wechatMissed |= CaptureBit(kCaptureKinds[i]);
    }
    report.captures.read = !captures.empty();
    return report;
  }
  if (!report.zxing.Exact() || !report.zbar.Exact() || report.damage.PastCapacity() ||
      report.SmallModules())
    return report;
  // wechat_qrcode on the picture beside zxing-cpp on the captures; then,
  // when all of them read, wechat_qrcode on the captures, where it is slow
  // to give up: one at a time, and no more after the first it misses.
  if (withWechatReader)
    wechat = OnCheckPool(wechatRead);
  for (std::size_t i = 0; i < shots.size(); ++i)
    captures.push_back(OnCheckPool([&captureRead, i] { return captureRead(i, false); }));
  for (std::size_t i = 0; i < captures.size(); ++i)
    if (!captures[i].get().zxing)
      report.captures.zxingMissed |= CaptureBit(kCaptureKinds[i]);
  report.captures.read = true;
  if (!withWechatReader)
    return report;
  report.wechat = wechat.get();
  if (!report.wechat.Exact() || report.captures.zxingMissed != 0)
    return report;
  // On the check's threads too: wechat_qrcode keeps a detector for each
  // thread it runs on.
  for (std::size_t i = 0; i < shots.size(); ++i)
    if (!OnCheckPool([&, i] { return WechatOutcome(readers, shots[i], subject.message, wanted); })
             .get()
             .Exact()) {
      report.captures.wechatMissed |= CaptureBit(kCaptureKinds[i]);
      break;
    }
  return report;
}

bool ReadsBack(const QImage &picture, const std::vector<std::uint8_t> &message) {
  const ReaderCalls *readers = CheckReaders(nullptr);
  return ReadWithZxing(picture, message, std::nullopt).Exact() &&
         ReadWithZbar(picture, message, std::nullopt).Exact() &&
         (!readers || !readers->wechat || ReadWithWechat(picture, message, std::nullopt).Exact());
}

ReadersForTest::ReadersForTest(const ReaderCalls &calls) : calls_(calls) {
  replacedForTest.store(&calls_);
}

ReadersForTest::~ReadersForTest() {
  replacedForTest.store(nullptr);
}

void SetCheckHelperThreads(int helpers) {
  helpers = std::max(0, helpers);
  helperThreads.store(helpers);
  if (helpers > 0)
    CheckPool().setMaxThreadCount(helpers);
}

ReadersMissingForTest::ReadersMissingForTest(ReadersProblem problem)
    : problem_(std::move(problem)) {
  missingForTest.store(&problem_);
}

ReadersMissingForTest::~ReadersMissingForTest() {
  missingForTest.store(nullptr);
}

} // namespace zub
