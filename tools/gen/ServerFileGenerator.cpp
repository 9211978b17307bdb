#include "tools/gen/ServerFileGenerator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "store/Files.h"

namespace kovgen {

namespace fs = std::filesystem;

std::uint64_t Random::Next() {
  // splitmix64
  std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint32_t Random::Below(std::uint32_t bound) {
  return static_cast<std::uint32_t>(((Next() >> 32) * bound) >> 32);
}

int Random::Between(int lo, int hi) {
  return lo + static_cast<int>(Below(static_cast<std::uint32_t>(hi - lo + 1)));
}

bool Random::Chance(double percent) {
  return static_cast<double>(Next() >> 11) * (100.0 / 9007199254740992.0) < percent;
}

namespace {

// Streams a file into a temporary file beside the target and renames it at the end, so an
// interrupted run never leaves a truncated server file under the real name.
class OutFile {
 public:
  explicit OutFile(std::string path) : m_path(std::move(path)) {
    m_out.Open(m_path, kov::AtomicFile::Access::AsTheOldFile, m_error);
    m_buffer.reserve(1 << 20);
  }
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;

  bool ok() const { return m_error.empty(); }
  const std::string& error() const { return m_error; }
  const std::string& path() const { return m_path; }
  std::uint64_t bytes() const { return m_written + m_buffer.size(); }

  void Line(std::string_view text) {
    m_buffer.append(text);
    m_buffer.append("\r\n");
    if (m_buffer.size() >= (1 << 20)) Flush();
  }
  void Line(std::string_view key, std::string_view value) {
    m_buffer.append(key);
    m_buffer.push_back('=');
    m_buffer.append(value);
    m_buffer.append("\r\n");
    if (m_buffer.size() >= (1 << 20)) Flush();
  }

  bool Commit() {
    Flush();
    if (ok() && !m_out.Commit(m_error) && m_error.empty()) m_error = "cannot write " + m_path;
    if (!ok()) m_out.Discard();
    return ok();
  }

 private:
  void Flush() {
    if (ok() && !m_buffer.empty()) m_out.Write(m_buffer.data(), m_buffer.size());
    m_written += m_buffer.size();
    m_buffer.clear();
  }

  std::string m_path;
  std::string m_error;
  std::string m_buffer;
  kov::AtomicFile m_out;
  std::uint64_t m_written = 0;
};

// Name material. Some bases carry Windows-1252 letters above 127; a few bases are the
// beginnings of others (green/greenhorn, test/testing) as on a real shard.
const char* const kNameBases[] = {
    "green",
    "test",
    "dragon",
    "shadow",
    "lord",
    "dark",
    "mage",
    "knight",
    "elf",
    "thor",
    "wolf",
    "raven",
    "storm",
    "frost",
    "blade",
    "hunter",
    "ranger",
    "paladin",
    "merlin",
    "arthur",
    "lancelot",
    "anna",
    "maria",
    "klaus",
    "peter",
    "jens",
    "lisa",
    "nina",
    "tom",
    "max",
    "alex",
    "chris",
    "sven",
    "olaf",
    "tina",
    "bella",
    "luna",
    "nova",
    "orc",
    "troll",
    "goblin",
    "titan",
    "viper",
    "ghost",
    "ninja",
    "pirate",
    "wizard",
    "druid",
    "monk",
    "bard",
    "smith",
    "miner",
    "fisher",
    "tamer",
    "healer",
    "archer",
    "rogue",
    "sky",
    "fire",
    "ice",
    "j\xFCrgen",
    "bj\xF6rn",
    "s\xF8ren",
    "jos\xE9",
    "fran\xE7ois",
    "m\xFCller",
    "g\xF6tz",
    "\xE6thelred",
    "sigur\xF0",
    "ma\xEFlys",
    "z\xF6"
    "e",
    "k\xE4the",
    "se\xF1or",
    "andr\xE9",
    "greenhorn",
    "tester",
    "dragonslayer",
    "shadowfax",
    "darkness",
    "mages",
    "knightly",
};
const char* const kNameSuffixes[] = {
    "lord",   "slayer", "blade", "heart", "fire", "stone", "wind", "man", "girl", "boy",
    "master", "killer", "fox",   "star",  "wolf", "rider", "x",    "_jr", "king", "queen",
};
const char* const kSyllables[] = {
    "ka",  "ri",  "to", "mo", "an", "el", "dor", "gar", "lin", "ra",  "sha", "ven",
    "tor", "mir", "za", "ku", "lo", "ne", "bra", "tha", "gil", "wen", "ys",  "or",
};
// Always present on a shard of some size: exact names that others merely begin with.
const char* const kForcedNames[] = {"green", "Green12", "greenhorn", "test",  "testing",
                                    "Test2", "tester",  "bob",       "Bobby", "bobby1"};

const char* const kDomains[] = {"example.org", "example.net", "example.com", "mail.example.org",
                                "users.example.net"};
const char* const kLanguages[] = {"ENU", "ENU", "ENU", "ENU", "DEU", "DEU", "DEU",
                                  "FRA", "ESP", "JPN", "KOR", "CHT", "enu", "PLK"};
const char* const kComments[] = {
    "\"speedhack, warned 2x\"",
    "\"banned: gold duping\"",
    "\"GM Anw\xE4rter\"",
    "\"Spieler aus M\xFCnchen\"",
    "returning player",
    "\"donated for the server hardware\"",
    "\"multi of green12?\"",
    "\"complained about lag, check host\"",
    "\"\"",
    "\"",
    "\"talk to Seer before unjailing\"",
    "\"Lehrer, bitte h\xF6"
    "flich bleiben\"",
    "\"shares house with \\\"Raven\\\"\"",
    "event winner 2019",
    "\"caf\xE9 owner in Vesper\"",
    "\"wants T2A back\"",
};
const char* const kBlockComments[] = {
    "\"banned: macroing unattended\"",      "\"banned: exploit report ignored\"", "\"chargeback\"",
    "\"abusive language in general chat\"", "\"gesperrt wegen Bel\xE4stigung\"",
};
const char* const kCharFirstNames[] = {
    "Aldric",
    "Brenna",
    "Cedric",
    "Daria",
    "Eldon",
    "Fiona",
    "Gareth",
    "Helga",
    "Ivor",
    "Jora",
    "Kael",
    "Lyra",
    "Marek",
    "Nessa",
    "Orin",
    "Petra",
    "Quinn",
    "Rurik",
    "Sable",
    "Tamsin",
    "Ulric",
    "Vala",
    "Wulf",
    "Xera",
    "Yorick",
    "Zora",
    "Bj\xF6rn",
    "S\xF8ren",
    "\xC6lfric",
    "Ren\xE9"
    "e",
    "J\xFCrgen",
    "Sigur\xF0",
    "Ma\xEBl",
    "In\xE9s",
    "Fran\xE7oise",
    "Gr\xE1inne",
    "Lord Vex",
    "Lady Mirth",
    "Old Tom",
};
const char* const kCharTitles[] = {
    "the Blacksmith", "the Mage",     "the Warrior",       "the Thief",  "the Bard", "the Healer",
    "the Tamer",      "the Merchant", "Grandmaster Smith", "the Scribe", "of Yew",   "the Wanderer",
};
const char* const kBodies[] = {"c_man", "c_man", "c_woman", "c_woman", "c_elf_man", "c_elf_woman"};
// The skill keys of the character window, in the spelling a server writes them.
const char* const kSkills[] = {
    "Alchemy",       "Anatomy",         "AnimalLore",    "ItemID",      "ArmsLore",
    "Parrying",      "Begging",         "Blacksmithing", "Bowcraft",    "Peacemaking",
    "Camping",       "Carpentry",       "Cartography",   "Cooking",     "DetectingHidden",
    "Enticement",    "EvaluatingIntel", "Healing",       "Fishing",     "Forensics",
    "Herding",       "Hiding",          "Provocation",   "Inscription", "LockPicking",
    "Magery",        "MagicResistance", "Tactics",       "Snooping",    "Musicianship",
    "Poisoning",     "Archery",         "SpiritSpeak",   "Stealing",    "Tailoring",
    "Taming",        "TasteID",         "Tinkering",     "Tracking",    "Veterinary",
    "Swordsmanship", "Macefighting",    "Fencing",       "Wrestling",   "Lumberjacking",
    "Mining",        "Meditation",      "Stealth",       "RemoveTrap",  "Necromancy",
};
const char* const kGroundItems[] = {"i_gold",      "i_deco_barrel",  "i_log",        "i_ingot_iron",
                                    "i_bandage",   "i_reag_ginseng", "i_chair_wood", "i_lamp_post",
                                    "i_sign_shop", "i_door_wood",    "i_tree_oak",   "i_rock"};
const char* const kWornItems[] = {"i_backpack",    "i_hair_long",     "i_beard_short",
                                  "i_shirt_plain", "i_pants_long",    "i_boots",
                                  "i_robe",        "i_cloak",         "i_bankbox",
                                  "i_sword_long",  "i_shield_heater", "i_spellbook"};

const char* const kLevelNames[] = {"Guest", "Player", "Counselor", "Seer",
                                   "GM",    "Dev",    "Admin",     "Owner"};

struct Account {
  std::string name;
  std::string password;
  int level = 1;
  bool writeLevel = true;
  std::string priv;  // as in the file, empty: no PRIV line
  int block = 0;
  int jail = 0;
  bool writeBlockJail = false;
  std::string emailKey;  // "TAG.EMAIL", "EMAIL" or empty
  std::string email;     // as in the file (quotes included for TAG.EMAIL)
  std::string chatname;
  std::string lang;
  std::string comment;  // as in the file
  bool connected = false;
  int firstDay = 0;
  int lastDay = 0;
  int firstMinute = 0;
  int lastMinute = 0;
  bool isoDates = false;
  int totalConnect = 0;
  int lastConnect = 0;
  std::vector<std::uint32_t> charUids;
  std::string lastCharUid;
  std::string lastIp;
  std::string firstIp;
};

// Days since 1970-01-01 <-> civil date (proleptic Gregorian).
int DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int z, int& y, int& m, int& d) {
  z += 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = yoe + era * 400;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

std::string FormatDate(int day, int minute, bool iso) {
  int y = 0;
  int m = 0;
  int d = 0;
  CivilFromDays(day, y, m, d);
  char buf[64];
  if (iso)
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", y, m, d, minute / 60, minute % 60);
  else
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", y, m, d);
  return buf;
}

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string Capitalised(std::string s) {
  if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s;
}

std::string Ip(Random& r) {
  char buf[32];
  switch (r.Below(6)) {
    case 0:
      std::snprintf(buf, sizeof buf, "10.%d.%d.%d", r.Between(0, 255), r.Between(0, 255),
                    r.Between(1, 254));
      break;
    case 1:
      std::snprintf(buf, sizeof buf, "192.168.%d.%d", r.Between(0, 255), r.Between(1, 254));
      break;
    case 2:
      std::snprintf(buf, sizeof buf, "172.%d.%d.%d", r.Between(16, 31), r.Between(0, 255),
                    r.Between(1, 254));
      break;
    case 3:
      std::snprintf(buf, sizeof buf, "192.0.2.%d", r.Between(1, 254));
      break;
    case 4:
      std::snprintf(buf, sizeof buf, "198.51.100.%d", r.Between(1, 254));
      break;
    default:
      std::snprintf(buf, sizeof buf, "203.0.113.%d", r.Between(1, 254));
      break;
  }
  return buf;
}

std::string Password(Random& r, int minLen, int maxLen) {
  static const char kChars[] = "abcdefghijkmnopqrstuvwxyz0123456789ABCDEFGHJKLMNPQRSTUVWXYZ";
  const int len = r.Between(minLen, maxLen);
  const bool mixed = r.Chance(30);
  std::string s;
  for (int i = 0; i < len; ++i) s.push_back(kChars[r.Below(mixed ? sizeof kChars - 1 : 35)]);
  return s;
}

// ASCII letters and digits of a name, for e-mail local parts.
std::string AsciiPart(const std::string& name) {
  std::string s;
  for (char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      s.push_back(c);
    else if (c >= 'A' && c <= 'Z')
      s.push_back(static_cast<char>(c - 'A' + 'a'));
  }
  return s.empty() ? std::string("player") : s;
}

class NameMaker {
 public:
  explicit NameMaker(Random& r) : m_r(r) {}

  bool Reserve(const std::string& name) { return m_used.insert(Lower(name)).second; }

  // lettersAndDigits: the new-account dialog's rule (at least 4 characters).
  std::string Make(bool lettersAndDigits) {
    for (int attempt = 0; attempt < 40; ++attempt) {
      std::string name = Candidate(lettersAndDigits);
      if (lettersAndDigits && name.size() < 4) continue;
      if (Reserve(name)) return name;
    }
    for (;;) {
      std::string name = "player" + std::to_string(++m_fallback);
      if (Reserve(name)) return name;
    }
  }

 private:
  std::string Candidate(bool lettersAndDigits) {
    std::string base = m_r.Pick(kNameBases);
    if (lettersAndDigits) base = AsciiPart(base);
    const std::uint32_t kind = m_r.Below(100);
    std::string name;
    if (kind < 18) {
      name = base;
    } else if (kind < 55) {
      name = base + std::to_string(m_r.Chance(30) ? m_r.Between(1970, 2012) : m_r.Between(1, 999));
    } else if (kind < 80) {
      std::string suffix = m_r.Pick(kNameSuffixes);
      if (lettersAndDigits) suffix = AsciiPart(suffix);
      name = m_r.Chance(50) ? base + suffix : Capitalised(base) + Capitalised(suffix);
      if (m_r.Chance(30)) name += std::to_string(m_r.Between(1, 99));
    } else {
      const int n = m_r.Between(2, 4);
      for (int i = 0; i < n; ++i) name += m_r.Pick(kSyllables);
      if (m_r.Chance(20)) name += std::to_string(m_r.Between(1, 9));
    }
    const std::uint32_t letterCase = m_r.Below(100);
    if (letterCase < 35)
      name = Capitalised(name);
    else if (letterCase < 38)
      for (char& c : name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return name;
  }

  Random& m_r;
  std::unordered_set<std::string> m_used;
  unsigned m_fallback = 0;
};

// The last day any generated connection can have: keeps the output independent of the clock.
const int kFirstDay = DaysFromCivil(2002, 1, 1);
const int kLastDay = DaysFromCivil(2026, 11, 30);

int PickLevel(Random& r) {
  // A shard has few staff accounts, but enough of each level for every filter to show some.
  const std::uint32_t x = r.Below(10000);
  if (x < 300) return 0;
  if (x < 9872) return 1;
  if (x < 9922) return 2;
  if (x < 9952) return 3;
  if (x < 9982) return 4;
  if (x < 9992) return 5;
  if (x < 9998) return 6;
  return 7;
}

std::string PrivText(Random& r, std::uint32_t bits) {
  char buf[16];
  const std::uint32_t style = r.Below(10);
  if (style < 7)
    std::snprintf(buf, sizeof buf, "%04x", bits);
  else if (style < 9)
    std::snprintf(buf, sizeof buf, "%04X", bits);
  else
    std::snprintf(buf, sizeof buf, "%x", bits);
  return buf;
}

std::uint32_t PrivBits(Random& r, int level) {
  static const std::uint32_t kPlayer[] = {0x0, 0x0, 0x0200, 0x0100, 0x0300, 0x1000, 0x1100, 0x1200};
  switch (level) {
    case 0:
    case 1:
      return r.Pick(kPlayer);
    case 2:
      return 0x0004 | 0x0008 | 0x0200 | (r.Chance(50) ? 0x0100u : 0u);
    case 3:
      return 0x0004 | 0x0008 | 0x0010 | 0x0200 | (r.Chance(50) ? 0x0400u : 0u);
    case 4:
      return 0x0002 | 0x0008 | 0x0010 | 0x0020 | 0x0200 | 0x0400 | (r.Chance(30) ? 0x0040u : 0u);
    case 5:
      return 0x0002 | 0x0008 | 0x0010 | 0x0020 | 0x0040 | 0x0080 | 0x0200 | 0x0400;
    default:
      return 0x0001 | 0x0002 | 0x0008 | 0x0010 | 0x0020 | 0x0200 | 0x0400 | 0x4000 |
             (r.Chance(20) ? 0x10000u : 0u);
  }
}

Account MakeAccount(Random& r, std::string name, int level, std::uint32_t& nextUid) {
  Account a;
  a.name = std::move(name);
  a.level = level;
  a.password = Password(r, 6, 12);
  a.writeLevel = level != 1 || r.Chance(85);
  a.block = r.Chance(2) ? 1 : 0;
  a.jail = !a.block && r.Chance(1) ? 1 : 0;
  a.writeBlockJail = a.block || a.jail || r.Chance(5);
  std::uint32_t bits = PrivBits(r, level);
  if (a.block && r.Chance(60)) bits |= 0x2000;
  if (a.jail && r.Chance(60)) bits |= 0x0800;
  if (bits != 0 || r.Chance(75)) a.priv = PrivText(r, bits);

  const std::uint32_t mail = r.Below(100);
  if (mail < 84) {
    std::string address = AsciiPart(a.name);
    if (r.Chance(40)) address += std::to_string(r.Between(1, 99));
    address += "@";
    address += r.Pick(kDomains);
    if (mail < 68) {
      a.emailKey = "TAG.EMAIL";
      a.email = "\"" + address + "\"";
    } else if (mail < 71) {
      a.emailKey = "TAG.EMAIL";
      a.email = address;
    } else {
      a.emailKey = "EMAIL";
      a.email = address;
    }
  }
  if (r.Chance(8))
    a.chatname = r.Chance(50) ? Capitalised(a.name)
                              : AsciiPart(a.name) + "_" + std::to_string(r.Between(1, 9));
  if (r.Chance(65)) a.lang = r.Pick(kLanguages);
  if (a.block && r.Chance(70))
    a.comment = r.Pick(kBlockComments);
  else if (r.Chance(11))
    a.comment = r.Pick(kComments);

  a.connected = r.Chance(level >= 2 ? 99 : 92);
  if (a.connected) {
    a.firstDay =
        kFirstDay + static_cast<int>(r.Below(static_cast<std::uint32_t>(kLastDay - kFirstDay + 1)));
    const int span = kLastDay - a.firstDay;
    // Most players come back within a few months; some stay for years.
    const int back = r.Chance(70) ? r.Between(0, std::min(span, 120)) : r.Between(0, span);
    a.lastDay = a.firstDay + back;
    a.firstMinute = r.Between(0, 1439);
    a.lastMinute = r.Between(0, 1439);
    a.isoDates = r.Chance(60);
    a.totalConnect = r.Chance(20) ? r.Between(0, 300) : r.Between(300, 150000);
    a.lastConnect = r.Between(1, 600);
    a.lastIp = Ip(r);
    a.firstIp = r.Chance(30) ? a.lastIp : Ip(r);
    const std::uint32_t c = r.Below(100);
    const int count = c < 8 ? 0 : c < 38 ? 1 : c < 66 ? 2 : c < 84 ? 3 : c < 93 ? 4 : 5;
    for (int i = 0; i < count; ++i) {
      nextUid += static_cast<std::uint32_t>(r.Between(1, 6));
      a.charUids.push_back(nextUid);
    }
    if (!a.charUids.empty() && r.Chance(85))
      a.lastCharUid = Hex(a.charUids[r.Below(static_cast<std::uint32_t>(a.charUids.size()))]);
    else if (r.Chance(30))
      a.lastCharUid = Hex(nextUid + 1);  // a character deleted since
  }
  return a;
}

void WriteAccount(OutFile& out, const Account& a) {
  out.Line("[" + a.name + "]");
  if (a.writeLevel) out.Line("PLEVEL", std::to_string(a.level));
  if (!a.priv.empty()) out.Line("PRIV", a.priv);
  out.Line("PASSWORD", a.password);
  if (a.connected) {
    out.Line("TOTALCONNECTTIME", std::to_string(a.totalConnect));
    out.Line("LASTCONNECTTIME", std::to_string(a.lastConnect));
    out.Line("FIRSTCONNECTDATE", FormatDate(a.firstDay, a.firstMinute, a.isoDates));
    out.Line("LASTCONNECTDATE", FormatDate(a.lastDay, a.lastMinute, a.isoDates));
  }
  if (!a.lastCharUid.empty()) out.Line("LASTCHARUID", a.lastCharUid);
  for (std::uint32_t uid : a.charUids) out.Line("CHARUID", Hex(uid));
  if (a.connected) {
    out.Line("LASTIP", a.lastIp);
    out.Line("FIRSTIP", a.firstIp);
  }
  if (!a.chatname.empty()) out.Line("CHATNAME", a.chatname);
  if (!a.lang.empty()) out.Line("LANG", a.lang);
  if (!a.emailKey.empty()) out.Line(a.emailKey, a.email);
  if (!a.comment.empty()) out.Line("TAG.COMMENT", a.comment);
  if (a.writeBlockJail) {
    out.Line("BLOCK", std::to_string(a.block));
    out.Line("JAIL", std::to_string(a.jail));
  }
  out.Line("");
}

// What the account reader holds for a TAG.COMMENT value: one leading and one trailing quote
// removed.
std::string HeldComment(std::string c) {
  if (!c.empty() && c.front() == '"') c.erase(0, 1);
  if (!c.empty() && c.back() == '"') c.pop_back();
  return c;
}

std::string BareEmail(std::string e) {
  if (e.size() >= 2 && e.front() == '"' && e.back() == '"') return e.substr(1, e.size() - 2);
  return e;
}

void WriteUpdateSection(OutFile& out, const std::string& name, const std::string& level,
                        const std::string& priv, int block, int jail, const std::string& password,
                        const std::string& chatname, const std::string& lang,
                        const std::string& email, const std::string& comment) {
  out.Line("[" + name + "]");
  out.Line("PLEVEL", level);
  out.Line("PRIV", priv);
  out.Line(block == 1 ? "BLOCK=1" : "BLOCK=0");
  out.Line(jail == 1 ? "JAIL=1" : "JAIL=0");
  out.Line("PASSWORD", password);
  out.Line("CHATNAME", chatname);
  if (!lang.empty()) out.Line("LANG", lang);
  out.Line("EMAIL", email);
  out.Line("TAG.COMMENT", comment);
  out.Line("");
}

void WriteChangedAccount(OutFile& out, Random& r, Account a) {
  bool changed = false;
  if (r.Chance(70)) {
    a.password = Password(r, 6, 10);
    changed = true;
  }
  if (r.Chance(20)) {
    a.email = AsciiPart(a.name) + ".new@" + r.Pick(kDomains);
    changed = true;
  }
  if (r.Chance(10)) {
    a.level = std::min(7, a.level + 1);
    changed = true;
  }
  if (r.Chance(10)) {
    a.block = a.block == 1 ? 0 : 1;
    a.comment = a.block ? r.Pick(kBlockComments) : std::string();
    changed = true;
  }
  if (r.Chance(5)) {
    a.jail = a.jail == 1 ? 0 : 1;
    changed = true;
  }
  if (!changed) a.password = Password(r, 6, 10);
  WriteUpdateSection(out, a.name, kLevelNames[a.level], a.priv.empty() ? std::string("0") : a.priv,
                     a.block, a.jail, a.password, a.chatname, a.lang, BareEmail(a.email),
                     HeldComment(a.comment));
}

void WriteWornItems(OutFile& out, Random& r, std::uint32_t owner, std::uint32_t& nextItem) {
  const int n = r.Between(1, 5);
  for (int i = 0; i < n; ++i) {
    nextItem += static_cast<std::uint32_t>(r.Between(1, 3));
    out.Line(std::string("[WORLDITEM ") + r.Pick(kWornItems) + "]");
    out.Line("SERIAL", Hex(nextItem));
    out.Line("CONT", Hex(owner));
    out.Line("LAYER", std::to_string(r.Between(1, 29)));
    if (r.Chance(40)) out.Line("COLOR", Hex(static_cast<std::uint32_t>(r.Between(0x0400, 0x0900))));
    out.Line("P", "0,0,0");
    out.Line("");
  }
}

void WriteGroundItem(OutFile& out, Random& r, std::uint32_t& nextItem) {
  nextItem += static_cast<std::uint32_t>(r.Between(1, 3));
  out.Line(std::string("[WORLDITEM ") + r.Pick(kGroundItems) + "]");
  out.Line("SERIAL", Hex(nextItem));
  if (r.Chance(30)) out.Line("AMOUNT", std::to_string(r.Between(2, 5000)));
  if (r.Chance(30)) out.Line("ATTR", Hex(static_cast<std::uint32_t>(r.Between(0x10, 0x90))));
  out.Line("P", std::to_string(r.Between(0, 6143)) + "," + std::to_string(r.Between(0, 4095)) +
                    "," + std::to_string(r.Between(-5, 40)));
  out.Line("");
}

std::string Coordinates(Random& r) {
  return std::to_string(r.Between(200, 6000)) + "," + std::to_string(r.Between(100, 4000)) + "," +
         std::to_string(r.Between(-5, 40));
}

void WriteCharacter(OutFile& out, Random& r, std::uint32_t uid, const std::string& account) {
  const char* body = r.Pick(kBodies);
  out.Line(std::string("[WORLDCHAR ") + body + "]");
  out.Line("SERIAL", Hex(uid));
  std::string name = r.Pick(kCharFirstNames);
  out.Line("NAME", name);
  if (r.Chance(45)) out.Line("TITLE", r.Pick(kCharTitles));
  out.Line("OBODY", body);
  const std::string skin = Hex(static_cast<std::uint32_t>(r.Between(0x83ea, 0x8422)));
  out.Line("OSKIN", skin);
  out.Line("COLOR", skin);
  out.Line("DIR", std::to_string(r.Between(0, 7)));
  out.Line("FLAGS", Hex(static_cast<std::uint32_t>(r.Chance(80) ? 0x80 : 0x280)));
  out.Line("ACCOUNT", account);
  out.Line("CREATE", Hex(static_cast<std::uint32_t>(r.Next() & 0x3ffffff)));
  const std::string where = Coordinates(r);
  out.Line("P", where);
  out.Line("HOME", r.Chance(50) ? where : Coordinates(r));
  out.Line("FONT", "3");
  out.Line("FAME", std::to_string(r.Between(0, 10000)));
  out.Line("KARMA", std::to_string(r.Between(-10000, 10000)));
  out.Line("DEATHS", std::to_string(r.Chance(50) ? 0 : r.Between(1, 400)));
  out.Line("KILLS", std::to_string(r.Chance(80) ? 0 : r.Between(1, 50)));
  out.Line("FOOD", std::to_string(r.Between(0, 60)));
  out.Line("SKILLCLASS", std::to_string(r.Chance(90) ? 0 : r.Between(1, 5)));
  const int str = r.Between(10, 100);
  const int dex = r.Between(10, 100);
  const int intel = r.Between(10, 100);
  out.Line("STR", std::to_string(str));
  if (r.Chance(30)) out.Line("OSTR", std::to_string(std::max(10, str - r.Between(0, 10))));
  out.Line("DEX", std::to_string(dex));
  if (r.Chance(30)) out.Line("ODEX", std::to_string(std::max(10, dex - r.Between(0, 10))));
  out.Line("INT", std::to_string(intel));
  if (r.Chance(30)) out.Line("OINT", std::to_string(std::max(10, intel - r.Between(0, 10))));
  out.Line("HITS", std::to_string(str));
  out.Line("STAM", std::to_string(dex));
  out.Line("MANA", std::to_string(intel));
  const int skills = r.Between(5, 18);
  const std::uint32_t first = r.Below(50);
  for (int i = 0; i < skills; ++i) {
    std::string key = kSkills[(first + static_cast<std::uint32_t>(i) * 7) % 50];
    if (r.Chance(3))
      for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out.Line(key, std::to_string(r.Chance(20) ? r.Between(900, 1000) : r.Between(0, 900)));
  }
  out.Line("");
}

}  // namespace

GeneratorReport GenerateServerFiles(const GeneratorOptions& options) {
  GeneratorReport report;
  std::error_code ec;
  fs::create_directories(options.outDir, ec);
  if (ec) {
    report.error = "cannot create " + options.outDir + ": " + ec.message();
    return report;
  }

  Random r(options.seed * 0x2545F4914F6CDD1Dull + 0x1234567ull);
  NameMaker names(r);
  const std::uint32_t n = options.accounts;

  // Names first, so the forced look-alikes can sit at random places among them.
  std::vector<std::string> accountNames;
  accountNames.reserve(n);
  if (n > 0) {
    names.Reserve("admin");
    accountNames.push_back("admin");
  }
  std::vector<std::string> forced;
  if (n >= 20) {
    for (const char* f : kForcedNames) {
      names.Reserve(f);
      forced.emplace_back(f);
    }
  }
  while (accountNames.size() < n) accountNames.push_back(names.Make(false));
  std::vector<bool> holdsForced(n, false);
  for (const std::string& f : forced) {
    std::uint32_t at = 1 + r.Below(n - 1);
    while (holdsForced[at]) at = 1 + r.Below(n - 1);
    holdsForced[at] = true;
    accountNames[at] = f;  // the replaced name stays reserved, so nothing can clash with it
  }

  // Accounts that the update file changes, chosen up front so the stream can keep copies.
  const std::uint32_t changedCount = std::min(n, options.updates / 2);
  const std::uint32_t newCount = options.updates - changedCount;
  // Own stream, so the account file is the same whether or not updates are asked for.
  Random pick(options.seed ^ 0x5851F42D4C957F2Dull);
  std::vector<bool> isChanged(n, false);
  for (std::uint32_t k = 0; k < changedCount;) {
    const std::uint32_t i = pick.Below(n);
    if (!isChanged[i]) {
      isChanged[i] = true;
      ++k;
    }
  }

  const fs::path outDir(options.outDir);
  fs::path saveDir =
      options.saveDir.empty() ? fs::absolute(outDir).lexically_normal() : fs::path(options.saveDir);
  if (options.saveDir.empty()) {
    if (!saveDir.has_filename()) saveDir = saveDir.parent_path();
    saveDir = saveDir.parent_path() / "save";
  }
  const bool chars = options.chars || options.charsSizeMb > 0;
  std::unique_ptr<OutFile> charFile;
  std::uint64_t targetCharBytes = static_cast<std::uint64_t>(options.charsSizeMb * 1024.0 * 1024.0);
  std::uint64_t totalCharsEstimate = static_cast<std::uint64_t>(n) * 2 + 1;
  std::uint32_t nextItem = 0x40000000u + r.Below(0x1000);
  if (chars) {
    fs::create_directories(saveDir, ec);
    if (ec) {
      report.error = "cannot create " + saveDir.string() + ": " + ec.message();
      return report;
    }
    charFile = std::make_unique<OutFile>((saveDir / "vornexchars.scp").string());
    if (!charFile->ok()) {
      report.error = charFile->error();
      return report;
    }
    charFile->Line("//VornexServer world save, characters and items");
  }
  // The character file gets its own random stream so that adding it leaves the account file
  // unchanged.
  Random cr(options.seed ^ 0xC3A5C85C97CB3127ull);

  OutFile accounts((outDir / "VornexAccu.scp").string());
  if (!accounts.ok()) {
    report.error = accounts.error();
    return report;
  }
  accounts.Line("//VornexServer account file");
  accounts.Line("//the server rewrites this file at every world save");
  accounts.Line("");

  std::vector<Account> changed;
  std::uint32_t nextUid = 0x10000u + r.Below(0x100);
  for (std::uint32_t i = 0; i < n; ++i) {
    const int level = i == 0 ? 7 : PickLevel(r);
    Account a = MakeAccount(r, accountNames[i], level, nextUid);
    WriteAccount(accounts, a);
    if (charFile) {
      for (std::size_t c = 0; c < a.charUids.size(); ++c) {
        // A few characters were deleted in game but are still listed by the account.
        if (i > 0 && cr.Chance(1)) continue;
        WriteCharacter(*charFile, cr, a.charUids[c], a.name);
        WriteWornItems(*charFile, cr, a.charUids[c], nextItem);
        ++report.characters;
        // Spread the world's other items between the characters, up to the wanted size.
        const std::uint64_t due =
            targetCharBytes * std::min(report.characters, totalCharsEstimate) / totalCharsEstimate;
        while (charFile->bytes() < due) WriteGroundItem(*charFile, cr, nextItem);
      }
    }
    if (isChanged[i]) changed.push_back(std::move(a));
  }
  accounts.Line("[EOF]");
  if (!accounts.Commit()) {
    report.error = accounts.error();
    return report;
  }
  report.files.push_back(accounts.path() + " (" + std::to_string(accounts.bytes()) + " bytes, " +
                         std::to_string(n) + " accounts)");

  if (charFile) {
    while (charFile->bytes() + 7 < targetCharBytes) WriteGroundItem(*charFile, cr, nextItem);
    charFile->Line("[EOF]");
    if (!charFile->Commit()) {
      report.error = charFile->error();
      return report;
    }
    report.files.push_back(charFile->path() + " (" + std::to_string(charFile->bytes()) +
                           " bytes, " + std::to_string(report.characters) + " characters)");
  }

  if (options.updates > 0) {
    OutFile updates((outDir / "VornexAcct.scp").string());
    if (!updates.ok()) {
      report.error = updates.error();
      return report;
    }
    updates.Line("//created with Vornex Account Manager (KOV)");
    Random ur(options.seed ^ 0x9AE16A3B2F90404Full);
    for (const Account& a : changed) WriteChangedAccount(updates, ur, a);
    for (std::uint32_t k = 0; k < newCount; ++k) {
      const std::string name = names.Make(true);
      const std::uint32_t kind = ur.Below(100);
      const char* level = kind < 60   ? "Guest"
                          : kind < 95 ? "Player"
                          : kind < 98 ? "GM"
                                      : "Developer";
      std::string email;
      if (ur.Chance(60)) email = Lower(name) + "@" + ur.Pick(kDomains);
      WriteUpdateSection(updates, name, level, "0", 0, 0, Password(ur, 6, 6), "", "", email, "");
    }
    if (!updates.Commit()) {
      report.error = updates.error();
      return report;
    }
    report.files.push_back(updates.path() + " (" + std::to_string(updates.bytes()) + " bytes, " +
                           std::to_string(changed.size()) + " changed, " +
                           std::to_string(newCount) + " new)");
  }
  report.ok = true;
  return report;
}

}  // namespace kovgen
