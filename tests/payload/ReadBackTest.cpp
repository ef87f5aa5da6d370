// The texts survive the road to a phone: encoded as UTF-8, each comes back
// from the three readers of the scan check (zxing-cpp, zbar, OpenCV's
// wechat_qrcode) byte for byte and as the same text, with ECI 26 where the
// check finds that a reader would otherwise guess another character set.
#include "PayloadCases.h"
#include "ReadableCode.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zub::test {
namespace {

template <typename Form>
void ExpectReadBack(QrEncoder &encoder, const std::vector<PayloadCase<Form>> &cases) {
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    CodeSource source;
    source.text = QString::fromStdString(c.text);
    source.symbolAlone = true;
    CodeOptions options; // UTF-8, no ECI, the smallest version at level M
    const ReadableCode made = MakeReadableCode(encoder, source, options, nullptr, kNoTimeBudget);
    ASSERT_TRUE(made.verdict == ReadableCode::Verdict::Passes ||
                made.verdict == ReadableCode::Verdict::Remedied)
        << static_cast<int>(made.verdict);
    const MadeCode &code = made.code();
    // Only the character set may change, and only to name UTF-8.
    EXPECT_EQ(code.options.encoding, TextEncoding::Utf8);
    EXPECT_TRUE(code.options.eci == 0 || code.options.eci == 26) << code.options.eci;
    EXPECT_EQ(std::string(code.message.begin(), code.message.end()), c.text);
    ASSERT_TRUE(code.report.has_value());
    for (const ReaderOutcome *reader :
         {&code.report->zxing, &code.report->zbar, &code.report->wechat}) {
      EXPECT_TRUE(reader->Exact());
      EXPECT_EQ(reader->text, c.text);
    }
    // Plain ASCII needs no ECI.
    if (std::all_of(c.text.begin(), c.text.end(), [](char ch) { return (ch & 0x80) == 0; })) {
      EXPECT_EQ(code.options.eci, 0) << c.text;
    }
  }
}

TEST(PayloadReadBack, EveryKindComesBackAsWritten) {
  QrEncoder encoder;
  ExpectReadBack(encoder, WifiCases());
  ExpectReadBack(encoder, ContactCases());
  ExpectReadBack(encoder, PhoneCases());
  ExpectReadBack(encoder, SmsCases());
  ExpectReadBack(encoder, MailCases());
  ExpectReadBack(encoder, PlaceCases());
  ExpectReadBack(encoder, EventCases());
}

} // namespace
} // namespace zub::test
