// kovctl huffman: the backup files' Huffman coder on any file.
#include <cstdio>
#include <string>

#include "Command.h"
#include "backup/Huffman_Work.h"

namespace {

constexpr const char* kUsage = "huffman encode|decode IN OUT";

int Huffman(const kovctl::Args& args) {
  if (args.size() != 3 || (args[0] != "encode" && args[0] != "decode")) {
    std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
    return 2;
  }
  if (args[0] == "encode") {
    const kov::HuffmanFileResult r = kov::HuffmanCompressFile(args[1], args[2]);
    if (!r.ok) {
      std::fprintf(stderr, "kovctl huffman: %s\n", r.error.c_str());
      return 1;
    }
    return 0;
  }
  const kov::HuffmanFileResult r = kov::HuffmanDecompressFile(args[1], args[2]);
  if (!r.ok) {
    std::fprintf(stderr, "kovctl huffman: %s\n", r.error.c_str());
    return 1;
  }
  if (!r.headerComplete) {
    std::fprintf(stderr, "kovctl huffman: %s is too short to hold a Huffman stream\n",
                 args[1].c_str());
    return 1;
  }
  if (!r.complete) {
    std::fprintf(stderr, "kovctl huffman: %s is cut short: %lld of %lld bytes recovered\n",
                 args[1].c_str(), static_cast<long long>(r.symbolsOut),
                 static_cast<long long>(r.symbols > 0 ? r.symbols : 0));
    return 1;
  }
  return 0;
}

kovctl::Register reg("huffman", kUsage, Huffman);

}  // namespace
