#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/ServerConsole.h"

namespace {

using kov::ConsoleResult;
using kov::ConsoleStatus;

TEST(CommandRefusal, ControlCharactersAreRefusedEverythingElsePasses) {
  struct Case {
    std::string command;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"A", false},
      {"ACCOUNT bob DELETE", false},
      {"", false},
      {"ACCOUNT \"bob smith\" DELETE;", false},
      {"-A", false},
      {"$(reboot) `id` #{pane_id} ^M ^[ \\n \\", false},
      {"ACCOUNT J\xE9r\xF4me DELETE", false},  // Windows-1252 letters above 127
      {"\x80\x9F\xFF", false},
      {"A\nACCOUNT admin DELETE", true},
      {"A\r", true},
      {"A\tB", true},
      {std::string("A\0B", 3), true},
      {"\x1b[2J", true},
      {"A\x7f", true},
      {"\x15"
       "A",
       true},
      {std::string(kov::kMaxConsoleCommandLength, 'x'), false},
      {std::string(kov::kMaxConsoleCommandLength + 1, 'x'), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kov::CommandRefusal(c.command).has_value(), c.refused) << c.command;
  }
}

TEST(ConsoleResult, MessageTextsAreTheFixedEnglishTexts) {
  EXPECT_EQ(ConsoleResult::Make(ConsoleStatus::HandleNotFound).MessageText(), "Handle not found!");
  EXPECT_EQ(ConsoleResult::Make(ConsoleStatus::EditFieldNotFound, "tmux failed").MessageText(),
            "Edit field handle not found!");
  EXPECT_EQ(ConsoleResult::Make(ConsoleStatus::Refused, "why").MessageText(), "why");
  EXPECT_EQ(ConsoleResult::Make(ConsoleStatus::Delivered, "pipe").MessageText(), "");
  EXPECT_TRUE(ConsoleResult::Make(ConsoleStatus::Delivered).Delivered());
  EXPECT_FALSE(ConsoleResult::Make(ConsoleStatus::Refused).Delivered());
}

TEST(PathEqualsIgnoringCase, ComparesLettersWithoutCaseAndNothingElse) {
  EXPECT_TRUE(kov::PathEqualsIgnoringCase("/srv/Vornex/Server", "/SRV/vornex/server"));
  EXPECT_FALSE(kov::PathEqualsIgnoringCase("/srv/vornex/server", "/srv/vornex/server/"));
  EXPECT_FALSE(kov::PathEqualsIgnoringCase("/srv/vornex/server", " /srv/vornex/server"));
  EXPECT_FALSE(kov::PathEqualsIgnoringCase("server", "/srv/server"));
  EXPECT_TRUE(kov::PathEqualsIgnoringCase("", ""));
}

class RecordingConsole : public kov::IServerConsole {
 public:
  bool IsServerRunning(const std::string& path) override {
    calls.push_back("running " + path);
    return true;
  }
  ConsoleResult SendConsoleCommand(const std::string& command, const std::string& path) override {
    calls.push_back("send " + command + " to " + path);
    return ConsoleResult::Make(ConsoleStatus::Delivered);
  }
  std::vector<std::string> calls;
};

TEST(ServerConsoleSeam, ScopedConsoleReceivesTheCallsAndIsRemovedAfterwards) {
  RecordingConsole outer, inner;
  {
    kov::ScopedServerConsole useOuter(outer);
    EXPECT_TRUE(kov::IsServerRunning("/srv/server"));
    {
      kov::ScopedServerConsole useInner(inner);
      EXPECT_TRUE(kov::SendConsoleCommand("A", "/srv/server").Delivered());
    }
    EXPECT_EQ(&kov::CurrentServerConsole(), &outer);
  }
  EXPECT_EQ(&kov::CurrentServerConsole(), &kov::PlatformServerConsole());
  EXPECT_EQ(outer.calls, std::vector<std::string>{"running /srv/server"});
  EXPECT_EQ(inner.calls, std::vector<std::string>{"send A to /srv/server"});
}

TEST(ServerConsole, EmptySettingFindsNothing) {
  EXPECT_EQ(kov::FindServerConsoleWindow(""), 0u);
  EXPECT_FALSE(kov::PlatformServerConsole().IsServerRunning(""));
  EXPECT_EQ(kov::PlatformServerConsole().SendConsoleCommand("A", "").status,
            ConsoleStatus::HandleNotFound);
}

TEST(ServerConsole, RefusalComesBeforeAnyLookup) {
  auto result = kov::PlatformServerConsole().SendConsoleCommand("A\nB", "");
  EXPECT_EQ(result.status, ConsoleStatus::Refused);
  EXPECT_FALSE(result.reason.empty());
}

}  // namespace
