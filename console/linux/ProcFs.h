#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/ServerConsole.h"

// What the console bridge reads about a process from /proc.
namespace kov::procfs {

// The executable's full path (/proc/PID/exe) without the " (deleted)" that the kernel adds
// once the file was replaced; nullopt when it cannot be read (another user's process, a
// kernel thread, a process that has ended).
std::optional<std::string> ExecutablePath(std::uint32_t pid);
// What the console bridge uses of /proc/PID/stat.
struct ProcessStat {
  char state = '?';             // field 3: R, S, D, T (stopped), t (tracing stop), Z, ...
  std::int64_t pgrp = 0;        // field 5: process group
  std::int64_t ttyNr = 0;       // field 7: controlling terminal, 0 for none
  std::int64_t tpgid = -1;      // field 8: foreground process group of that terminal
  std::uint64_t startTime = 0;  // field 22: clock ticks after boot
};
// The fields of the text of /proc/PID/stat, counted from the last ")" (the command name in
// parentheses may hold blanks and ")"); nullopt when the text is cut short or malformed.
std::optional<ProcessStat> ParseStat(std::string_view text);
// nullopt when the process is gone.
std::optional<ProcessStat> Stat(std::uint32_t pid);
// Clock ticks after boot (field 22 of /proc/PID/stat); nullopt when the process is gone.
std::optional<std::uint64_t> StartTime(std::uint32_t pid);
// Why a line written to the server's input now would not be read by the server itself,
// for the operator; nullopt when it would. terminalDevice: the device number of the
// terminal that is the server's input, nullopt for a pipe. A stopped server reads nothing
// (and on a terminal, the shell that stopped it reads instead); on a terminal only the
// foreground process group reads, so the server's group must be the foreground one.
std::optional<std::string> InputRefusal(const ProcessStat& stat,
                                        std::optional<std::uint64_t> terminalDevice);
// The bare command name (/proc/PID/comm), empty when unreadable.
std::string CommandName(std::uint32_t pid);
// "NAME=value" entries of the process's environment as it was started.
std::vector<std::string> Environment(std::uint32_t pid);
std::optional<std::string> EnvironmentValue(const std::vector<std::string>& env,
                                            const std::string& name);
// Whether the process still runs and is the same one (a reused id has another start time).
bool StillRunning(const ProcessEntry& process);
// The server's entry: the most recently started process whose path matches the setting.
std::optional<ProcessEntry> FindServerProcess(const std::string& serverPath);

}  // namespace kov::procfs
