#pragma once

#include <cstdint>

// The C library's rand() sequence as an object of our own: glibc's additive
// feedback generator (31 words, r[i] = r[i-31] + r[i-3] modulo 2^32, each
// number the new word shifted right by one), seeded as srand() seeds it. An
// unseeded rand() behaves as after srand(1), and so does a new sequence.
// Drawing takes no lock and never touches the C library's own state.
class RandomSequence {
 public:
  explicit RandomSequence(uint32_t seed = 1) { Seed(seed); }

  // As srand(seed): seed 0 counts as 1.
  void Seed(uint32_t seed);

  // As rand(): the next number, 0 to 2^31 - 1.
  int Next() {
    const uint32_t value = words_[front_] += words_[rear_];
    front_ = front_ == kWords - 1 ? 0 : front_ + 1;
    rear_ = rear_ == kWords - 1 ? 0 : rear_ + 1;
    return static_cast<int>(value >> 1);
  }

 private:
  static constexpr int kWords = 31;
  uint32_t words_[kWords];
  int front_;
  int rear_;
};

// The one sequence that graph generation and the random graph walk draw from,
// in that order, as they would from an unseeded rand(). Created on first use.
// Not for use from two threads at once.
RandomSequence& GraphRandom();
