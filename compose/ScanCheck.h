#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace zub {

// Whether a QR reader finds, in `picture` as it is, a QR Code whose content
// is exactly `message`. The stretch over the canvas and the logo over the
// symbol can make a code unreadable; this is how the program finds out
// before the user does. Changes nothing; takes a few milliseconds for a
// canvas-sized picture.
bool ReadsBack(const QImage &picture, const std::vector<std::uint8_t> &message);

// The warning shown when ReadsBack is false: Chinese, several lines.
QString ScanWarningText();

} // namespace zub
