#pragma once
// One seeded history of an operator and a server: operations, faults, and an oracle that
// judges what the program reported and what the files hold against what the operator asked.
#include <cstdint>
#include <string>
#include <vector>

#include "store/AccountTable.h"

namespace kov::protocol {

struct Op {
  enum class Kind {
    Change,      // one field of an account
    Create,      // a new account
    Delete,      // accounts deleted as the window does: per account a console line, then "A"
    Save,        // `live`: the server is told and waited for `ms`
    Reload,      // the table emptied and loaded again from the files
    Watch,       // the folder watch: rows whose sections left the file become stored
    Busy,        // the server reads its console but acts `ms` later
    Stop,        // SIGSTOP
    Continue,    // SIGCONT
    Kill,        // SIGKILL
    Restart,     // a new server on the same folder
    WorldSave,   // "SAVE" typed into the console
    Crash,       // the program ends without a word; a new one loads the files
    Unreadable,  // the update file cannot be read by the program (the server still reads it)
    Readable,    // ... until now; the operator reloads if a load stopped at it
    Backup,      // the table written to a backup file
    Restore,     // the last backup laid onto the table: `number` 1 keeps pending changes
  };
  Kind kind = Kind::Save;
  std::vector<std::string> names;  // Change, Create: one; Delete: one or more
  Field field = dbpasswort;        // Change
  std::string text;                // Change (texts), Create (password)
  int number = 0;                  // Change (Blocked, Jailed)
  bool live = false;
  int ms = 0;
};

std::string Describe(const Op& op);

struct Sequence {
  std::uint64_t seed = 0;
  int takeOverDelayMs = 0;  // the server's delay between "A" and the take-over
  std::vector<Op> ops;
};
Sequence Generate(std::uint64_t seed);

struct RunStats {
  int ops = 0;
  int faults = 0;
  int deletesLostWithServer = 0;  // delivered, then the server was killed before acting
  int takenOver = 0;              // rows the program reported as taken over, all checked
  int lostToRacingTakeOver = 0;   // saved, emptied unread by the server, then the program crashed
  int refusedUnreadable = 0;      // saves and loads refused while the update file was unreadable
  int restoredFields = 0;         // fields a restore brought back from a backup
};

struct RunOutcome {
  bool passed = true;
  std::string failure;  // which check failed, and how
  RunStats stats;
};

// Runs the sequence against a fresh folder under `workDir` with the server copy at
// `serverExecutable`; `keep` selects the operations (empty: all).
RunOutcome RunSequence(const Sequence& sequence, const std::string& serverExecutable,
                       const std::string& workDir, const std::vector<bool>& keep = {});

}  // namespace kov::protocol
