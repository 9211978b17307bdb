// kov-gen: writes realistic server files (accounts, pending updates, character save) for
// tests, benchmarks and demos. The same arguments always give the same bytes.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/gen/ServerFileGenerator.h"

namespace {

const char* const kUsage =
    "usage: kov-gen --accounts N [--seed S] [--updates M] [--chars] [--chars-size-mb X] [--saves "
    "DIR] OUTDIR\n"
    "  writes OUTDIR/VornexAccu.scp with N accounts;\n"
    "  --updates M      also OUTDIR/VornexAcct.scp with M update sections (half changed, half new "
    "accounts)\n"
    "  --chars          also the character save vornexchars.scp in OUTDIR/../save (or --saves "
    "DIR)\n"
    "  --chars-size-mb  pad the character save with world items to about X MB (implies --chars)\n";

bool ParseUnsigned(const char* text, unsigned long long max, unsigned long long& value) {
  if (!text || !*text || *text == '-' || *text == '+') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' && value <= max;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "kov-gen: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kovgen::GeneratorOptions options;
  bool haveAccounts = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    unsigned long long v = 0;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--accounts") {
      if (!ParseUnsigned(next, 50000000ull, v))
        return Fail("--accounts needs a number of accounts");
      options.accounts = static_cast<std::uint32_t>(v);
      haveAccounts = true;
      ++i;
    } else if (arg == "--seed") {
      if (!ParseUnsigned(next, ~0ull, v)) return Fail("--seed needs a non-negative number");
      options.seed = v;
      ++i;
    } else if (arg == "--updates") {
      if (!ParseUnsigned(next, 50000000ull, v)) return Fail("--updates needs a number of sections");
      options.updates = static_cast<std::uint32_t>(v);
      ++i;
    } else if (arg == "--chars") {
      options.chars = true;
    } else if (arg == "--chars-size-mb") {
      char* end = nullptr;
      const double mb = next ? std::strtod(next, &end) : -1;
      if (!next || *end != '\0' || !(mb >= 0) || mb > 100000)
        return Fail("--chars-size-mb needs a size in megabytes");
      options.charsSizeMb = mb;
      options.chars = true;
      ++i;
    } else if (arg == "--saves") {
      if (!next || !*next) return Fail("--saves needs a folder");
      options.saveDir = next;
      options.chars = true;
      ++i;
    } else if (!arg.empty() && arg[0] == '-') {
      return Fail("unknown option " + arg);
    } else if (options.outDir.empty()) {
      options.outDir = arg;
    } else {
      return Fail("only one OUTDIR may be given");
    }
  }
  if (!haveAccounts) return Fail("--accounts is required");
  if (options.outDir.empty()) return Fail("OUTDIR is required");

  const kovgen::GeneratorReport report = kovgen::GenerateServerFiles(options);
  if (!report.ok) {
    std::fprintf(stderr, "kov-gen: %s\n", report.error.c_str());
    return 1;
  }
  for (const std::string& line : report.files) std::printf("%s\n", line.c_str());
  return 0;
}
