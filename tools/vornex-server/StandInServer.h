#pragma once

#include <string>
#include <vector>

#include "ServerAccounts.h"

// The stand-in game server: carries out console lines on the server's account files.
//   A                    take VornexAcct.scp over into VornexAccu.scp, then empty it
//   ACCOUNT name DELETE  delete that account
//   SAVE                 world save (takes the updates over too)
//   EXIT                 stop
//   BUSY ms              busy (a long world save): lines are read and logged at once but
//                        carried out only when the time is up
// Every received line is appended to console.log in the account folder first. A take-over
// delay (--takeover-delay) makes "A" and "SAVE" take the update file over that much later,
// as a loaded server does.
#include <chrono>
#include <deque>
class StandInServer {
 public:
  StandInServer(std::string accountDir, std::string saveDir);

  // Loads VornexAccu.scp and creates the account and update files when they are missing;
  // false (with messages) when the folders cannot be used.
  bool Start();
  // Receives one console line: logs it, then carries it out now or, while busy or for a
  // delayed take-over, when RunDue finds it due. The server's answer goes to Messages().
  void Execute(const std::string& line);
  void SetTakeOverDelay(std::chrono::milliseconds delay) { m_takeOverDelay = delay; }
  // Carries out the lines whose time has come; the time until the next one, or -1 ms.
  std::chrono::milliseconds RunDue();
  bool ExitRequested() const { return m_exit; }

  // Answers since the last call, each one line.
  std::vector<std::string> TakeMessages();

 private:
  using Clock = std::chrono::steady_clock;
  void CarryOut(const std::string& line);
  void TakeUpdatesOver();
  bool WriteAccounts();
  void Log(const std::string& line);
  void Say(std::string text) { m_messages.push_back(std::move(text)); }

  std::string m_accountDir;
  std::string m_saveDir;
  ServerAccounts m_accounts;
  std::vector<std::string> m_messages;
  bool m_exit = false;
  std::chrono::milliseconds m_takeOverDelay{0};
  Clock::time_point m_busyUntil{};
  struct Due {
    Clock::time_point at;
    std::string line;
  };
  std::deque<Due> m_due;  // in the order received; each runs at or after its time
};

// Writes bytes to a temporary file in the target's folder and renames it over the target,
// so a failure leaves the old file whole. New files are readable by the owner only.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
bool ReadFileBytes(const std::string& path, std::string& bytes);
