// The encoder's building blocks under arbitrary shapes: the data bit stream
// in both kanji modes with any version and buffer, the finite field with
// any size, polynomial and generator, and the Reed-Solomon coder with any
// block shape.
//
// Input layout: a selector byte (modulo 3: stream, field, coder), then the
// arguments of that part, then its data. Arguments come from FuzzInput, so
// every input is a valid run.
//
// Properties beyond survival:
//   stream: the estimate equals the written length for every version of a
//     group; the writer appends behind bits already in the buffer, writes
//     nothing when the buffer is too small, and stays within it; the
//     stream parses back into the message bytes, with counts within their
//     fields and no kanji where kanji is excluded; it is never longer than
//     byte mode alone; its segments and length are those of a plain
//     per-character search over all modes (tests/encoder has the same
//     judge on a seeded table of texts).
//   field: Init succeeds exactly for valid arguments and leaves the object
//     unchanged otherwise; every result is a field element; addition and
//     the direct product follow their definitions; and where the tables
//     describe a genuine field (the powers of the generator reach every
//     non-zero element) the field laws hold and the table arithmetic agrees
//     with the direct one; the automatic generator is the smallest
//     primitive element.
//   coder: Init succeeds exactly for valid shapes and keeps the shape
//     otherwise; g(x) is monic of degree ecc; in a genuine field every
//     encoded block vanishes at the roots of g(x), and the byte path agrees
//     with the general one.
#include "FuzzSupport.h"
#include "GaloisField.h"
#include "QrEncoder.h"
#include "ReedSolomonCoder.h"
#include "StreamReference.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

using zub::BitBuffer;
using zub::GaloisField;
using zub::KanjiMode;
using zub::QrEncoder;
using zub::ReedSolomonCoder;
using zub::fuzz::FuzzInput;
using zub::fuzz::GroupOf;
using zub::fuzz::kByte;
using zub::fuzz::kCountWidth;
using zub::fuzz::PlainSegmentation;
using zub::fuzz::Segment;
using zub::fuzz::StreamParser;

namespace {

// ---------------------------------------------------------------- stream

constexpr int kGroupVersion[3] = {1, 10, 27};

int Estimate(const QrEncoder &qr, const std::uint8_t *data, int n, int version, KanjiMode kanji) {
  std::uint8_t four[1] = {};
  BitBuffer none(four, 4); // an empty message writes its terminator even when estimating
  const int bits = qr.BuildDataBits(none, data, n, version, true, kanji);
  ZUB_CHECK(none.size() == (n > 0 ? 0 : 4));
  return bits;
}

void FuzzStream(FuzzInput &in) {
  const int version = in.Choice(-3, 46);
  const KanjiMode kanji = in.Byte() & 1 ? KanjiMode::Excluded : KanjiMode::Allowed;
  const int prefix = in.Byte() % 24; // bits already in the buffer
  const std::uint32_t prefixValue = in.Word() & ((1u << prefix) - 1u);
  const std::uint8_t capacityChoice = in.Byte();
  const int slack = in.Below(1 << 16);
  const std::vector<std::uint8_t> message(in.rest(), in.rest() + in.remaining());
  const int n = static_cast<int>(message.size());
  const int group = GroupOf(version);

  QrEncoder qr;
  const int L = Estimate(qr, message.data(), n, version, kanji);
  ZUB_CHECK(L >= 4);
  // Only the group of the version matters.
  ZUB_CHECK(Estimate(qr, message.data(), n, kGroupVersion[group], kanji) == L);
  // Never worse than byte mode alone, in as few segments as the counts allow.
  if (n > 0) {
    const int maxBytes = group == 0 ? 255 : 65535;
    const long long segments = (n + maxBytes - 1) / maxBytes;
    ZUB_CHECK(L <= segments * (4 + kCountWidth[group][kByte]) + 8LL * n + 4);
  }
  // The segments and the length of the plain per-character search.
  int plainBits = 0;
  std::vector<Segment> plain;
  if (n > 0) {
    plain = PlainSegmentation(message.data(), n, group, kanji == KanjiMode::Allowed, plainBits);
    ZUB_CHECK(L - 4 == plainBits);
  }

  int capacity = prefix + L;
  switch (capacityChoice % 4) {
  case 1:
    capacity = prefix + L - 1 - slack % L; // too small
    break;
  case 2:
    capacity = prefix + L + slack % 64;
    break;
  case 3:
    capacity = prefix + slack % (L + 64);
    break;
  default:
    break;
  }
  capacity = std::max(capacity, prefix);
  std::vector<std::uint8_t> storage(static_cast<std::size_t>(capacity + 7) / 8);
  BitBuffer bits(storage.data(), capacity);
  bits.Put(prefixValue, prefix);
  const std::vector<std::uint8_t> before = storage;

  const int written = qr.BuildDataBits(bits, message.data(), n, version, false, kanji);
  ZUB_CHECK(written == L);
  if (capacity - prefix < L) {
    ZUB_CHECK(bits.size() == prefix);
    ZUB_CHECK(storage == before);
    return;
  }
  ZUB_CHECK(bits.size() == prefix + L);
  for (int i = 0; i < prefix; ++i)
    ZUB_CHECK(bits.bit(i) == static_cast<int>(prefixValue >> (prefix - 1 - i) & 1u));
  for (int i = prefix + L; i < 8 * static_cast<int>(storage.size()); ++i)
    ZUB_CHECK(bits.bit(i) == 0);
  std::vector<std::uint8_t> parsed;
  StreamParser parser(bits, prefix, prefix + L);
  ZUB_CHECK(parser.Parse(group, kanji == KanjiMode::Allowed, parsed));
  ZUB_CHECK(parsed == message);
  ZUB_CHECK(parser.segments() == plain);
}

// ----------------------------------------------------------------- field

bool IsPowerOfTwo(int q) {
  return q > 0 && (q & (q - 1)) == 0;
}

bool IsPrime(int q) {
  if (q < 2)
    return false;
  for (int d = 2; d * d <= q; ++d)
    if (q % d == 0)
      return false;
  return true;
}

// The arguments of one field: sizes a caller might try, the ends of the
// int range, and anything else.
struct FieldArgs {
  int size = 0;
  int modulus = 0;
  int generator = 0;
};

FieldArgs DrawField(FuzzInput &in) {
  static constexpr int kSizes[] = {2,     3,   4,   5,    7,    8,     9,     11,      13,
                                   15,    16,  17,  31,   32,   64,    128,   256,     257,
                                   509,   512, 929, 1024, 2048, 4096,  8192,  16384,   16381,
                                   16383, 12,  1,   0,    -1,   16385, 65536, INT_MAX, INT_MIN};
  constexpr int kCount = static_cast<int>(std::size(kSizes));
  FieldArgs a;
  const std::uint8_t sizeChoice = in.Byte();
  if (sizeChoice < 0xE0)
    a.size = kSizes[sizeChoice % kCount];
  else if (sizeChoice < 0xF0)
    a.size = 2 + in.Below(16383);
  else
    a.size = in.Int();
  const bool elements = a.size >= 2 && a.size <= GaloisField::kMaxSize;

  switch (in.Byte() % 4) {
  case 0:
    a.modulus = 0;
    break;
  case 1:
    a.modulus = in.Int();
    break;
  case 2:
    a.modulus = zub::kQrFieldPolynomial;
    break;
  default: // x^m plus lower terms
    a.modulus = elements ? a.size | in.Below(a.size) : in.Int();
    break;
  }

  switch (in.Byte() % 4) {
  case 0:
    a.generator = 0;
    break;
  case 1:
    a.generator = 2;
    break;
  case 2:
    a.generator = elements ? 1 + in.Below(a.size - 1) : 1;
    break;
  default:
    a.generator = in.Int();
    break;
  }
  return a;
}

// Field arithmetic straight from the definitions: the integers modulo q,
// or polynomials over GF(2) modulo x^m plus the modulus's lower terms.
struct Reference {
  int q = 0;
  int low = 0; // the modulus below x^m
  bool binary = false;

  explicit Reference(const GaloisField &f)
      : q(f.Size()), low(f.Modulus() & (f.Size() - 1)), binary(IsPowerOfTwo(f.Size())) {}

  int Add(int a, int b) const { return binary ? a ^ b : (a + b) % q; }
  int Multiply(int a, int b) const {
    if (!binary)
      return static_cast<int>(static_cast<long long>(a) * b % q);
    int r = 0;
    for (; b != 0; b >>= 1) {
      if (b & 1)
        r ^= a;
      a <<= 1;
      if (a & q)
        a = (a ^ q ^ low) & (q - 1);
    }
    return r;
  }
  int Power(int a, long long e) const {
    int r = 1;
    for (; e > 0; e >>= 1) {
      if (e & 1)
        r = Multiply(r, a);
      a = Multiply(a, a);
    }
    return r;
  }
  // The multiplicative order of a, 0 when its powers never return to 1.
  int Order(int a) const {
    int x = a;
    for (int i = 1; i < q; ++i) {
      if (x == 1)
        return i;
      x = Multiply(x, a);
    }
    return 0;
  }
};

// Whether the tables describe a genuine field: the powers of the generator
// reach every non-zero element once.
bool TablesConsistent(const GaloisField &f) {
  const int q = f.Size();
  if (q == 2)
    return true;
  std::vector<bool> seen(static_cast<std::size_t>(q), false);
  for (int i = 0; i <= q - 2; ++i) {
    const int x = f.ExpTable()[i];
    if (x <= 0 || x >= q || seen[static_cast<std::size_t>(x)])
      return false;
    seen[static_cast<std::size_t>(x)] = true;
  }
  return true;
}

struct FieldState {
  int size, modulus, generator;
  std::vector<std::int16_t> logs, exps;
  explicit FieldState(const GaloisField &f)
      : size(f.Size()), modulus(f.Modulus()), generator(f.Generator()),
        logs(f.LogTable(), f.LogTable() + GaloisField::kMaxSize),
        exps(f.ExpTable(), f.ExpTable() + GaloisField::kMaxSize) {}
  bool operator==(const FieldState &) const = default;
};

// Initialises `f` with `a` and checks the outcome; returns whether it took.
bool CheckedInit(GaloisField &f, const FieldArgs &a) {
  const FieldState before(f);
  const int q = a.size;
  const bool inRange = q >= 2 && q <= GaloisField::kMaxSize;
  const bool binary = inRange && IsPowerOfTwo(q) && q > 2;
  const bool valid =
      inRange && !(binary && a.modulus == 0) && (q == 2 || (a.generator >= 0 && a.generator < q));
  const bool ok = f.Init(a.size, a.modulus, a.generator);
  ZUB_CHECK(ok == valid);
  if (!ok) {
    ZUB_CHECK(FieldState(f) == before);
    return false;
  }
  ZUB_CHECK(f.Size() == q);
  ZUB_CHECK(f.IsBinary() == binary);
  ZUB_CHECK(f.Modulus() == (q == 2 ? 2 : binary ? a.modulus : q));
  ZUB_CHECK(f.Generator() == (q == 2 ? 1 : a.generator != 0 ? a.generator : f.FindGenerator()));
  // Every table entry of the field is an element or a logarithm, so that
  // no arithmetic on elements can index outside the tables.
  for (int x = 0; x < q; ++x) {
    ZUB_CHECK(f.ExpTable()[x] >= 0 && f.ExpTable()[x] < q);
    ZUB_CHECK(f.LogTable()[x] >= 0 && f.LogTable()[x] <= std::max(q - 2, 0));
  }
  const bool consistent = TablesConsistent(f);
  if (consistent) {
    ZUB_CHECK(f.ExpTable()[0] == 1 && f.ExpTable()[q - 1] == 1);
    ZUB_CHECK(f.Log(0) == 0 && f.Log(1) == 0);
  }

  // The automatic generator is the smallest primitive element, wherever
  // there is one; a prime size always has one.
  const Reference ref(f);
  if (q > 2 && a.generator == 0) {
    if (q <= 512) {
      int smallest = 0;
      for (int g = 2; g < q && smallest == 0; ++g)
        if (ref.Order(g) == q - 1)
          smallest = g;
      if (smallest != 0) {
        ZUB_CHECK(f.Generator() == smallest);
        ZUB_CHECK(consistent);
      }
    } else if (!binary && IsPrime(q)) {
      ZUB_CHECK(consistent);
    }
  }
  return true;
}

void CheckArithmetic(const GaloisField &f, FuzzInput &in, int operations) {
  const int q = f.Size();
  const Reference ref(f);
  const bool consistent = TablesConsistent(f);
  const bool prime = !ref.binary && q > 2; // (taken as) a prime field
  const auto element = [q](int x) { return x >= 0 && x < q; };
  for (int k = 0; k < operations; ++k) {
    const int a = in.Below(q);
    const int b = in.Below(q);
    const int i = in.Int();
    const int small = static_cast<std::int16_t>(in.Below(1 << 16));

    // Always: results are elements, and the operations that are defined
    // without tables follow their definitions.
    const int results[] = {f.Add(a, b),
                           f.Subtract(a, b),
                           f.Negate(a),
                           f.Multiply(a, b),
                           f.MultiplyDirect(a, b),
                           f.Inverse(a),
                           f.InverseEuclid(a),
                           f.Divide(a, b),
                           f.DivideEuclid(a, b),
                           f.Exp(i),
                           f.Exp(small)};
    for (int r : results)
      ZUB_CHECK(element(r));
    ZUB_CHECK(f.Log(a) >= 0 && f.Log(a) <= std::max(q - 2, 0));
    ZUB_CHECK(f.Add(a, b) == ref.Add(a, b));
    ZUB_CHECK(f.Add(f.Subtract(a, b), b) == a);
    ZUB_CHECK(f.Add(a, f.Negate(a)) == 0);
    ZUB_CHECK(f.MultiplyDirect(a, b) == ref.Multiply(a, b));
    ZUB_CHECK(f.Multiply(0, b) == 0 && f.Multiply(a, 0) == 0);
    ZUB_CHECK(f.Inverse(0) == 0 && f.InverseEuclid(0) == 0);
    ZUB_CHECK(f.Divide(a, 0) == 0 && f.Divide(0, b) == 0);
    ZUB_CHECK(f.DivideEuclid(a, 0) == 0 && f.DivideEuclid(0, b) == 0);
    if (ref.binary && q > 2 && a != 0) {
      ZUB_CHECK(f.InverseEuclid(a) == 0);
      ZUB_CHECK(b == 0 || f.DivideEuclid(a, b) == 0);
    }
    if (!consistent)
      continue;

    // A genuine field: the laws hold and the tables agree with them.
    ZUB_CHECK(f.Multiply(a, b) == ref.Multiply(a, b));
    if (a != 0) {
      ZUB_CHECK(f.Multiply(a, f.Inverse(a)) == 1);
      ZUB_CHECK(f.Exp(f.Log(a)) == a);
    }
    if (b != 0)
      ZUB_CHECK(f.Multiply(f.Divide(a, b), b) == a);
    if (prime) {
      ZUB_CHECK(f.InverseEuclid(a) == f.Inverse(a));
      ZUB_CHECK(f.DivideEuclid(a, b) == f.Divide(a, b));
    }
    if (q == 2 && a != 0)
      ZUB_CHECK(f.InverseEuclid(a) == 1 && (b == 0 || f.DivideEuclid(a, b) == 1));
    ZUB_CHECK(f.Exp(i) == ref.Power(f.Generator(), (i % (q - 1) + (q - 1)) % (q - 1)));
    ZUB_CHECK(f.Multiply(f.Exp(small), f.Exp(a)) == f.Exp(small + a));
  }
}

void FuzzField(FuzzInput &in) {
  // One object through several fields, as a caller switching fields would:
  // nothing of an earlier field may leak into a later one.
  auto f = std::make_unique<GaloisField>();
  const int steps = 1 + in.Byte() % 4;
  for (int s = 0; s < steps; ++s) {
    const FieldArgs args = DrawField(in);
    const int operations = in.Byte() % 32;
    CheckedInit(*f, args);
    if (f->Size() >= 2)
      CheckArithmetic(*f, in, operations);
  }
}

// ----------------------------------------------------------------- coder

struct CoderShape {
  const GaloisField *field;
  int dataLength, eccLength, generator, firstRoot;
  explicit CoderShape(const ReedSolomonCoder &c)
      : field(c.Field()), dataLength(c.DataLength()), eccLength(c.EccLength()),
        generator(c.Generator()), firstRoot(c.FirstRoot()) {}
  bool operator==(const CoderShape &) const = default;
};

// Evaluates the block polynomial at x with the reference arithmetic.
int Evaluate(const Reference &ref, const std::vector<std::int32_t> &block, int x) {
  int r = 0;
  for (std::size_t i = block.size(); i-- > 0;)
    r = ref.Add(ref.Multiply(r, x), block[i]);
  return r;
}

void CheckEncode(ReedSolomonCoder &coder, FuzzInput &in) {
  const GaloisField &f = *coder.Field();
  const int q = f.Size();
  const int k = coder.DataLength();
  const int ecc = coder.EccLength();
  const auto element = [&] { return q <= 256 ? in.Byte() % q : in.Below(q); };

  // A block of exactly ecc + k symbols: data high, checks low.
  std::vector<std::int32_t> block(static_cast<std::size_t>(ecc + k));
  for (int i = ecc; i < ecc + k; ++i)
    block[static_cast<std::size_t>(i)] = element();
  const std::vector<std::int32_t> data(block.begin() + ecc, block.end());
  coder.Encode(block.data());
  ZUB_CHECK(std::equal(data.begin(), data.end(), block.begin() + ecc));
  for (int j = 0; j < ecc; ++j)
    ZUB_CHECK(block[static_cast<std::size_t>(j)] >= 0 && block[static_cast<std::size_t>(j)] < q);
  if (!TablesConsistent(f))
    return; // the arithmetic is not a field's: only survival and range

  // Divisible by g(x): zero at every root alpha^(c+i). Long blocks with
  // many roots are checked at the first and last eight.
  const Reference ref(f);
  const int alpha = coder.Generator();
  const long long c = coder.FirstRoot();
  const bool everyRoot = static_cast<long long>(ecc) * (ecc + k) <= 65536;
  for (int i = 0; i < ecc; ++i) {
    if (!everyRoot && i >= 8 && i < ecc - 8)
      continue;
    ZUB_CHECK(Evaluate(ref, block, ref.Power(alpha, (c + i) % (q - 1))) == 0);
  }

  // The byte path, for fields of byte-sized symbols, gives what the general
  // path gives for leading zeros, and zeros for a count out of range.
  if (q > 256)
    return;
  const std::uint8_t countChoice = in.Byte();
  int count = countChoice & 1 ? k : in.Below(k + 1);
  if (countChoice % 16 == 2)
    count = countChoice & 0x80 ? -1 - in.Byte() : k + 1 + in.Byte();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max(count, 0)));
  for (auto &b : bytes)
    b = static_cast<std::uint8_t>(element());
  std::vector<std::uint8_t> check(static_cast<std::size_t>(ecc), 0xA5);
  coder.EncodeBytes(bytes.data(), count, check.data());
  std::vector<std::int32_t> general(static_cast<std::size_t>(ecc + k), 0);
  if (count <= k)
    for (int i = 0; i < count; ++i)
      general[static_cast<std::size_t>(ecc + count - 1 - i)] = bytes[static_cast<std::size_t>(i)];
  coder.Encode(general.data());
  for (int j = 0; j < ecc; ++j)
    ZUB_CHECK(check[static_cast<std::size_t>(j)] == general[static_cast<std::size_t>(ecc - 1 - j)]);
}

void FuzzCoder(FuzzInput &in) {
  GaloisField qrField;
  ZUB_CHECK(qrField.Init(256, zub::kQrFieldPolynomial, 2));
  auto other = std::make_unique<GaloisField>();
  if (!other->Init(16, 19, 0))
    ZUB_CHECK(false);
  ReedSolomonCoder coder;
  bool everInitialised = false;

  const int steps = 1 + in.Byte() % 4;
  for (int s = 0; s < steps; ++s) {
    // The field for this Init: none (the stored one), the QR field, or
    // another one, possibly switched to new arguments first.
    const GaloisField *field = nullptr;
    switch (in.Byte() % 5) {
    case 0:
      break;
    case 1:
    case 2:
      field = &qrField;
      break;
    case 4: {
      FieldArgs args = DrawField(in);
      // Keep to fields the coder can compute in.
      if (!other->Init(args.size, args.modulus, args.generator))
        (void)other->Init(929, 0, 3);
    }
      [[fallthrough]];
    default:
      field = other.get();
      break;
    }
    const GaloisField *effective = field ? field : coder.Field();
    const int k = in.Choice(-2, 70);
    const int ecc = in.Choice(-2, 70);
    const int firstRoot = in.Choice(-1, 12);
    // Root base: 0 (the stored generator, else the field's, which after a
    // change of field may lie outside it), 2, an element, or anything.
    int alpha = 0;
    switch (in.Byte() % 4) {
    case 0:
      break;
    case 1:
      alpha = 2;
      break;
    case 2:
      alpha = effective ? 1 + in.Below(effective->Size() - 1) : 1;
      break;
    default:
      alpha = in.Int();
      break;
    }

    const CoderShape before(coder);
    const bool shapeValid = k > 0 && ecc > 0 && firstRoot >= 0 &&
                            static_cast<long long>(k) + ecc <= ReedSolomonCoder::kMaxLength;
    const int alphaUsed = alpha != 0
                              ? alpha
                              : (coder.Generator() != 0 ? coder.Generator()
                                                        : (effective ? effective->Generator() : 0));
    const bool valid = shapeValid && effective && alphaUsed > 0 && alphaUsed < effective->Size();
    const bool ok = coder.Init(k, ecc, field, alpha, firstRoot);
    ZUB_CHECK(ok == valid);
    if (!ok) {
      // Only the field may have been taken over.
      CoderShape expected = before;
      if (shapeValid && field)
        expected.field = field;
      ZUB_CHECK(CoderShape(coder) == expected);
      if (!everInitialised) {
        std::int32_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        coder.Encode(block);
        for (int j = 0; j < 8; ++j)
          ZUB_CHECK(block[j] == j + 1);
      }
      continue;
    }
    everInitialised = true;
    ZUB_CHECK(coder.Field() == effective);
    ZUB_CHECK(coder.DataLength() == k && coder.EccLength() == ecc);
    ZUB_CHECK(coder.Generator() == alphaUsed && coder.FirstRoot() == firstRoot);
    ZUB_CHECK(coder.GenCoef(ecc) == 1);
    for (int i = 0; i < ReedSolomonCoder::kMaxLength; ++i) {
      if (i > ecc)
        ZUB_CHECK(coder.GenCoef(i) == 0);
      else
        ZUB_CHECK(coder.GenCoef(i) >= 0 && coder.GenCoef(i) < effective->Size());
    }
    const int blocks = 1 + in.Byte() % 3;
    for (int b = 0; b < blocks; ++b)
      CheckEncode(coder, in);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzInput in(data, size);
  switch (in.Byte() % 3) {
  case 0:
    FuzzStream(in);
    break;
  case 1:
    FuzzField(in);
    break;
  default:
    FuzzCoder(in);
    break;
  }
  return 0;
}
