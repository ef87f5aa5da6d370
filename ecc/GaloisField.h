#pragma once

#include <array>
#include <cstdint>

namespace zub {

// The reduction polynomial of the QR Code field GF(256):
// x^8 + x^4 + x^3 + x^2 + 1.
inline constexpr int kQrFieldPolynomial = 285;

// A finite field of q = 2 .. 16384 elements with log and exponent tables of
// its primitive element: a binary field GF(2^m) given by its reduction
// polynomial, or the integers modulo q for any other q (q is not tested for
// primality). Elements are the integers 0 .. q-1. Operands are not reduced:
// passing a non-element is the caller's error. Undefined results (division
// by zero, the inverse of 0) are 0.
class GaloisField {
public:
  static constexpr int kMaxSize = 16384;

  int Size() const { return Size_; }
  int Modulus() const { return Modulus_; }
  int Generator() const { return Generator_; }

  // Sets the field and builds both tables. generator 0 picks the smallest
  // primitive element. False, object unchanged, for q outside 2..16384, a
  // binary field without modulus or a generator outside 0..q-1 (q = 2
  // ignores modulus and generator). Irreducibility and the generator's
  // order are not checked: the tables are then not a field's, but their
  // entries stay elements and logarithms below q - 1.
  bool Init(int size, int modulus, int generator);
  // Smallest primitive element >= 2 of the current Size, 0 if none.
  int FindGenerator() const;

  int Add(int a, int b) const;
  int Negate(int a) const;
  int Subtract(int a, int b) const;
  int Multiply(int a, int b) const {
    if (a == 0 || b == 0)
      return 0;
    int s = LogTable_[static_cast<std::size_t>(a)] + LogTable_[static_cast<std::size_t>(b)];
    if (s >= Size_ - 1)
      s -= Size_ - 1;
    return ExpTable_[static_cast<std::size_t>(s)];
  }
  int MultiplyDirect(int a, int b) const;
  int Inverse(int a) const;
  int InverseEuclid(int a) const;
  int Divide(int a, int b) const;
  int DivideEuclid(int a, int b) const;
  int Log(int a) const { return LogTable_[static_cast<std::size_t>(a)]; }
  int Exp(int i) const;

  bool IsBinary() const { return Size_ > 2 && (Size_ & (Size_ - 1)) == 0; }
  const std::int16_t *LogTable() const { return LogTable_.data(); }
  const std::int16_t *ExpTable() const { return ExpTable_.data(); }

private:
  int Size_ = 0;
  int Modulus_ = 0;
  int Generator_ = 0;
  std::array<std::int16_t, kMaxSize> LogTable_{};
  std::array<std::int16_t, kMaxSize> ExpTable_{};
};

} // namespace zub
