#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kov {

// A profile file (kov.ini) held as its lines. Sections and keys are found ignoring letter
// case; writing a key replaces its value in place or adds it at the end of its section, and
// every other line (comments, unknown keys, blank lines) is kept. Nothing reaches the disk
// before Save(), which writes the whole file through a temporary file and a rename.
class IniFile {
 public:
  struct SaveResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
  };

  IniFile() = default;
  // A missing file gives an empty profile; a file that exists but cannot be read is
  // remembered so that Save() refuses to replace what it never saw.
  explicit IniFile(std::string path);

  const std::string& Path() const { return m_path; }
  const std::string& LoadError() const { return m_loadError; }

  // Bytes as in the file: Windows-1252, lines ending in CR, LF or CR LF, text ending at a NUL.
  void Parse(const std::string& bytes);
  // The file's content as Save() writes it, every line ended by CR LF.
  std::string Serialize() const;

  bool HasKey(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "$" or "0x"; anything else gives the default.
  std::int32_t ReadInteger(const std::string& section, const std::string& key,
                           std::int32_t defaultValue) const;
  // Read as an integer: any value other than 0 is true.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // A value holding CR, LF or NUL would become several lines (and could forge keys):
  // it is refused and false returned; the profile is unchanged then.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);

  SaveResult Save() const;
  SaveResult SaveAs(const std::string& path) const;

  static bool ParseInteger(const std::string& text, std::int32_t& value);

 private:
  struct Location {
    std::size_t sectionLine = npos;  // index of the section line, npos when absent
    std::size_t sectionEnd = 0;      // one past the last line of the section
    std::size_t keyLine = npos;      // index of the key line, npos when absent
  };
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  Location Find(const std::string& section, const std::string& key) const;

  std::string m_path;
  std::string m_loadError;
  std::vector<std::string> m_lines;
};

}  // namespace kov
