#include "ReedSolomonCoder.h"

namespace zub {

bool ReedSolomonCoder::Init(int dataLength, int eccLength, const GaloisField *field, int alpha,
                            int firstRoot) {
  // Lengths first: their sum must not overflow.
  if (dataLength <= 0 || eccLength <= 0 || dataLength > kMaxLength - eccLength || firstRoot < 0)
    return false;
  if (field)
    Field_ = field;
  if (!Field_)
    return false;
  if (alpha == 0)
    alpha = Generator_ != 0 ? Generator_ : Field_->Generator();
  // The root base is a field element; a stored one may belong to the field
  // before a change, and its powers would index past the field's tables.
  if (alpha <= 0 || alpha >= Field_->Size())
    return false;

  const bool sameGenerator = Field_ == builtField_ && Field_->Size() == builtSize_ &&
                             Field_->Modulus() == builtModulus_ &&
                             Field_->Generator() == builtFieldGenerator_ && alpha == Generator_ &&
                             firstRoot == FirstRoot_ && eccLength == EccLength_;
  DataLength_ = dataLength;
  EccLength_ = eccLength;
  Generator_ = alpha;
  FirstRoot_ = firstRoot;
  bytePath_ = Field_->IsBinary() && Field_->Size() <= 256;
  // One encoder re-initialises its coder for every symbol, mostly with the
  // same g(x): it is rebuilt only when one of its inputs changed.
  if (sameGenerator)
    return true;
  builtField_ = Field_;
  builtSize_ = Field_->Size();
  builtModulus_ = Field_->Modulus();
  builtFieldGenerator_ = Field_->Generator();
  productReady_ = false;

  const GaloisField &f = *Field_;
  // beta = alpha^c by square and multiply.
  int c = firstRoot;
  int beta = (c & 1) ? alpha : 1;
  c &= ~1;
  int square = alpha;
  int bit = 1;
  while (c != 0) {
    bit <<= 1;
    square = f.Multiply(square, square);
    if (c & bit) {
      beta = f.Multiply(beta, square);
      c &= ~bit;
    }
  }

  // g(x) starts as x - alpha^c; each pass multiplies by the next (x - alpha^(c+i-1)).
  int h = f.Negate(beta);
  GenPoly_.fill(0);
  GenPoly_[0] = h;
  GenPoly_[1] = 1;
  for (int i = 2; i <= eccLength; ++i) {
    const int factor = f.Multiply(h, alpha);
    auto at = [](int j) { return static_cast<std::size_t>(j); };
    GenPoly_[at(i)] = 1;
    for (int j = i - 1; j >= 1; --j)
      GenPoly_[at(j)] = f.Add(GenPoly_[at(j - 1)], f.Multiply(GenPoly_[at(j)], factor));
    GenPoly_[0] = f.Multiply(GenPoly_[0], factor);
    h = factor;
  }
  return true;
}

void ReedSolomonCoder::BuildProductTable() {
  const GaloisField &f = *Field_;
  const int ecc = EccLength_;
  constexpr int kRow = kMaxProductEcc;
  // Rows are padded with zeros to a fixed width, so that a division step
  // XORs a whole row without a loop over a variable length.
  product_.fill(0);
  std::uint8_t *table = product_.data();
  // Multiplication distributes over XOR: row(a ^ b) = row(a) ^ row(b), so
  // only the rows of the powers of two need products.
  for (int value = 1; value < f.Size(); ++value) {
    std::uint8_t *row = table + value * kRow;
    const int low = value & -value;
    if (low == value) {
      for (int j = 0; j < ecc; ++j)
        row[j] = static_cast<std::uint8_t>(
            f.Multiply(value, GenPoly_[static_cast<std::size_t>(ecc - 1 - j)]));
    } else {
      const std::uint8_t *a = table + (value ^ low) * kRow;
      const std::uint8_t *b = table + low * kRow;
      for (int j = 0; j < kRow; ++j)
        row[j] = a[j] ^ b[j];
    }
  }
  productReady_ = true;
}

void ReedSolomonCoder::EncodeBytes(const std::uint8_t *data, int count, std::uint8_t *check) {
  const int ecc = EccLength_;
  if (count < 0 || count > DataLength_) {
    // Not a block of this shape: no check symbols to give.
    for (int j = 0; j < ecc; ++j)
      check[j] = 0;
    return;
  }
  if (!bytePath_ || ecc > kMaxProductEcc) {
    // Outside the table's reach: through the general coder.
    std::int32_t block[kMaxLength] = {};
    for (int i = 0; i < count; ++i)
      block[ecc + count - 1 - i] = data[i];
    Encode(block);
    for (int j = 0; j < ecc; ++j)
      check[j] = static_cast<std::uint8_t>(block[ecc - 1 - j]);
    return;
  }
  if (!productReady_)
    BuildProductTable();

  // Long division of m(x) * x^ecc by g(x), highest power first: each data
  // position's coefficient subtracts (XORs) its multiple of g(x) from the
  // positions after it; what is left behind the data is the remainder.
  constexpr int kRow = kMaxProductEcc;
  std::uint8_t work[kMaxLength + kRow];
  for (int i = 0; i < count; ++i)
    work[i] = data[i];
  for (int j = 0; j < kRow; ++j)
    work[count + j] = 0;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t *__restrict row = product_.data() + work[i] * kRow;
    std::uint8_t *__restrict next = work + i + 1;
    for (int j = 0; j < kRow; ++j)
      next[j] ^= row[j];
  }
  for (int j = 0; j < ecc; ++j)
    check[j] = work[count + j];
}

void ReedSolomonCoder::Encode(std::int32_t *block) const {
  const int k = DataLength_;
  const int ecc = EccLength_;
  if (k <= 0 || ecc <= 0 || !Field_)
    return;
  const GaloisField &f = *Field_;

  // Long division of m(x) * x^ecc by g(x); only indexes below ecc + k are touched.
  std::int32_t work[kMaxLength];
  for (int j = 0; j < ecc; ++j)
    work[j] = 0;
  for (int j = ecc; j < ecc + k; ++j)
    work[j] = block[j];

  for (int i = k - 1; i >= 0; --i) {
    const int coef = work[ecc + i];
    for (int j = 0; j < ecc; ++j)
      work[i + j] =
          f.Subtract(work[i + j], f.Multiply(coef, GenPoly_[static_cast<std::size_t>(j)]));
  }
  for (int j = 0; j < ecc; ++j)
    block[j] = f.Negate(work[j]);
}

} // namespace zub
