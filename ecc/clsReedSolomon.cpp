#include "clsReedSolomon.h"

namespace zub {

bool clsReedSolomon::Init(int dataLength, int eccLength, const clsFiniteField *field, int alpha,
                          int firstRoot) {
  if (dataLength + eccLength > kMaxLength || dataLength <= 0 || eccLength <= 0 || firstRoot < 0)
    return false;
  if (field)
    Field_ = field;
  if (!Field_)
    return false;
  if (alpha == 0)
    alpha = Generator_ != 0 ? Generator_ : Field_->Generator();
  if (alpha == 0)
    return false;

  DataLength_ = dataLength;
  EccLength_ = eccLength;
  productReady_ = false;
  Generator_ = alpha;
  FirstRoot_ = firstRoot;

  const clsFiniteField &f = *Field_;
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
  PrepareBytePath();
  return true;
}

void clsReedSolomon::PrepareBytePath() {
  const clsFiniteField &f = *Field_;
  bytesReady_ = f.IsBinary() && f.Size() <= 256;
  if (!bytesReady_)
    return;
  if (expField_ != Field_) {
    const int order = f.Size() - 1;
    exp2_.fill(0);
    for (int i = 0; i < 2 * order; ++i)
      exp2_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(f.ExpTable()[i % order]);
    expField_ = Field_;
  }
  const int ecc = EccLength_;
  for (int j = 0; j < ecc; ++j) {
    const int coef = GenPoly_[static_cast<std::size_t>(ecc - 1 - j)];
    genLog_[static_cast<std::size_t>(j)] =
        static_cast<std::int16_t>(coef == 0 ? kZeroLog : f.Log(coef));
  }
}

void clsReedSolomon::PrepareProductTable() {
  if (!bytesReady_ || EccLength_ > kMaxProductEcc)
    return;
  const int ecc = EccLength_;
  const std::int16_t *logs = Field_->LogTable();
  std::uint8_t *row = product_.data();
  for (int j = 0; j < ecc; ++j)
    row[j] = 0;
  for (int value = 1; value < Field_->Size(); ++value) {
    row = product_.data() + value * ecc;
    const int lf = logs[value];
    for (int j = 0; j < ecc; ++j)
      row[j] = exp2_[static_cast<std::size_t>(lf + genLog_[static_cast<std::size_t>(j)])];
  }
  productReady_ = true;
}

void clsReedSolomon::EncodeBytes(const std::uint8_t *data, int count, std::uint8_t *check) const {
  // The remainder of m(x) * x^ecc by g(x) in a shift register: check[0] is
  // the coefficient of x^(ecc-1), the symbol sent first.
  const int ecc = EccLength_;
  for (int j = 0; j < ecc; ++j)
    check[j] = 0;
  const std::int16_t *logs = Field_->LogTable();
  for (int i = 0; i < count; ++i) {
    const int feedback = data[i] ^ check[0];
    if (productReady_) {
      const std::uint8_t *row = product_.data() + feedback * ecc;
      for (int j = 0; j < ecc - 1; ++j)
        check[j] = check[j + 1] ^ row[j];
      check[ecc - 1] = row[ecc - 1];
      continue;
    }
    for (int j = 0; j < ecc - 1; ++j)
      check[j] = check[j + 1];
    check[ecc - 1] = 0;
    if (feedback == 0)
      continue;
    const int lf = logs[feedback];
    for (int j = 0; j < ecc; ++j)
      check[j] ^= exp2_[static_cast<std::size_t>(lf + genLog_[static_cast<std::size_t>(j)])];
  }
}

void clsReedSolomon::Encode(std::int32_t *block) const {
  const int k = DataLength_;
  const int ecc = EccLength_;
  if (k <= 0 || ecc <= 0 || !Field_)
    return;
  const clsFiniteField &f = *Field_;

  // Long division of m(x) * x^ecc by g(x); only indexes below ecc + k are touched.
  std::int32_t work[kMaxLength];
  for (int j = 0; j < ecc; ++j)
    work[j] = 0;
  for (int j = ecc; j < ecc + k; ++j)
    work[j] = block[j];

  if (f.IsBinary()) {
    // Characteristic 2: subtraction is XOR and the generator's logarithms
    // can be taken once per block instead of once per product.
    const std::int16_t *logs = f.LogTable();
    const std::int16_t *exps = f.ExpTable();
    const int order = f.Size() - 1;
    int genLog[kMaxLength];
    for (int j = 0; j < ecc; ++j)
      genLog[j] = GenPoly_[static_cast<std::size_t>(j)] == 0
                      ? -1
                      : logs[GenPoly_[static_cast<std::size_t>(j)]];
    for (int i = k - 1; i >= 0; --i) {
      const int coef = work[ecc + i];
      if (coef == 0)
        continue;
      const int lc = logs[coef];
      std::int32_t *row = work + i;
      for (int j = 0; j < ecc; ++j) {
        if (genLog[j] < 0)
          continue;
        int s = lc + genLog[j];
        if (s >= order)
          s -= order;
        row[j] ^= exps[s];
      }
    }
    for (int j = 0; j < ecc; ++j)
      block[j] = work[j];
    return;
  }

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
