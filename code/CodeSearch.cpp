// The remedy: codes made with other options, tried in a fixed order until
// one scans.
#include "CodeSearch.h"

#include "LevelLetter.h"

#include <QElapsedTimer>

namespace zub {

namespace {

bool TextComesBackWrong(const ScanReport &report) {
  for (const ReaderOutcome *r : {&report.zxing, &report.zbar, &report.wechat})
    if (r->read && r->bytesExact && !r->textExact)
      return true;
  return false;
}

} // namespace

RemedySearch FindReadableCode(QrEncoder &encoder, const CodeSource &source, const MadeCode &first,
                              const std::atomic<bool> *cancel, int milliseconds) {
  RemedySearch search;
  // Without readers no candidate can be judged either.
  if (first.report && !first.report->checked)
    return search;
  const CodeOptions &o = first.options;
  const int level = o.ecLevel >= 1 && o.ecLevel <= 4 ? o.ecLevel : kLevelM;

  // The character sets to try: the same unless the text comes back wrong,
  // which no version or level mends.
  struct Charset {
    TextEncoding encoding;
    int eci;
  };
  // A text that a reader did not read at all may come back wrong once it
  // does, so the other character sets follow then too.
  std::vector<Charset> charsets;
  const bool textWrong = first.report && TextComesBackWrong(*first.report);
  if (!textWrong)
    charsets.push_back({o.encoding, o.eci});
  const bool allRead = first.report && first.report->zxing.read && first.report->zbar.read &&
                       first.report->wechat.read;
  if (source.text && (textWrong || !allRead)) {
    if (o.encoding == TextEncoding::Ansi)
      charsets.push_back({TextEncoding::Utf8, 0});
    if (o.eci != 26)
      charsets.push_back({TextEncoding::Utf8, 26});
  }

  std::vector<CodeOptions> order;
  const auto add = [&order](CodeOptions c) {
    for (const CodeOptions &known : order)
      if (known == c)
        return;
    order.push_back(c);
  };
  const int base = first.Made() ? first.picture.facts().version : std::max(o.version, 1);
  for (const Charset &cs : charsets) {
    CodeOptions c = o;
    c.encoding = cs.encoding;
    c.eci = cs.eci;
    if (!(cs.encoding == o.encoding && cs.eci == o.eci))
      add(c); // the same symbol size and level, only the text's bytes differ
    // A higher level at the smallest version that fits (no smaller than a
    // version the user chose).
    for (int l = level + 1; l <= kLevelH; ++l) {
      c.ecLevel = l;
      c.version = o.version;
      add(c);
    }
    // Then larger versions, the user's level first at each.
    for (int v = base + 1; v <= 40; ++v)
      for (int l = level; l <= kLevelH; ++l) {
        c.version = v;
        c.ecLevel = l;
        add(c);
      }
  }

  // A character set whose text came back wrong stays wrong in any size.
  std::vector<Charset> wrongText;
  const auto isWrong = [&wrongText](const CodeOptions &c) {
    for (const Charset &w : wrongText)
      if (w.encoding == c.encoding && w.eci == c.eci)
        return true;
    return false;
  };
  // The text becomes bytes once per character set, not once per candidate.
  SourceMessages messages(source, first);
  QElapsedTimer clock;
  clock.start();
  for (const CodeOptions &options : order) {
    if (search.made >= kMaxCandidates || search.read >= kMaxCandidatesRead)
      break;
    if (milliseconds != kNoTimeBudget && search.read > 0 && clock.elapsed() >= milliseconds) {
      search.outOfTime = true;
      break;
    }
    if (isWrong(options))
      continue;
    if (cancel && cancel->load()) {
      search.cancelled = true;
      break;
    }
    MadeCode candidate = MakeCode(encoder, source, options, messages.of(options), false);
    if (!candidate.Made()) {
      // The version the user chose is too small at a higher level: the
      // smallest that fits instead. Larger versions come in turn anyway.
      if (options.version == 0 || options.version != o.version)
        continue;
      CodeOptions automatic = options;
      automatic.version = 0;
      candidate = MakeCode(encoder, source, automatic, messages.of(automatic), false);
      if (!candidate.Made() || candidate.picture.facts().version < options.version)
        continue;
    }
    ++search.made;
    search.tried.push_back({options, candidate.picture.facts().version});
    // The damage count rules out what no reader may trust, cheaply.
    if (candidate.damage.PastCapacity())
      continue;
    const QRect logoBox = source.logoInBox.isNull() ? QRect() : source.logoBox;
    // Only whether it passes: the first that does is whole.
    candidate.report = CheckScan({candidate.composite, candidate.symbol, candidate.picture.facts(),
                                  logoBox, candidate.message, source.text},
                                 ScanDepth::UntilItFails);
    ++search.read;
    if (candidate.report->Passes()) {
      search.found = std::move(candidate);
      break;
    }
    if (TextComesBackWrong(*candidate.report))
      wrongText.push_back({options.encoding, options.eci});
  }
  return search;
}

} // namespace zub
