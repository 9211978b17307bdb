#pragma once
// kovctl sub-commands register themselves here, one file each, so adding a command
// never touches main.cpp.
#include <functional>
#include <string>
#include <vector>

namespace kovctl {

using Args = std::vector<std::string>;  // arguments after the sub-command's name
using Handler = std::function<int(const Args&)>;

struct Command {
  const char* name;
  const char* usage;  // one line, shown by "kovctl help"
  Handler run;
};

std::vector<Command>& Registry();

struct Register {
  Register(const char* name, const char* usage, Handler run) {
    Registry().push_back({name, usage, std::move(run)});
  }
};

}  // namespace kovctl
