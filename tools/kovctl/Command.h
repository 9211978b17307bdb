#pragma once
// kovctl sub-commands register themselves here, one file each, so adding a command
// never touches main.cpp.
#include <functional>
#include <string>
#include <vector>

#include "store/SaveAcct.h"

namespace kovctl {

using Args = std::vector<std::string>;  // arguments after the sub-command's name
using Handler = std::function<int(const Args&)>;

struct Command {
  const char* name;
  const char* usage;  // one line, shown by "kovctl help"
  Handler run;
};

std::vector<Command>& Registry();

// The history file of the program folder: --home DIR's, else the one beside kovctl as the
// program resolves its own (the per-user folder when that one cannot be written).
std::string HistoryPath(const std::string& homeOverride);
// The history's record of a save into `accountDir` by this user.
kov::SaveHistory HistoryFor(const std::string& homeOverride, const std::string& accountDir);

struct Register {
  Register(const char* name, const char* usage, Handler run) {
    Registry().push_back({name, usage, std::move(run)});
  }
};

}  // namespace kovctl
