#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <thread>

#include "StoreTestUtil.h"
#include "store/ReadAcc.h"

namespace kov {
namespace {

using test::TempDir;

ReadOptions Today() {
  ReadOptions o;
  o.now = *Clock::FromIso("2026-12-09");
  return o;
}

// Every field of every row, and how the read ended.
std::string Dump(const AccountTable& t, const ReadResult& r) {
  std::string out = "status " + std::to_string(static_cast<int>(r.status)) + " line " +
                    std::to_string(r.lineNumber) + " text " + r.text + "\n";
  for (RowId row : t.Order()) {
    for (int f = 0; f < kFieldCount; ++f) out += t.DisplayText(row, static_cast<Field>(f)) + "|";
    out += "\n";
  }
  return out;
}

// Lines split across reads: each line end style, a CR LF cut between its two bytes, a NUL,
// a conversion error and a last line without an end must read as in one piece.
TEST(ChunkedRead, AnyChunkSizeGivesTheSameTable) {
  const std::string files[] = {
      "[alpha]\r\nPLEVEL=4\r\nPRIV=1a\r\nPASSWORD=secret\r\nCHARUID=0x1\r\nCHARUID=0x2\r\n"
      "LASTCONNECTDATE=2026-12-01 10:00\r\nBLOCK=1\r\n\r\n[beta]\r\nTAG.EMAIL=b@c.d\r\n",
      "[a]\nEMAIL=x\n[b]\nJAIL=2\n[EOF]\n[c]\nLANG=DEU",
      "[a]\rCHATNAME=Bob\r[b]\rFIRSTIP=1.2.3.4\r",
      std::string("[a]\nLASTIP=9.9.9.9\n[b]\n\0[c]\n", 28),
      "[a]\nCHATNAME=x\n[b]\nBLOCK=yes\n[c]\n",
      "PASSWORD=before any section\n[a]\r\n\r\n\r\n[b]",
  };
  TempDir dir;
  for (const std::string& file : files) {
    dir.Write("a.scp", file);
    AccountTable whole;
    const std::string expected =
        Dump(whole, detail::ReadAccountFileChunked(whole, dir.File("a.scp"), Today(), 1 << 20));
    for (size_t chunk : {1, 2, 3, 5, 8, 13}) {
      AccountTable t;
      const ReadResult r = detail::ReadAccountFileChunked(t, dir.File("a.scp"), Today(), chunk);
      EXPECT_EQ(Dump(t, r), expected) << "chunk " << chunk << " of\n" << file;
    }
  }
}

#ifndef _WIN32
// A file still being written while it is read (here a pipe that delivers more than a file
// of its size could hold) fails rather than being cut off without a word.
TEST(ChunkedRead, FileThatOutgrowsTheBufferFails) {
  TempDir dir;
  const std::string path = dir.File("fifo");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::signal(SIGPIPE, SIG_IGN);  // the reader hangs up before the writer is done
  std::thread writer([&] {
    std::string text;
    while (text.size() < (256u << 10)) text += "[account]\nCHATNAME=somebody\n";
    dir.Write("fifo", text);
  });
  AccountTable t;
  const ReadResult r = detail::ReadAccountFileChunked(t, path, Today(), 4096);
  writer.join();
  EXPECT_EQ(r.status, ReadResult::Status::ReadError);
  EXPECT_FALSE(r.message.empty());
}
#endif

}  // namespace
}  // namespace kov
