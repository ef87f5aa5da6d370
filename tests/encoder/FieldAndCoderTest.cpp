#include "GaloisField.h"
#include "ReedSolomonCoder.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using zub::GaloisField;
using zub::ReedSolomonCoder;

namespace {

GaloisField QrField() {
  GaloisField f;
  EXPECT_TRUE(f.Init(256, zub::kQrFieldPolynomial, 2));
  return f;
}

std::vector<int> ExpPrefix(const GaloisField &f, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i)
    v.push_back(f.ExpTable()[i]);
  return v;
}

} // namespace

TEST(FiniteField, QrFieldTables) {
  const GaloisField f = QrField();
  EXPECT_EQ(ExpPrefix(f, 10), (std::vector<int>{1, 2, 4, 8, 16, 32, 64, 128, 29, 58}));
  EXPECT_EQ(f.ExpTable()[254], 142);
  EXPECT_EQ(f.ExpTable()[255], 1);
  EXPECT_EQ(f.Log(29), 8);
  EXPECT_EQ(f.Log(142), 254);
  EXPECT_EQ(f.Log(0), 0);
  EXPECT_EQ(f.Log(1), 0);
  EXPECT_EQ(f.Exp(-1), 142);
  EXPECT_EQ(f.Exp(255), 1);
  EXPECT_EQ(f.FindGenerator(), 2);
}

TEST(FiniteField, ArithmeticAgreesWithDirectMultiplication) {
  const GaloisField f = QrField();
  for (int a = 0; a < 256; ++a) {
    ASSERT_EQ(f.Negate(a), a);
    for (int b = 0; b < 256; ++b) {
      ASSERT_EQ(f.Multiply(a, b), f.MultiplyDirect(a, b)) << a << " * " << b;
      ASSERT_EQ(f.Add(a, b), a ^ b);
      ASSERT_EQ(f.Subtract(a, b), a ^ b);
      if (a != 0 && b != 0) {
        ASSERT_EQ(f.Multiply(f.Divide(a, b), b), a);
      }
    }
    if (a != 0) {
      ASSERT_EQ(f.Multiply(a, f.Inverse(a)), 1);
    }
  }
  EXPECT_EQ(f.Divide(7, 0), 0);
  EXPECT_EQ(f.Inverse(0), 0);
  EXPECT_EQ(f.InverseEuclid(3), 0) << "no Euclidean inverse in a binary field";
}

TEST(FiniteField, InitRejectsBadShapesAndKeepsState) {
  GaloisField f = QrField();
  EXPECT_FALSE(f.Init(1, 0, 0));
  EXPECT_FALSE(f.Init(16385, 0, 0));
  EXPECT_FALSE(f.Init(256, 0, 2));
  EXPECT_EQ(f.Size(), 256);
  EXPECT_EQ(f.Modulus(), 285);

  EXPECT_TRUE(f.Init(2, 99, 99));
  EXPECT_EQ(f.Generator(), 1);
  EXPECT_EQ(f.Multiply(1, 1), 1);
}

TEST(FiniteField, PrimeAndSmallBinaryFields) {
  GaloisField f;
  ASSERT_TRUE(f.Init(7, 0, 0));
  EXPECT_EQ(f.Modulus(), 7);
  EXPECT_EQ(f.Generator(), 3) << "2 has order 3 in GF(7)";
  EXPECT_EQ(ExpPrefix(f, 7), (std::vector<int>{1, 3, 2, 6, 4, 5, 1}));
  EXPECT_EQ(f.InverseEuclid(3), 5);
  EXPECT_EQ(f.Inverse(3), 5);
  EXPECT_EQ(f.DivideEuclid(4, 3), 6);
  EXPECT_EQ(f.Add(5, 4), 2);
  EXPECT_EQ(f.Subtract(2, 5), 4);
  EXPECT_EQ(f.Negate(2), 5);
  for (int a = 1; a < 7; ++a)
    EXPECT_EQ(f.Multiply(a, f.InverseEuclid(a)), 1);

  ASSERT_TRUE(f.Init(16, 19, 0));
  EXPECT_EQ(f.Generator(), 2);
  EXPECT_EQ(ExpPrefix(f, 16),
            (std::vector<int>{1, 2, 4, 8, 3, 6, 12, 11, 5, 10, 7, 14, 15, 13, 9, 1}));

  ASSERT_TRUE(f.Init(16384, 0x402B, 0)); // x^14 + x^5 + x^3 + x + 1
  EXPECT_EQ(f.Multiply(f.Exp(100), f.Exp(16382)), f.Exp(99));
}

TEST(ReedSolomon, GeneratorPolynomialForSevenCodewords) {
  const GaloisField f = QrField();
  ReedSolomonCoder rs;
  ASSERT_TRUE(rs.Init(19, 7, &f, 0, 0));
  const int powers[] = {21, 102, 238, 149, 146, 229, 87};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(rs.GenCoef(i), f.Exp(powers[i])) << "coefficient of x^" << i;
  EXPECT_EQ(rs.GenCoef(7), 1);
  EXPECT_EQ(rs.GenCoef(8), 0);
}

TEST(ReedSolomon, CheckBytesOfVersion1M) {
  const GaloisField f = QrField();
  ReedSolomonCoder rs;
  const int data[16] = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11,
                        0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
  const int expected[10] = {0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55};
  ASSERT_TRUE(rs.Init(16, 10, &f, 0, 0));
  std::int32_t block[26] = {};
  for (int i = 0; i < 16; ++i)
    block[10 + 15 - i] = data[i];
  rs.Encode(block);
  for (int j = 0; j < 10; ++j)
    EXPECT_EQ(block[9 - j], expected[j]) << "check byte " << j;
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(block[10 + 15 - i], data[i]) << "data must stay";

  // A zero in the top coefficient leaves the check bytes of the shorter block.
  std::int32_t shorter[27] = {};
  for (int i = 0; i < 26; ++i)
    shorter[i] = block[i];
  ASSERT_TRUE(rs.Init(17, 10, &f, 0, 0));
  rs.Encode(shorter);
  for (int j = 0; j < 10; ++j)
    EXPECT_EQ(shorter[j], block[j]);
}

TEST(ReedSolomon, SingleCheckSymbolIsTheXorOfTheData) {
  const GaloisField f = QrField();
  ReedSolomonCoder rs;
  ASSERT_TRUE(rs.Init(5, 1, &f, 0, 0));
  std::int32_t block[6] = {0, 0x12, 0x34, 0x56, 0x78, 0x9A};
  rs.Encode(block);
  EXPECT_EQ(block[0], 0x12 ^ 0x34 ^ 0x56 ^ 0x78 ^ 0x9A);
}

TEST(ReedSolomon, PrimeFieldCodewordIsDivisibleByTheGenerator) {
  GaloisField f;
  ASSERT_TRUE(f.Init(929, 0, 3));
  ReedSolomonCoder rs;
  ASSERT_TRUE(rs.Init(6, 4, &f, 0, 1));
  std::int32_t block[10] = {0, 0, 0, 0, 5, 900, 17, 0, 428, 1};
  rs.Encode(block);
  // Every root alpha^1 .. alpha^4 of g(x) must be a root of the codeword.
  for (int root = 1; root <= 4; ++root) {
    const int x = f.Exp(root);
    int value = 0;
    for (int i = 9; i >= 0; --i)
      value = f.Add(f.Multiply(value, x), block[i]);
    EXPECT_EQ(value, 0) << "root " << root;
  }
}

TEST(ReedSolomon, InitRejectsBadShapes) {
  const GaloisField f = QrField();
  ReedSolomonCoder rs;
  EXPECT_FALSE(rs.Init(10, 5, nullptr, 0, 0)) << "no field yet";
  EXPECT_TRUE(rs.Init(1000, 24, &f, 0, 0));
  EXPECT_FALSE(rs.Init(1001, 24, &f, 0, 0));
  EXPECT_FALSE(rs.Init(0, 5, &f, 0, 0));
  EXPECT_FALSE(rs.Init(5, 0, &f, 0, 0));
  EXPECT_FALSE(rs.Init(5, 5, &f, 0, -1));
  EXPECT_EQ(rs.DataLength(), 1000);
  EXPECT_EQ(rs.EccLength(), 24);

  ReedSolomonCoder fresh;
  std::int32_t block[4] = {1, 2, 3, 4};
  fresh.Encode(block);
  EXPECT_EQ(block[0], 1) << "Encode before Init changes nothing";
}

TEST(ReedSolomon, ByteCoderAgreesWithTheGeneralOne) {
  GaloisField qr = QrField();
  GaloisField prime;
  ASSERT_TRUE(prime.Init(251, 0, 0));
  std::mt19937 rng(7);
  struct Shape {
    GaloisField *field;
    int k, ecc;
  };
  const Shape shapes[] = {{&qr, 16, 10}, {&qr, 118, 30},  {&qr, 3, 1},
                          {&qr, 40, 68}, {&prime, 20, 6}, {&qr, 200, 32}};
  ReedSolomonCoder rs; // one coder for all shapes, as the encoder keeps one
  for (const Shape &s : shapes) {
    ASSERT_TRUE(rs.Init(s.k, s.ecc, s.field, 0, 0));
    for (int count : {s.k, s.k - 1}) {
      std::vector<std::uint8_t> data(static_cast<std::size_t>(count));
      for (auto &b : data)
        b = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(s.field->Size()));
      std::vector<std::int32_t> block(static_cast<std::size_t>(s.k + s.ecc), 0);
      for (int i = 0; i < count; ++i)
        block[static_cast<std::size_t>(s.ecc + count - 1 - i)] = data[static_cast<std::size_t>(i)];
      rs.Encode(block.data());
      std::vector<std::uint8_t> check(static_cast<std::size_t>(s.ecc));
      rs.EncodeBytes(data.data(), count, check.data());
      for (int j = 0; j < s.ecc; ++j)
        ASSERT_EQ(check[static_cast<std::size_t>(j)],
                  block[static_cast<std::size_t>(s.ecc - 1 - j)])
            << s.k << "+" << s.ecc << " count " << count << " symbol " << j;
    }
  }
}
