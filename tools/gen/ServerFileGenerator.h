#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kovgen {

// Deterministic pseudo-random numbers: the same seed gives the same files on every platform
// (the standard distributions are not portable, so none is used).
class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next();
  // 0 <= result < bound (bound > 0).
  std::uint32_t Below(std::uint32_t bound);
  // lo <= result <= hi.
  int Between(int lo, int hi);
  // True with the given chance in percent (may be fractional).
  bool Chance(double percent);
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<std::uint32_t>(N))];
  }

 private:
  std::uint64_t m_state;
};

struct GeneratorOptions {
  std::uint64_t seed = 1;
  std::uint32_t accounts = 0;
  std::uint32_t updates = 0;
  bool chars = false;
  double charsSizeMb = 0;  // 0: only the characters, no filler
  std::string outDir;
  std::string saveDir;  // empty: OUTDIR/../save
};

struct GeneratorReport {
  bool ok = false;
  std::string error;
  std::vector<std::string> files;  // "path (bytes)" lines
  std::uint64_t characters = 0;
};

// Writes VornexAccu.scp (and optionally VornexAcct.scp and vornexchars.scp) the way the server
// and the account manager lay them out: Windows-1252 bytes, CR LF line ends.
GeneratorReport GenerateServerFiles(const GeneratorOptions& options);

}  // namespace kovgen
