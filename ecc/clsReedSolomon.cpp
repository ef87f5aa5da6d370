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
  return true;
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
