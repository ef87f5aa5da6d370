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

bool TooLongForPhones(const MadeCode &first, const RemedySearch &search) {
  return first.report && first.report->SmallModules() && search.everyKindTried &&
         !search.largeModulesMade;
}

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

  // The kinds of change, in the order they are tried; each candidate keeps
  // its kind, so that the search knows whether every kind was tried.
  enum Kind { kCharset, kSmallest, kHigherLevel, kBetween, kLarger, kKinds };
  struct Candidate {
    CodeOptions options;
    Kind kind;
  };
  std::vector<Candidate> order;
  // The text becomes bytes once per character set, not once per candidate.
  SourceMessages messages(source, first);
  const auto add = [&order, &o](CodeOptions c, Kind kind) {
    if (c == o)
      return;
    for (const Candidate &known : order)
      if (known.options == c)
        return;
    order.push_back({c, kind});
  };
  const int base = first.Made() ? first.picture.facts().version : std::max(o.version, 1);
  // The levels from the user's: higher ones first, then lower ones.
  std::vector<int> levels{level};
  for (int l = level + 1; l <= kLevelH; ++l)
    levels.push_back(l);
  for (int l = level - 1; l >= kLevelL; --l)
    levels.push_back(l);
  const auto in = [&o](const Charset &cs) {
    CodeOptions c = o;
    c.encoding = cs.encoding;
    c.eci = cs.eci;
    return c;
  };
  // Each kind of change comes before the larger versions, of which there
  // are many, so that the bounds leave no kind untried: first the other
  // character sets at the same size and level, ...
  for (const Charset &cs : charsets)
    add(in(cs), kCharset);
  // ... then, in each character set, the smallest version at each level,
  // the user's version at the higher levels, and versions between ...
  for (const Charset &cs : charsets) {
    CodeOptions c = in(cs);
    for (int l : levels) {
      c.version = 0;
      c.ecLevel = l;
      add(c, kSmallest);
    }
    for (int l = level + 1; l <= kLevelH; ++l) {
      c.version = o.version;
      c.ecLevel = l;
      add(c, kHigherLevel);
    }
    if (o.version > 0) {
      // The smallest version that holds the text at the user's level: the
      // versions between it and the user's, a few of them spread evenly.
      c.version = 0;
      c.ecLevel = level;
      const int smallest = EncodeCode(encoder, source, c, messages.of(c)).picture.facts().version;
      const int gap = o.version - smallest - 1;
      constexpr int kBetweenTried = 4;
      const int count = std::min(gap, kBetweenTried);
      for (int k = 1; smallest > 0 && k <= count; ++k) {
        c.version = smallest + (k * (gap + 1)) / (count + 1);
        add(c, kBetween);
      }
    }
  }
  // ... and last the larger versions, the user's level first at each.
  for (const Charset &cs : charsets) {
    CodeOptions c = in(cs);
    for (int v = base + 1; v <= 40; ++v)
      for (int l = level; l <= kLevelH; ++l) {
        c.version = v;
        c.ecLevel = l;
        add(c, kLarger);
      }
  }
  bool kindsPlanned[kKinds] = {}, kindsTried[kKinds] = {};
  for (const Candidate &c : order)
    kindsPlanned[c.kind] = true;

  // A character set whose text came back wrong stays wrong in any size.
  std::vector<Charset> wrongText;
  const auto isWrong = [&wrongText](const CodeOptions &c) {
    for (const Charset &w : wrongText)
      if (w.encoding == c.encoding && w.eci == c.eci)
        return true;
    return false;
  };
  QElapsedTimer clock;
  clock.start();
  bool stopped = false;
  for (const Candidate &next : order) {
    const CodeOptions &options = next.options;
    if (search.made >= kMaxCandidates || search.read >= kMaxCandidatesRead) {
      stopped = true;
      break;
    }
    if (milliseconds != kNoTimeBudget && search.read > 0 && clock.elapsed() >= milliseconds) {
      search.outOfTime = true;
      stopped = true;
      break;
    }
    if (cancel && cancel->load()) {
      search.cancelled = true;
      stopped = true;
      break;
    }
    kindsTried[next.kind] = true;
    if (isWrong(options))
      continue;
    MadeCode candidate = MakeCode(encoder, source, options, messages.of(options), false);
    // A level the user's version does not hold: the smallest version that
    // does is a candidate of its own.
    if (!candidate.Made())
      continue;
    // The smallest version may be the one the user chose: the same code.
    if (candidate.picture.facts().version == first.picture.facts().version &&
        options.ecLevel == o.ecLevel && options.encoding == o.encoding && options.eci == o.eci &&
        options.mask == o.mask)
      continue;
    ++search.made;
    search.tried.push_back({options, candidate.picture.facts().version});
    // The damage count rules out what no reader may trust, and modules
    // too small for a phone, cheaply.
    if (candidate.damage.SmallModules())
      continue;
    search.largeModulesMade = true;
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
  bool allKinds = true;
  for (int k = 0; k < kKinds; ++k)
    allKinds = allKinds && (!kindsPlanned[k] || kindsTried[k]);
  search.everyKindTried = !search.found && (!stopped || allKinds);
  return search;
}

} // namespace zub
