#include "console/linux/ProcFs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <memory>

#include "store/LetterCase.h"

namespace kov {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

std::string ProcFile(std::uint32_t pid, const char* name) {
  return "/proc/" + std::to_string(pid) + "/" + name;
}

// Plain reads: a process may end while its files are read, and the stream library reports
// that read error by throwing from inside the iterator.
std::optional<std::string> ReadWhole(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

bool MatchesSetting(const ProcessEntry& entry, const std::string& setting,
                    const std::string& resolvedSetting) {
  if (!entry.fullPath || entry.path.empty()) return false;
  return PathEqualsIgnoringCase(entry.path, setting) ||
         (!resolvedSetting.empty() && PathEqualsIgnoringCase(entry.path, resolvedSetting));
}

}  // namespace

bool PathEqualsIgnoringCase(const std::string& a, const std::string& b) {
  return EqualsIgnoringAsciiCase(a, b);
}

namespace procfs {

std::optional<std::string> ExecutablePath(std::uint32_t pid) {
  std::string link = ProcFile(pid, "exe");
  char buffer[PATH_MAX + 32];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  std::string path(buffer, static_cast<std::size_t>(n));
  static const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() &&
      path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0) {
    path.resize(path.size() - deleted.size());
  }
  if (path.empty() || path[0] != '/') return std::nullopt;
  return path;
}

std::optional<ProcessStat> ParseStat(std::string_view text) {
  auto open = text.find('(');
  auto close = text.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  // Fields 3 onwards, one blank apart; the last may end with a line end.
  std::vector<std::string_view> fields;
  std::size_t pos = close + 1;
  while (pos < text.size() && fields.size() < 20) {
    if (text[pos] != ' ') return std::nullopt;
    auto end = text.find_first_of(" \n", pos + 1);
    if (end == std::string_view::npos) end = text.size();
    fields.push_back(text.substr(pos + 1, end - pos - 1));
    pos = end;
    if (pos < text.size() && text[pos] == '\n') break;
  }
  if (fields.size() < 20 || fields[0].size() != 1) return std::nullopt;
  auto number = [](std::string_view field, auto& value) {
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size() && !field.empty();
  };
  ProcessStat stat;
  stat.state = fields[0][0];
  // fields[i] is field i + 3.
  if (!number(fields[2], stat.pgrp) || !number(fields[4], stat.ttyNr) ||
      !number(fields[5], stat.tpgid) || !number(fields[19], stat.startTime)) {
    return std::nullopt;
  }
  return stat;
}

std::optional<ProcessStat> Stat(std::uint32_t pid) {
  auto text = ReadWhole(ProcFile(pid, "stat"));
  if (!text) return std::nullopt;
  return ParseStat(*text);
}

std::optional<std::uint64_t> StartTime(std::uint32_t pid) {
  auto stat = Stat(pid);
  if (!stat) return std::nullopt;
  return stat->startTime;
}

std::optional<std::string> InputRefusal(const ProcessStat& stat,
                                        std::optional<std::uint64_t> terminalDevice) {
  if (stat.state == 'T') {
    return "the server is stopped (suspended with Ctrl-Z or a stop signal); continue it and "
           "send again";
  }
  if (stat.state == 't') return "the server is stopped by a debugger";
  if (!terminalDevice) return std::nullopt;  // a pipe: nothing else reads it
  // tty_nr packs the device number as the kernel does: minor in bits 0-7 and 20-31,
  // major in bits 8-19.
  const auto tty = static_cast<std::uint64_t>(stat.ttyNr);
  const unsigned ttyMajor = (tty >> 8) & 0xfff;
  const unsigned ttyMinor = (tty & 0xff) | ((tty >> 12) & 0xfff00);
  if (stat.ttyNr == 0 || ttyMajor != ::major(*terminalDevice) ||
      ttyMinor != ::minor(*terminalDevice)) {
    // Then its foreground group cannot be read here, and a shell may be the one reading.
    return "the terminal the server reads is not its controlling terminal, so it cannot be "
           "told whether the server or another program would read the command";
  }
  if (stat.tpgid != stat.pgrp) {
    return "another program is in the foreground of the server's terminal (the server runs "
           "in the background or was suspended)";
  }
  return std::nullopt;
}

std::string CommandName(std::uint32_t pid) {
  auto comm = ReadWhole(ProcFile(pid, "comm"));
  if (!comm) return {};
  while (!comm->empty() && comm->back() == '\n') comm->pop_back();
  return *comm;
}

std::vector<std::string> Environment(std::uint32_t pid) {
  std::vector<std::string> env;
  auto text = ReadWhole(ProcFile(pid, "environ"));
  if (!text) return env;
  std::size_t start = 0;
  while (start < text->size()) {
    auto end = text->find('\0', start);
    if (end == std::string::npos) end = text->size();
    if (end > start) env.push_back(text->substr(start, end - start));
    start = end + 1;
  }
  return env;
}

std::optional<std::string> EnvironmentValue(const std::vector<std::string>& env,
                                            const std::string& name) {
  for (const auto& entry : env) {
    if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
        entry[name.size()] == '=') {
      return entry.substr(name.size() + 1);
    }
  }
  return std::nullopt;
}

bool StillRunning(const ProcessEntry& process) {
  auto stat = Stat(process.pid);
  // A zombie has ended; only its parent has not collected it yet.
  if (!stat || stat->state == 'Z' || stat->state == 'X') return false;
  return stat->startTime == process.startTime;
}

std::optional<ProcessEntry> FindServerProcess(const std::string& serverPath) {
  if (serverPath.empty()) return std::nullopt;
  std::vector<ProcessEntry> processes;
  if (!ListRunningProcesses(processes)) return std::nullopt;
  // /proc/PID/exe is the resolved path, so a setting through a symbolic link is resolved
  // too. Only an absolute setting: a bare name would resolve against our own folder.
  std::string resolved;
  if (serverPath[0] == '/') {
    std::unique_ptr<char, decltype(&::free)> real(::realpath(serverPath.c_str(), nullptr), &::free);
    if (real) resolved = real.get();
  }
  std::optional<ProcessEntry> best;
  for (const auto& p : processes) {
    if (!MatchesSetting(p, serverPath, resolved)) continue;
    if (!best || p.startTime > best->startTime ||
        (p.startTime == best->startTime && p.pid > best->pid)) {
      best = p;
    }
  }
  return best;
}

}  // namespace procfs

bool ListRunningProcesses(std::vector<ProcessEntry>& list) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir("/proc"));
  if (!dir) return false;
  while (dirent* e = ::readdir(dir.get())) {
    char* end = nullptr;
    unsigned long pid = std::strtoul(e->d_name, &end, 10);
    if (e->d_name[0] < '0' || e->d_name[0] > '9' || *end != '\0' || pid > UINT32_MAX) {
      continue;
    }
    ProcessEntry entry;
    entry.pid = static_cast<std::uint32_t>(pid);
    auto start = procfs::StartTime(entry.pid);
    if (!start) continue;  // ended while we looked
    entry.startTime = *start;
    if (auto path = procfs::ExecutablePath(entry.pid)) {
      entry.path = *path;
      entry.fullPath = true;
    } else {
      entry.path = procfs::CommandName(entry.pid);
    }
    list.push_back(std::move(entry));
  }
  return true;
}

std::string ProcessPathOfWindow(ConsoleWindow window) {
  if (window == 0 || window > UINT32_MAX) return {};
  std::vector<ProcessEntry> processes;
  if (!ListRunningProcesses(processes)) return {};
  for (const auto& p : processes) {
    if (p.pid == window) return p.path;
  }
  return {};
}

ConsoleWindow FindServerConsoleWindow(const std::string& serverPath) {
  auto server = procfs::FindServerProcess(serverPath);
  return server ? static_cast<ConsoleWindow>(server->pid) : 0;
}

}  // namespace kov
