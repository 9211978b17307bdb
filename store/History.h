#pragma once
// The change history: every change sent to the server, one JSON object per line, appended to
// a file in the program folder. The window and kovctl write and read it through this, so
// both see one history. Passwords are never written: their lines say "changed".
//
// The file starts with the line {"kovHistory":1}, so a file of someone else's is never
// appended to nor read as ours. Lines are appended with one write per save and flushed; a
// power cut can leave a torn last line, which the reader reports and the next append closes
// with a line end first. A file grown beyond its limit is renamed to the next free number
// (kov-history.jsonl.1, .2, ...) before a save's lines go into a fresh one: no line is ever
// dropped or split between two files.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

inline constexpr const char* kHistoryFileName = "kov-history.jsonl";
inline constexpr const char* kHistoryHeader = "{\"kovHistory\":1}";
inline constexpr std::uint64_t kHistoryRotateBytes = 32u * 1024 * 1024;
inline constexpr const char* kHistoryPasswordValue = "changed";

// What a line records.
inline constexpr const char* kHistoryChange = "change";    // a field of an existing account
inline constexpr const char* kHistoryNew = "new";          // a field of a new account
inline constexpr const char* kHistoryDelete = "delete";    // an account deleted on the server
inline constexpr const char* kHistoryRestore = "restore";  // a field brought back from a backup

// One change; every text UTF-8.
struct HistoryRecord {
  std::string time;  // UTC, "2024-05-01T12:00:00Z": sorts as text
  std::string user;
  std::string shard;  // the account folder
  std::string account;
  std::string action;
  std::string field;  // "" for a whole account (a deletion)
  std::string oldValue;
  std::string newValue;
  bool takenOver = false;
};

// Now as a record's time.
std::string HistoryTimeNow();
// The operating-system user running the program.
std::string CurrentUserName();
// A field's name as the history and its windows show it ("plevel" for dbplevel).
std::string HistoryFieldName(const char* fieldName);
bool IsPasswordField(std::string_view historyFieldName);

// The JSON line of a record, with its line end.
std::string HistoryLine(const HistoryRecord& record);

// Appends the records as one block (nothing when empty). False with `error` set when the file
// is not a history file or cannot be written; an existing file is then left as it was.
bool AppendHistory(const std::string& path, const std::vector<HistoryRecord>& records,
                   std::string& error, std::uint64_t rotateBytes = kHistoryRotateBytes);

// The history read back. A million lines are held as offsets into the files' bytes (about
// 68 bytes a line beside the text), so the window can filter and sort them at once. The files
// are read into one block and parsed on several threads, one file each: a million lines in 7
// files open in a fraction of a second where one thread took 1.2 s.
class HistoryLog {
 public:
  enum class Status {
    Ok,          // also when there is no history yet (no entries)
    NotHistory,  // a file does not start with the header: `error` names it
    ReadError,
  };
  enum Column { Time, User, Shard, Account, Action, Field, Old, New, kColumns };
  struct Entry {
    std::uint32_t off[kColumns];  // into the files' bytes; bit 31 set: into the decoded texts
    std::uint32_t len[kColumns];
    bool takenOver;
  };

  // Reads the rotated files (oldest first) and then `path`.
  Status Load(const std::string& path);

  std::span<const Entry> Entries() const { return {m_entries.get(), m_entryCount}; }
  std::string_view Get(const Entry& e, Column c) const {
    const std::uint32_t off = e.off[c];
    return (off & 0x80000000u) ? std::string_view(m_decoded.data() + (off & 0x7FFFFFFFu), e.len[c])
                               : std::string_view(m_text.get() + off, e.len[c]);
  }
  const std::string& Error() const { return m_error; }
  // Lines that are not records (garbage, or torn by a cut in a rotated file), and where the
  // first ones are ("kov-history.jsonl:17").
  int BadLines() const { return m_badLines; }
  const std::vector<std::string>& BadLinePlaces() const { return m_badPlaces; }
  // The last line of the history lacks its end and is no whole record (a cut while writing).
  bool TornLastLine() const { return m_torn; }

  // Parses one line of `text` (from `start` to its end, without the line end) into `e`, escaped
  // texts decoded into `decoded` with offsets into it; false when it is not a record.
  static bool ParseLine(const char* text, std::size_t start, std::size_t end, std::string& decoded,
                        Entry& e);

 private:
  std::unique_ptr<char[]> m_text;  // every file's bytes, oldest first
  std::string m_decoded;
  std::unique_ptr<Entry[]> m_entries;
  std::size_t m_entryCount = 0;
  std::string m_error;
  int m_badLines = 0;
  std::vector<std::string> m_badPlaces;
  bool m_torn = false;
};

// The rotated files of a history, oldest first (path.1, path.2, ...; only those present).
std::vector<std::string> RotatedHistoryFiles(const std::string& path);

}  // namespace kov
