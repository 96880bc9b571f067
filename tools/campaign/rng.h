// The campaign's source of chance: one generator per machine, seeded with the
// machine's seed, so that a seed replays its machine exactly. The draws are
// made with plain modular arithmetic on a fixed generator, not with the
// standard distributions, whose results the standard leaves to the library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>
#include <vector>

namespace orvane::campaign {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : engine_(seed) {}

  // A number in [0, bound); 0 when bound is 0.
  std::uint64_t Below(std::uint64_t bound) { return bound == 0 ? 0 : engine_() % bound; }
  // True with probability percent/100.
  bool Percent(unsigned percent) { return Below(100) < percent; }

  template <typename T>
  const T& Pick(std::span<const T> items) {
    return items[Below(items.size())];
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }
  template <typename T>
  T Pick(std::initializer_list<T> items) {
    return items.begin()[Below(items.size())];
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace orvane::campaign
