#pragma once

#include <string>
#include <vector>

// The stand-in server's accounts, kept as the account script holds them: one section per
// account with its key lines in file order, so keys this server does not know survive.
class ServerAccounts {
 public:
  struct Account {
    std::string name;
    std::vector<std::string> lines;  // "KEY=value" lines of the section, in order
  };
  struct UpdateCounts {
    int changed = 0;
    int created = 0;
    std::vector<std::string> warnings;
  };

  // Bytes of a script file: lines end at CR, LF or CR LF, a NUL byte ends the text, the
  // section "[EOF]" (any letter case) ends the accounts.
  void Parse(const std::string& bytes);
  // The account file as the server writes it: CR LF line ends, ending with "[EOF]".
  std::string Serialize() const;

  // Lays the sections of an update file over the accounts: an account is found by its
  // name ignoring letter case, or added. Levels may be given by name or number.
  UpdateCounts ApplyUpdates(const std::string& updateBytes);
  // Removes every account of that name (ignoring letter case); the number removed.
  int Delete(const std::string& name);

  const std::vector<Account>& Accounts() const { return m_accounts; }
  const Account* Find(const std::string& name) const;

  static std::vector<std::string> SplitLines(const std::string& bytes);
  static bool EqualsIgnoringCase(const std::string& a, const std::string& b);
  // "0" to "7" or a level name (Guest ... Owner, Dev or Developer, any case) to its code;
  // empty for anything else.
  static std::string LevelCode(const std::string& level);

 private:
  Account* FindMutable(const std::string& name);
  static void SetKey(Account& account, const std::string& key, const std::string& value);
  static void RemoveKey(Account& account, const std::string& key);

  std::vector<Account> m_accounts;
};
