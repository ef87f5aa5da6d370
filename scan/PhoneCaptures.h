#pragma once

// What a phone's camera makes of a picture: a small, fixed set of
// camera-like captures, the same on every run.
//
// The picture is taken as shown at its own size on a screen of some 96
// dots an inch (the canvas is then about 15 by 11 cm). A scanner app
// analyses frames of 1920 by 1080 pixels from a camera that sees some 65
// degrees across the long side: at 40 cm the picture gets as many pixels
// as it has, at 32 cm a quarter more. The lens and the hand blur it a
// little, the phone is held a few degrees off square, the screen is seen
// with less than its full contrast, the sensor adds noise and the app
// reads a JPEG-like compressed frame. Each capture is one such shot:
//   - Distant: from 40 cm, square on: the picture at its own size, blurred
//     by half a pixel, JPEG quality 85;
//   - Tilted: from 32 cm, turned 4 degrees and leaning back (the far edge
//     3 % narrower): at 1.25 times its size, blurred by 0.6 pixels, JPEG 80;
//   - Shaky: from 32 cm, turned 2 degrees the other way, blurred by 0.9
//     pixels, with more noise and a dimmer screen (contrast 80 %), JPEG 75.
// Each frame shows some of what lies around the picture. The noise comes
// from a fixed seed and the arithmetic is in fixed point: the same picture
// gives the same captures on every run.

#include <QImage>

#include <array>

namespace zub {

enum class CaptureKind { Distant, Tilted, Shaky };

inline constexpr std::array<CaptureKind, 3> kCaptureKinds = {
    CaptureKind::Distant, CaptureKind::Tilted, CaptureKind::Shaky};

// The bit of `kind` in a set of captures.
constexpr unsigned CaptureBit(CaptureKind kind) {
  return 1u << static_cast<unsigned>(kind);
}

// The capture `kind` of `picture`, in 8-bit grey; a null picture gives a
// null capture.
QImage PhoneCapture(const QImage &picture, CaptureKind kind);

} // namespace zub
