#pragma once

#include <string>
#include <vector>

#include "ServerAccounts.h"

// The stand-in game server: carries out console lines on the server's account files.
//   A                    take VornexAcct.scp over into VornexAccu.scp, then empty it
//   ACCOUNT name DELETE  delete that account
//   SAVE                 world save (takes the updates over too)
//   EXIT                 stop
// Every received line is appended to console.log in the account folder first.
class StandInServer {
 public:
  StandInServer(std::string accountDir, std::string saveDir);

  // Loads VornexAccu.scp and creates the account and update files when they are missing;
  // false (with messages) when the folders cannot be used.
  bool Start();
  // Carries out one console line; the server's answer goes to Messages().
  void Execute(const std::string& line);
  bool ExitRequested() const { return m_exit; }

  // Answers since the last call, each one line.
  std::vector<std::string> TakeMessages();

 private:
  void TakeUpdatesOver();
  bool WriteAccounts();
  void Log(const std::string& line);
  void Say(std::string text) { m_messages.push_back(std::move(text)); }

  std::string m_accountDir;
  std::string m_saveDir;
  ServerAccounts m_accounts;
  std::vector<std::string> m_messages;
  bool m_exit = false;
};

// Writes bytes to a temporary file in the target's folder and renames it over the target,
// so a failure leaves the old file whole. New files are readable by the owner only.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
bool ReadFileBytes(const std::string& path, std::string& bytes);
