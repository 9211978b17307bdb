#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/ServerConsole.h"

// What the console bridge reads about a process from /proc.
namespace kov::procfs {

// The executable's full path (/proc/PID/exe) without the " (deleted)" that the kernel adds
// once the file was replaced; nullopt when it cannot be read (another user's process, a
// kernel thread, a process that has ended).
std::optional<std::string> ExecutablePath(std::uint32_t pid);
// Clock ticks after boot (field 22 of /proc/PID/stat); nullopt when the process is gone.
std::optional<std::uint64_t> StartTime(std::uint32_t pid);
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
