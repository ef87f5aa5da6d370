#include "GaloisField.h"

#include <algorithm>
#include <cmath>

namespace zub {

bool GaloisField::Init(int size, int modulus, int generator) {
  if (size < 2 || size > kMaxSize)
    return false;
  if (size == 2) {
    Size_ = 2;
    Modulus_ = 2;
    Generator_ = 1;
    LogTable_[0] = LogTable_[1] = 0;
    ExpTable_[0] = ExpTable_[1] = 1;
    return true;
  }
  const bool binary = (size & (size - 1)) == 0;
  if (binary && modulus == 0)
    return false;
  // The generator becomes a table index and a table entry.
  if (generator < 0 || generator >= size)
    return false;
  Size_ = size;
  Modulus_ = binary ? modulus : size;

  int g = generator;
  if (g == 0)
    g = FindGenerator();
  Generator_ = g;

  auto at = [](int i) { return static_cast<std::size_t>(i); };
  // A generator that is not primitive leaves elements its powers never
  // reach; their entries must not keep a larger field's logarithms, which
  // would send Multiply, Divide and Inverse past the tables.
  std::fill_n(LogTable_.begin(), size, std::int16_t{0});
  std::fill_n(ExpTable_.begin(), size, std::int16_t{0});
  LogTable_[0] = 0;
  LogTable_[1] = 0;
  LogTable_[at(g)] = 1;
  ExpTable_[0] = 1;
  ExpTable_[at(size - 1)] = 1;
  ExpTable_[1] = static_cast<std::int16_t>(g);
  int x = g;
  for (int i = 2; i <= size - 2; ++i) {
    x = binary ? MultiplyDirect(x, g) : (x * g) % size;
    LogTable_[at(x)] = static_cast<std::int16_t>(i);
    ExpTable_[at(i)] = static_cast<std::int16_t>(x);
  }
  return true;
}

int GaloisField::FindGenerator() const {
  const int q = Size_;
  // g is primitive when g^((q-1)/p) != 1 for every prime factor p of q - 1.
  int exponents[8];
  int count = 0;
  int n = q - 1;
  if (n % 2 == 0) {
    exponents[count++] = (q - 1) / 2;
    while (n % 2 == 0)
      n /= 2;
  }
  auto limitOf = [](int v) { return static_cast<int>(std::nearbyint(std::sqrt(v) + 2.0)); };
  int limit = limitOf(n);
  for (int p = 3; p <= limit; p += 2) {
    if (n % p == 0) {
      while (n % p == 0)
        n /= p;
      exponents[count++] = (q - 1) / p;
      limit = limitOf(n);
    }
  }
  if (n > 1)
    exponents[count++] = (q - 1) / n;

  for (int g = 2; g <= q - 1; ++g) {
    int squares[14];
    squares[0] = g;
    for (int k = 1; k < 14; ++k)
      squares[k] = MultiplyDirect(squares[k - 1], squares[k - 1]);
    bool primitive = true;
    for (int i = 0; i < count && primitive; ++i) {
      int power = 1;
      for (int k = 0; k < 14; ++k)
        if (exponents[i] & (1 << k))
          power = MultiplyDirect(power, squares[k]);
      if (power == 1)
        primitive = false;
    }
    if (primitive)
      return g;
  }
  return 0;
}

int GaloisField::Add(int a, int b) const {
  if (IsBinary() || Size_ == 2)
    return a ^ b;
  int s = a + b;
  return s >= Size_ ? s - Size_ : s;
}

int GaloisField::Negate(int a) const {
  if (IsBinary() || Size_ == 2 || a == 0)
    return a;
  return Size_ - a;
}

int GaloisField::Subtract(int a, int b) const {
  if (IsBinary() || Size_ == 2)
    return a ^ b;
  int d = a - b;
  return d < 0 ? d + Size_ : d;
}

int GaloisField::MultiplyDirect(int a, int b) const {
  if (a == 0 || b == 0)
    return 0;
  if (Size_ == 2)
    return 1;
  if (!IsBinary())
    return static_cast<int>((static_cast<long long>(a) * b) % Size_);
  // Shift and add, reducing by the polynomial whenever a reaches degree m.
  int e = 1;
  int r = 0;
  for (;;) {
    if (b & e) {
      b &= ~e;
      r ^= a;
    }
    if (b == 0)
      return r;
    e <<= 1;
    a <<= 1;
    if (a & Size_)
      a = (Size_ - 1) & (a ^ Modulus_);
  }
}

int GaloisField::Inverse(int a) const {
  if (a == 0)
    return 0;
  return ExpTable_[static_cast<std::size_t>((Size_ - 1) - LogTable_[static_cast<std::size_t>(a)])];
}

int GaloisField::InverseEuclid(int a) const {
  if (a == 0)
    return 0;
  if (Size_ == 2)
    return 1;
  if (IsBinary())
    return 0;
  long long r0 = Size_, r1 = a, s0 = 0, s1 = 1;
  while (r1 != 0) {
    long long quotient = r0 / r1;
    long long r2 = r0 - quotient * r1;
    long long s2 = s0 - quotient * s1;
    r0 = r1;
    r1 = r2;
    s0 = s1;
    s1 = s2;
  }
  long long inv = s0 % Size_;
  if (inv < 0)
    inv += Size_;
  return static_cast<int>(inv);
}

int GaloisField::Divide(int a, int b) const {
  if (a == 0 || b == 0)
    return 0;
  int s = LogTable_[static_cast<std::size_t>(a)] - LogTable_[static_cast<std::size_t>(b)];
  if (s < 0)
    s += Size_ - 1;
  return ExpTable_[static_cast<std::size_t>(s)];
}

int GaloisField::DivideEuclid(int a, int b) const {
  if (a == 0 || b == 0)
    return 0;
  if (Size_ == 2)
    return 1;
  if (IsBinary())
    return 0;
  long long r = (static_cast<long long>(a) * InverseEuclid(b)) % Size_;
  if (r < 0)
    r += Size_;
  return static_cast<int>(r);
}

int GaloisField::Exp(int i) const {
  const int order = Size_ - 1;
  if (order < 1)
    return 0; // no field yet
  int r = i % order;
  if (r < 0)
    r += order;
  return ExpTable_[static_cast<std::size_t>(r)];
}

} // namespace zub
