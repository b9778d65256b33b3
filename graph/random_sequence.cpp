#include "graph/random_sequence.h"

void RandomSequence::Seed(uint32_t seed) {
  if (seed == 0) seed = 1;
  // Park and Miller's minimal standard generator (16807 x modulo 2^31 - 1)
  // fills the words, as the C library does.
  // The seed taken as a signed 32-bit word, as the C library takes it; no
  // step below overflows.
  int32_t word = static_cast<int32_t>(seed);
  words_[0] = seed;
  for (int i = 1; i < kWords; ++i) {
    const int32_t hi = word / 127773;
    const int32_t lo = word % 127773;
    word = 16807 * lo - 2836 * hi;
    if (word < 0) word += 2147483647;
    words_[i] = static_cast<uint32_t>(word);
  }
  front_ = 3;
  rear_ = 0;
  // The first 310 numbers are thrown away.
  for (int i = 0; i < 10 * kWords; ++i) Next();
}

RandomSequence& GraphRandom() {
  static auto* sequence = new RandomSequence;
  return *sequence;
}
