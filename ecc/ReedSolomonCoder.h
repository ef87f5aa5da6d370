#pragma once

#include "GaloisField.h"

#include <array>
#include <cstdint>

namespace zub {

// Systematic Reed-Solomon encoder over a GaloisField.
//
// A block is a polynomial array: the k data symbols, first sent at the
// highest index ecc + k - 1, down to index ecc; Encode writes the ecc check
// symbols to indexes ecc - 1 (sent first) .. 0. The field is not owned and
// must outlive the coder.
class ReedSolomonCoder {
public:
  static constexpr int kMaxLength = 1024;

  const GaloisField *Field() const { return Field_; }
  void SetField(const GaloisField *field) { Field_ = field; }
  int Generator() const { return Generator_; }
  void SetGenerator(int alpha) { Generator_ = alpha; }
  int DataLength() const { return DataLength_; }
  int EccLength() const { return EccLength_; }
  int FirstRoot() const { return FirstRoot_; }
  int GenCoef(int i) const { return GenPoly_[static_cast<std::size_t>(i)]; }

  // Builds g(x) = (x - a^c)(x - a^(c+1))...(x - a^(c+ecc-1)). field null keeps
  // the stored field; alpha 0 the stored generator, else the field's.
  // False, shape unchanged, for k + ecc > 1024, k <= 0, ecc <= 0, c < 0, no
  // field, or no root base among the field's non-zero elements.
  bool Init(int dataLength, int eccLength, const GaloisField *field, int alpha, int firstRoot);

  // Fills block[0 .. ecc-1] with the check symbols of block[ecc .. ecc+k-1].
  // Before a successful Init it changes nothing.
  void Encode(std::int32_t *block) const;

  // The same code for symbols of at most 8 bits, in sending order: the check
  // symbols of the `count` (<= DataLength) data bytes go to check[0 .. ecc-1],
  // what Encode gives for a block whose leading data symbols are 0. Fastest
  // in binary fields of up to 256 elements, such as the QR field. A count
  // outside 0 .. DataLength gives zeros.
  void EncodeBytes(const std::uint8_t *data, int count, std::uint8_t *check);

private:
  const GaloisField *Field_ = nullptr;
  int DataLength_ = 0;
  int EccLength_ = 0;
  int Generator_ = 0;
  int FirstRoot_ = 0;
  std::array<std::int32_t, kMaxLength> GenPoly_{};

  // Byte path: for every field element f, the products f * g_j of the
  // coefficients of g(x) below x^ecc, highest power first, so that one
  // division step is one row XOR. Built on first use after g(x) changes.
  static constexpr int kMaxProductEcc = 32;
  void BuildProductTable();
  bool bytePath_ = false;
  // The field g(x) was last built in, as it was then.
  const GaloisField *builtField_ = nullptr;
  int builtSize_ = 0;
  int builtModulus_ = 0;
  int builtFieldGenerator_ = 0;
  bool productReady_ = false;
  std::array<std::uint8_t, 256 * kMaxProductEcc> product_{};
};

} // namespace zub
