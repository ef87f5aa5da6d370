#pragma once

#include <atomic>
#include <cstdint>

namespace zub {

class QrEncoder;

// How many symbols the encoders of this process have been asked to build,
// MakeSymbol and MakeMatrix alike, whether the message fitted or not. Tests
// and benchmarks read it to see that no road encodes a message twice.
class EncodeCount {
public:
  static std::uint64_t Total() { return count_.load(std::memory_order_relaxed); }

private:
  friend class QrEncoder;
  static void Add() { count_.fetch_add(1, std::memory_order_relaxed); }
  static inline std::atomic<std::uint64_t> count_{0};
};

} // namespace zub
