// A code made once: the message's bytes, the encoder's symbol, the
// composition and, when asked, the readers' verdict.
#include "MadeCode.h"

#include "Composite.h"
#include "Stretch.h"

namespace zub {

namespace {

int EncodingIndex(TextEncoding encoding) {
  return encoding == TextEncoding::Ansi ? 0 : 1;
}

} // namespace

MadeCode EncodeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options) {
  return EncodeCode(encoder, source, options,
                    source.text ? MessageBytes(*source.text, options.encoding) : source.raw);
}

MadeCode EncodeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                    std::vector<std::uint8_t> message) {
  MadeCode code;
  code.options = options;
  code.message = std::move(message);
  code.picture = encoder.MakeSymbol(code.message.data(), static_cast<int>(code.message.size()),
                                    options.version, options.ecLevel, options.mask, source.kanji,
                                    options.eci, &code.failure);
  if (code.picture.isNull())
    return code;
  code.symbol = SymbolView(code.picture).copy();
  return code;
}

SourceMessages::SourceMessages(const CodeSource &source, const MadeCode &first) : source_(source) {
  if (source.text)
    byEncoding_[EncodingIndex(first.options.encoding)] = first.message;
}

const std::vector<std::uint8_t> &SourceMessages::of(const CodeOptions &options) {
  if (!source_.text)
    return source_.raw;
  std::optional<std::vector<std::uint8_t>> &known = byEncoding_[EncodingIndex(options.encoding)];
  if (!known)
    known = MessageBytes(*source_.text, options.encoding);
  return *known;
}

void FinishCode(MadeCode &code, const CodeSource &source, bool check) {
  if (!code.Made())
    return;
  if (source.symbolAlone) {
    code.composite = code.symbol.scaled(code.symbol.size() * 4);
    if (check)
      code.report = CheckScan(
          {code.composite, QImage(), code.picture.facts(), QRect(), code.message, source.text});
    return;
  }
  Composition made = ComposeCode(code.symbol, source.logoInBox, source.canvasSize, source.logoBox);
  code.canvas = std::move(made.canvas);
  code.logoBox = std::move(made.logoBox);
  code.composite = std::move(made.composite);
  const QRect logoBox = source.logoInBox.isNull() ? QRect() : source.logoBox;
  const SymbolFacts &facts = code.picture.facts();
  if (check)
    code.report =
        CheckScan({code.composite, code.symbol, facts, logoBox, code.message, source.text});
  code.damage = code.report ? code.report->damage
                            : CountModuleDamage(code.composite, code.symbol, facts, logoBox);
}

MadeCode MakeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                  bool check) {
  MadeCode code = EncodeCode(encoder, source, options);
  FinishCode(code, source, check);
  return code;
}

MadeCode MakeCode(QrEncoder &encoder, const CodeSource &source, const CodeOptions &options,
                  std::vector<std::uint8_t> message, bool check) {
  MadeCode code = EncodeCode(encoder, source, options, std::move(message));
  FinishCode(code, source, check);
  return code;
}

} // namespace zub
