#include "chars/CharacterFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <system_error>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KOV_CHARS_SSE2 1
#endif

#include "store/Files.h"
#include "store/LetterCase.h"

namespace kov {
namespace {

struct GeneralKey {
  std::string_view key;
  std::size_t label;  // index into CharacterRecord::general
};

// "P=" carries its "=", so its value starts right after the key; every other key's value
// starts one character after it, whatever that character is.
constexpr GeneralKey kGeneralKeys[] = {
    {"ACCOUNT", 0}, {"CREATE", 1}, {"NAME", 2},  {"TITLE", 3}, {"P=", 4},
    {"DEATHS", 5},  {"KILLS", 6},  {"FOOD", 7},  {"HOME", 8},  {"SKILLCLASS", 9},
    {"STR", 10},    {"OSTR", 10},  {"DEX", 11},  {"ODEX", 11}, {"INT", 12},
    {"OINT", 12},   {"HITS", 13},  {"STAM", 14}, {"MANA", 15}};

struct SkillKey {
  std::string_view key;
  std::string_view name;
};

constexpr SkillKey kSkillKeys[] = {
    {"ALCHEMY", "Alchemy"},
    {"ANATOMY", "Anatomy"},
    {"ANIMALLORE", "AnimalLore"},
    {"ITEMID", "ItemID"},
    {"ARMSLORE", "ArmsLore"},
    {"PARRYING", "Parrying"},
    {"BEGGING", "Begging"},
    {"BLACKSMITHING", "Blacksmithing"},
    {"BOWCRAFT", "Bowcraft"},
    {"PEACEMAKING", "Peacemaking"},
    {"CAMPING", "Camping"},
    {"CARPENTRY", "Carpentry"},
    {"CARTOGRAPHY", "Cartography"},
    {"COOKING", "Cooking"},
    {"DETECTINGHIDDEN", "DetectingHidden"},
    {"ENTICEMENT", "Enticement"},
    {"EVALUATINGINTEL", "EvaluatingIntel"},
    {"HEALING", "Healing"},
    {"FISHING", "Fishing"},
    {"FORENSICS", "Forensics"},
    {"HERDING", "Herding"},
    {"HIDING", "Hiding"},
    {"PROVOCATION", "Provocation"},
    {"INSCRIPTION", "Inscription"},
    {"LOCKPICKING", "LockPicking"},
    {"MAGERY", "Magery"},
    {"MAGICRESISTANCE", "MagicResistance"},
    {"TACTICS", "Tactics"},
    {"SNOOPING", "Snooping"},
    {"MUSICIANSHIP", "Musicianship"},
    {"POISONING", "Poisoning"},
    {"ARCHERY", "Archery"},
    {"SPIRITSPEAK", "SpiritSpeak"},
    {"STEALING", "Stealing"},
    {"TAILORING", "Tailoring"},
    {"TAMING", "Taming"},
    {"TASTEID", "TasteID"},
    {"TINKERING", "Tinkering"},
    {"TRACKING", "Tracking"},
    {"VETERINARY", "Veterinary"},
    {"SWORDSMANSHIP", "Swordsmanship"},
    {"MACEFIGHTING", "Macefighting"},
    {"FENCING", "Fencing"},
    {"WRESTLING", "Wrestling"},
    {"LUMBERJACKING", "Lumberjacking"},
    {"MINING", "Mining"},
    {"MEDITATION", "Meditation"},
    {"STEALTH", "Stealth"},
    {"REMOVETRAP", "RemoveTrap"},
    {"NECROMANCY", "Necromancy"},
};
static_assert(std::size(kSkillKeys) == 50);

inline unsigned char Up(char c) { return Cp1252Upper(c); }

bool StartsWith(const std::string& text, std::string_view key) {
  return text.size() >= key.size() && text.compare(0, key.size(), key) == 0;
}

void SetSkill(CharacterRecord& record, std::string_view name, std::string_view value) {
  auto row = std::find_if(record.skills.begin(), record.skills.end(),
                          [&](const auto& r) { return r.first == name; });
  if (value.empty()) {
    if (row != record.skills.end()) record.skills.erase(row);
  } else if (row != record.skills.end()) {
    row->second.assign(value);
  } else {
    record.skills.emplace_back(std::string(name), std::string(value));
  }
}

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to n bytes; fewer only at the end of the data or on a failure.
  virtual std::size_t Read(char* out, std::size_t n) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual bool Failed() const = 0;
  virtual std::string Error() const = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view data) : m_data(data) {}
  std::size_t Read(char* out, std::size_t n) override {
    const std::size_t k = std::min(n, m_data.size() - m_pos);
    std::memcpy(out, m_data.data() + m_pos, k);
    m_pos += k;
    return k;
  }
  bool Seek(std::uint64_t offset) override {
    if (offset > m_data.size()) return false;
    m_pos = static_cast<std::size_t>(offset);
    return true;
  }
  bool Failed() const override { return false; }
  std::string Error() const override { return {}; }

 private:
  std::string_view m_data;
  std::size_t m_pos = 0;
};

class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path) {
    m_file = FOpenSharedForReading(path.native());
    if (!m_file) m_errno = errno;
    m_opened = VersionOf(m_file);
  }
  ~FileSource() override {
    if (m_file) std::fclose(m_file);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool IsOpen() const { return m_file != nullptr; }
  std::size_t Read(char* out, std::size_t n) override {
    const std::size_t k = std::fread(out, 1, n, m_file);
    if (k < n && std::ferror(m_file)) m_errno = errno ? errno : EIO;
    return k;
  }
  bool Seek(std::uint64_t offset) override {
#ifdef _WIN32
    const bool ok = _fseeki64(m_file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    const bool ok = fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
    if (!ok) m_errno = errno ? errno : EIO;
    return ok;
  }
  bool Failed() const override { return m_errno != 0; }
  std::string Error() const override {
    if (m_changed) return ChangedWhileReadingText();
    return std::generic_category().message(m_errno ? m_errno : EIO);
  }
  // A save written in place while we read it could give a record made of two saves.
  bool ChangedSinceOpening() {
    m_changed = VersionOf(m_file) != m_opened;
    return m_changed;
  }

 private:
  std::FILE* m_file = nullptr;
  int m_errno = 0;
  FileVersion m_opened;
  bool m_changed = false;
};

struct SectionSearch {
  bool found = false;
  std::uint64_t sectionStart = 0;  // offset of the last "[" line before the match, else 0
};

// Streams the text once looking for the line that is exactly needle (upper case) and
// remembers where the last section line before it starts. Only the first byte of a line
// can start a section or a serial line, so a block scan picks the few candidate bytes.
SectionSearch FindSection(ByteSource& src, const std::string& needle, std::size_t chunk) {
  const std::size_t len = needle.size();
  std::vector<char> buf(chunk + len + 2);
  std::uint64_t base = 0;  // offset of buf[0] in the text
  std::size_t have = 0;    // bytes held in buf
  std::size_t pos = 0;     // next byte to examine; the byte before it is always kept
  bool eof = false;
  SectionSearch result;

  auto lineStart = [&](std::size_t j) {
    return (base == 0 && j == 0) || buf[j - 1] == '\n' || buf[j - 1] == '\r';
  };
  enum { kGoOn, kMatch, kTextEnd };
  auto examine = [&](std::size_t j) {
    const char c = buf[j];
    if (c == '\0') return kTextEnd;
    if (c == '[') {
      if (lineStart(j)) result.sectionStart = base + j;
      return kGoOn;
    }
    if (Up(c) != 'S' || j + len > have || !lineStart(j)) return kGoOn;
    for (std::size_t k = 1; k < len; ++k) {
      if (Up(buf[j + k]) != static_cast<unsigned char>(needle[k])) return kGoOn;
    }
    if (j + len == have) return eof ? kMatch : kGoOn;
    const char end = buf[j + len];
    return (end == '\r' || end == '\n' || end == '\0') ? kMatch : kGoOn;
  };

  for (;;) {
    if (!eof) {
      const std::size_t keep = pos > 0 ? pos - 1 : 0;
      if (keep > 0) {
        std::memmove(buf.data(), buf.data() + keep, have - keep);
        base += keep;
        have -= keep;
        pos -= keep;
      }
      const std::size_t got = src.Read(buf.data() + have, buf.size() - have);
      if (got == 0) eof = true;
      have += got;
    }
    // A candidate needs its whole line and the byte after it in the buffer.
    std::size_t limit = eof ? have : (have > len + 1 ? have - (len + 1) : 0);
    limit = std::max(limit, pos);
    std::size_t j = pos;
#ifdef KOV_CHARS_SSE2
    const __m128i lowerBit = _mm_set1_epi8(0x20);
    const __m128i s = _mm_set1_epi8('s');
    const __m128i eq = _mm_set1_epi8('=');
    const __m128i open = _mm_set1_epi8('[');
    const __m128i zero = _mm_setzero_si128();
    const std::size_t equalAt = 6;  // "SERIAL=": the "=" follows five letters
    for (; j + 16 <= limit && j + equalAt + 16 <= have; j += 16) {
      const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf.data() + j));
      const __m128i seventh =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf.data() + j + equalAt));
      const __m128i serial = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(first, lowerBit), s),
                                           _mm_cmpeq_epi8(seventh, eq));
      const __m128i any = _mm_or_si128(
          serial, _mm_or_si128(_mm_cmpeq_epi8(first, open), _mm_cmpeq_epi8(first, zero)));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(any));
      while (mask) {
        const int r = examine(j + static_cast<std::size_t>(std::countr_zero(mask)));
        if (r == kMatch) {
          result.found = true;
          return result;
        }
        if (r == kTextEnd) return result;
        mask &= mask - 1;
      }
    }
#endif
    for (; j < limit; ++j) {
      const char c = buf[j];
      if (c != '\0' && c != '[' && Up(c) != 'S') continue;
      const int r = examine(j);
      if (r == kMatch) {
        result.found = true;
        return result;
      }
      if (r == kTextEnd) return result;
    }
    pos = limit;
    if (eof) return result;
  }
}

// Lines of the text from the source's current position: CR LF, CR or LF ends a line and a
// NUL byte ends the text.
class LineReader {
 public:
  LineReader(ByteSource& src, std::size_t chunk)
      : m_src(src), m_buf(std::max<std::size_t>(chunk, 1)) {}

  bool Next(std::string& line) {
    line.clear();
    if (m_textEnded) return false;
    bool started = false;
    for (;;) {
      if (m_pos == m_have) {
        m_pos = 0;
        m_have = m_src.Read(m_buf.data(), m_buf.size());
        if (m_have == 0) {
          m_textEnded = true;
          return started;
        }
      }
      if (m_skipLf) {
        m_skipLf = false;
        if (m_buf[m_pos] == '\n') {
          ++m_pos;
          continue;
        }
      }
      const char* p = m_buf.data() + m_pos;
      const std::size_t n = m_have - m_pos;
      std::size_t k = 0;
      while (k < n && p[k] != '\r' && p[k] != '\n' && p[k] != '\0') ++k;
      line.append(p, k);
      if (k == n) {
        m_pos = m_have;
        started = true;
        continue;
      }
      m_pos += k + 1;
      if (p[k] == '\0') {
        m_textEnded = true;
        return started || k > 0;
      }
      m_skipLf = p[k] == '\r';
      return true;
    }
  }

 private:
  ByteSource& m_src;
  std::vector<char> m_buf;
  std::size_t m_pos = 0;
  std::size_t m_have = 0;
  bool m_skipLf = false;
  bool m_textEnded = false;
};

CharacterReadResult ReadFromSource(ByteSource& src, std::string_view uid, std::size_t chunk) {
  CharacterReadResult result;
  result.status = CharacterFileStatus::UidNotFound;
  chunk = std::max<std::size_t>(chunk, 1);
  auto fail = [&]() {
    result = {};
    result.status = CharacterFileStatus::ReadError;
    result.error = src.Error();
    return result;
  };
  // A line end or NUL inside the uid would otherwise let a serial line plus part of the
  // next line pass for it.
  if (uid.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    return result;
  }
  std::string needle = "SERIAL=";
  needle.append(uid);
  for (char& c : needle) c = static_cast<char>(Up(c));

  const SectionSearch found = FindSection(src, needle, chunk);
  if (src.Failed()) return fail();
  if (!found.found) return result;
  if (!src.Seek(found.sectionStart)) return fail();

  result.status = CharacterFileStatus::Found;
  LineReader reader(src, std::min<std::size_t>(chunk, 64 * 1024));
  std::string line;
  std::string next;
  // The section line itself is skipped; reading ends after the next section line, and the
  // text's last line is never applied (in a server file it is "[EOF]").
  if (reader.Next(line) && reader.Next(line)) {
    while (line.empty() || line[0] != '[') {
      if (!reader.Next(next)) break;
      ApplyCharacterLine(result.record, line);
      line.swap(next);
    }
  }
  if (src.Failed()) return fail();
  return result;
}

}  // namespace

char UpperCp1252(char c) { return static_cast<char>(Up(c)); }

void ApplyCharacterLine(CharacterRecord& record, std::string_view line) {
  std::string upper(line);
  for (char& c : upper) c = static_cast<char>(Up(c));
  for (const GeneralKey& k : kGeneralKeys) {
    if (!StartsWith(upper, k.key)) continue;
    const std::size_t from = k.key.size() + (k.key.back() == '=' ? 0 : 1);
    record.general[k.label].assign(line.substr(std::min(from, line.size())));
  }
  for (const SkillKey& k : kSkillKeys) {
    if (!StartsWith(upper, k.key)) continue;
    const std::size_t from = std::min(k.key.size() + 1, upper.size());
    SetSkill(record, k.name, std::string_view(upper).substr(from));
  }
}

CharacterReadResult ReadCharacterText(std::string_view text, std::string_view uid,
                                      std::size_t chunkSize) {
  MemorySource src(text);
  return ReadFromSource(src, uid, chunkSize);
}

CharacterReadResult ReadCharacterFile(const std::filesystem::path& file, std::string_view uid,
                                      std::size_t chunkSize) {
  std::error_code ec;
  const auto st = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(st) || std::filesystem::is_directory(st)) {
    return {};  // FileMissing
  }
  FileSource src(file);
  if (!src.IsOpen()) {
    CharacterReadResult result;
    result.status = CharacterFileStatus::ReadError;
    result.error = src.Error();
    return result;
  }
  CharacterReadResult result = ReadFromSource(src, uid, chunkSize);
  if (result.status != CharacterFileStatus::ReadError && src.ChangedSinceOpening()) {
    result = {};
    result.status = CharacterFileStatus::ReadError;
    result.error = src.Error();
  }
  return result;
}

}  // namespace kov
