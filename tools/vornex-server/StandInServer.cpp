#include "StandInServer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "store/Files.h"

namespace fs = std::filesystem;

namespace {

const char kAccountFile[] = "VornexAccu.scp";
const char kUpdateFile[] = "VornexAcct.scp";
const char kConsoleLog[] = "console.log";

std::string Join(const std::string& dir, const char* name) {
  return (fs::path(dir) / name).string();
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool WriteAll(std::FILE* f, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
}

}  // namespace

// Shared like the account manager's reads, so neither side blocks the other's replacement.
bool ReadFileBytes(const std::string& path, std::string& bytes) {
  return kov::ReadAllBytes(path, bytes);
}

// Like the account manager: a complete new file renamed over the old one, tried again for a
// moment while a reader holds the old one.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  std::string why;
  if (kov::WriteFileAtomically(path, bytes, why)) return true;
  error = "cannot write " + path;
  return false;
}

StandInServer::StandInServer(std::string accountDir, std::string saveDir)
    : m_accountDir(std::move(accountDir)), m_saveDir(std::move(saveDir)) {}

bool StandInServer::Start() {
  std::error_code ec;
  if (!fs::is_directory(m_accountDir, ec)) {
    Say("Account folder not found: " + m_accountDir);
    return false;
  }
  if (!fs::is_directory(m_saveDir, ec)) {
    Say("Save folder not found: " + m_saveDir);
    return false;
  }
  std::string accountPath = Join(m_accountDir, kAccountFile);
  std::string bytes;
  if (fs::exists(accountPath, ec)) {
    if (!ReadFileBytes(accountPath, bytes)) {
      Say("Cannot read " + accountPath);
      return false;
    }
    m_accounts.Parse(bytes);
  } else if (!WriteAccounts()) {
    return false;
  }
  // The account manager replaces the update file but never creates it.
  std::string updatePath = Join(m_accountDir, kUpdateFile);
  std::string error;
  if (!fs::exists(updatePath, ec) && !WriteFileAtomically(updatePath, {}, error)) {
    Say(error);
    return false;
  }
  Say("VornexServer stand-in ready: " + std::to_string(m_accounts.Accounts().size()) + " accounts");
  return true;
}

std::vector<std::string> StandInServer::TakeMessages() {
  std::vector<std::string> out;
  out.swap(m_messages);
  return out;
}

void StandInServer::Log(const std::string& line) {
  std::FILE* f = std::fopen(Join(m_accountDir, kConsoleLog).c_str(), "ab");
  if (!f) {
    Say("Cannot append to console.log");
    return;
  }
  WriteAll(f, line + "\n");
  std::fclose(f);
}

bool StandInServer::WriteAccounts() {
  std::string error;
  if (!WriteFileAtomically(Join(m_accountDir, kAccountFile), m_accounts.Serialize(), error)) {
    Say("ERROR: " + error);
    return false;
  }
  return true;
}

void StandInServer::TakeUpdatesOver() {
  std::string updatePath = Join(m_accountDir, kUpdateFile);
  std::string bytes;
  std::error_code ec;
  if (!fs::exists(updatePath, ec)) {
    Say("No account updates (" + std::string(kUpdateFile) + " missing)");
    return;
  }
  if (!ReadFileBytes(updatePath, bytes)) {
    Say("ERROR: cannot read " + updatePath);
    return;
  }
  ServerAccounts updated = m_accounts;
  auto counts = updated.ApplyUpdates(bytes);
  for (const auto& w : counts.warnings) Say("WARNING: " + w);
  ServerAccounts previous = std::move(m_accounts);
  m_accounts = std::move(updated);
  // The updates are emptied only once the accounts holding them are on disk.
  if (!WriteAccounts()) {
    m_accounts = std::move(previous);
    return;
  }
  std::string error;
  if (!WriteFileAtomically(updatePath, {}, error)) Say("ERROR: " + error);
  Say("Accounts updated: " + std::to_string(counts.changed) + " changed, " +
      std::to_string(counts.created) + " new");
}

void StandInServer::Execute(const std::string& rawLine) {
  std::string line = rawLine;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  Log(line);
  const auto words = Words(line);
  const Clock::time_point now = Clock::now();
  if (words.size() == 2 && ServerAccounts::EqualsIgnoringCase(words[0], "BUSY")) {
    m_busyUntil =
        std::max(m_busyUntil, now) + std::chrono::milliseconds(std::atoi(words[1].c_str()));
    Say("Busy for " + words[1] + " ms");
    return;
  }
  const bool takesOver =
      words.size() == 1 && (ServerAccounts::EqualsIgnoringCase(words[0], "A") ||
                            ServerAccounts::EqualsIgnoringCase(words[0], "SAVE"));
  Clock::time_point at = std::max(m_busyUntil, now);
  if (takesOver) at += m_takeOverDelay;
  // Lines keep their order: none runs before one received earlier.
  // A line already due but not yet run still goes first.
  if (!m_due.empty()) at = std::max(at, m_due.back().at);
  if (at <= now && m_due.empty()) {
    CarryOut(line);
  } else {
    m_due.push_back({at, line});
  }
}

std::chrono::milliseconds StandInServer::RunDue() {
  while (!m_due.empty() && m_due.front().at <= Clock::now()) {
    const std::string line = m_due.front().line;
    m_due.pop_front();
    CarryOut(line);
  }
  if (m_due.empty()) return std::chrono::milliseconds(-1);
  return std::chrono::duration_cast<std::chrono::milliseconds>(m_due.front().at - Clock::now()) +
         std::chrono::milliseconds(1);
}

void StandInServer::CarryOut(const std::string& line) {
  auto words = Words(line);
  if (words.empty()) return;
  const std::string& verb = words[0];
  if (words.size() == 1 && ServerAccounts::EqualsIgnoringCase(verb, "A")) {
    TakeUpdatesOver();
  } else if (words.size() == 1 && ServerAccounts::EqualsIgnoringCase(verb, "SAVE")) {
    TakeUpdatesOver();
    if (WriteAccounts()) Say("World saved");
  } else if (words.size() == 1 && ServerAccounts::EqualsIgnoringCase(verb, "EXIT")) {
    Say("Server shutting down");
    m_exit = true;
  } else if (ServerAccounts::EqualsIgnoringCase(verb, "ACCOUNT")) {
    if (words.size() != 3 || !ServerAccounts::EqualsIgnoringCase(words[2], "DELETE")) {
      Say("Usage: ACCOUNT name DELETE");
      return;
    }
    const std::string& name = words[1];
    if (!m_accounts.Find(name)) {
      Say("Account '" + name + "' not found");
      return;
    }
    ServerAccounts previous = m_accounts;
    m_accounts.Delete(name);
    if (WriteAccounts()) {
      Say("Account '" + name + "' deleted");
    } else {
      m_accounts = std::move(previous);
    }
  } else {
    Say("Unknown command: " + line);
  }
}
