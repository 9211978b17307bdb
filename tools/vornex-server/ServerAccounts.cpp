#include "ServerAccounts.h"

#include <array>

namespace {

// Windows-1252 letters: ASCII, the Latin-1 range and the few letters at 0x8A-0x9F.
unsigned char Upper1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0x9E:
      return 0x8E;
    case 0xFF:
      return 0x9F;
    default:
      return c;
  }
}

std::string KeyOf(const std::string& line) {
  auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

bool IsSectionLine(const std::string& line) { return !line.empty() && line[0] == '['; }

std::string SectionName(const std::string& line) {
  return line.size() < 2 ? std::string() : line.substr(1, line.size() - 2);
}

}  // namespace

std::vector<std::string> ServerAccounts::SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t end = bytes.find('\0');
  if (end == std::string::npos) end = bytes.size();
  std::string current;
  for (std::size_t i = 0; i < end; ++i) {
    char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < end && bytes[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

bool ServerAccounts::EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper1252(static_cast<unsigned char>(a[i])) !=
        Upper1252(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string ServerAccounts::LevelCode(const std::string& level) {
  static const std::array<const char*, 8> names = {"Guest", "Player", "Counselor", "Seer",
                                                   "GM",    "Dev",    "Admin",     "Owner"};
  if (level.size() == 1 && level[0] >= '0' && level[0] <= '7') return level;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (EqualsIgnoringCase(level, names[i])) return std::to_string(i);
  }
  if (EqualsIgnoringCase(level, "Developer")) return "5";
  return {};
}

void ServerAccounts::Parse(const std::string& bytes) {
  m_accounts.clear();
  Account* current = nullptr;
  for (const auto& line : SplitLines(bytes)) {
    if (IsSectionLine(line)) {
      std::string name = SectionName(line);
      if (EqualsIgnoringCase(name, "EOF")) break;
      m_accounts.push_back({name, {}});
      current = &m_accounts.back();
    } else if (current && !line.empty() && line.rfind("//", 0) != 0) {
      current->lines.push_back(line);
    }
  }
}

std::string ServerAccounts::Serialize() const {
  std::string out = "// VornexServer accounts\r\n";
  for (const auto& account : m_accounts) {
    out += "[" + account.name + "]\r\n";
    for (const auto& line : account.lines) out += line + "\r\n";
    out += "\r\n";
  }
  out += "[EOF]\r\n";
  return out;
}

const ServerAccounts::Account* ServerAccounts::Find(const std::string& name) const {
  for (const auto& account : m_accounts) {
    if (EqualsIgnoringCase(account.name, name)) return &account;
  }
  return nullptr;
}

ServerAccounts::Account* ServerAccounts::FindMutable(const std::string& name) {
  for (auto& account : m_accounts) {
    if (EqualsIgnoringCase(account.name, name)) return &account;
  }
  return nullptr;
}

void ServerAccounts::SetKey(Account& account, const std::string& key, const std::string& value) {
  for (auto& line : account.lines) {
    if (KeyOf(line) == key) {
      line = key + "=" + value;
      return;
    }
  }
  account.lines.push_back(key + "=" + value);
}

void ServerAccounts::RemoveKey(Account& account, const std::string& key) {
  std::erase_if(account.lines, [&](const std::string& line) { return KeyOf(line) == key; });
}

ServerAccounts::UpdateCounts ServerAccounts::ApplyUpdates(const std::string& updateBytes) {
  UpdateCounts counts;
  // Index, not pointer: adding an account may move the others.
  std::size_t current = static_cast<std::size_t>(-1);
  for (const auto& line : SplitLines(updateBytes)) {
    if (IsSectionLine(line)) {
      std::string name = SectionName(line);
      current = static_cast<std::size_t>(-1);
      if (EqualsIgnoringCase(name, "EOF")) continue;
      if (name.empty()) {
        counts.warnings.push_back("section without an account name ignored");
        continue;
      }
      if (Account* found = FindMutable(name)) {
        current = static_cast<std::size_t>(found - m_accounts.data());
        ++counts.changed;
      } else {
        m_accounts.push_back({name, {}});
        current = m_accounts.size() - 1;
        ++counts.created;
      }
      continue;
    }
    if (current == static_cast<std::size_t>(-1) || line.rfind("//", 0) == 0) continue;
    std::string key = KeyOf(line);
    if (key.empty()) continue;
    std::string value = line.substr(key.size() + 1);
    Account& account = m_accounts[current];
    if (key == "PLEVEL") {
      std::string code = LevelCode(value);
      if (code.empty()) {
        counts.warnings.push_back("account " + account.name + ": unknown level '" + value +
                                  "' ignored");
        continue;
      }
      SetKey(account, key, code);
    } else if (key == "TAG.COMMENT") {
      // The account file keeps comments in quotes; an empty pair clears the comment.
      SetKey(account, key, "\"" + value + "\"");
    } else if (key == "EMAIL" || key == "TAG.EMAIL") {
      RemoveKey(account, key == "EMAIL" ? "TAG.EMAIL" : "EMAIL");
      SetKey(account, key, value);
    } else {
      SetKey(account, key, value);
    }
  }
  return counts;
}

int ServerAccounts::Delete(const std::string& name) {
  auto before = m_accounts.size();
  std::erase_if(m_accounts,
                [&](const Account& account) { return EqualsIgnoringCase(account.name, name); });
  return static_cast<int>(before - m_accounts.size());
}
