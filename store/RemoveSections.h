#pragma once
// Takes the sections of deleted accounts out of the account-update file, so that the
// server's next take-over of that file cannot bring them back.
#include <string>
#include <vector>

namespace kov {

struct RemoveSectionsResult {
  bool ok = true;
  int removed = 0;    // sections taken out
  std::string error;  // when !ok: what failed; the file is then unchanged
};

// Removes every section whose account name equals one of `names` exactly (letter case
// included): its section line and every line up to the next section line. Every other byte
// stays as it was. A missing file or one without such sections is left alone; otherwise
// the file is rewritten through a temporary file and a rename.
RemoveSectionsResult RemoveAccountSections(const std::string& path,
                                           const std::vector<std::string>& names);

// The same on bytes in memory; returns the number of sections removed.
int RemoveAccountSectionsFrom(std::string& bytes, const std::vector<std::string>& names);

}  // namespace kov
