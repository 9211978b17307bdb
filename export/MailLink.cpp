#include "export/MailLink.h"

#include "store/Cp1252.h"

namespace kov {

std::string_view BareMailAddress(std::string_view email) {
  if (email.size() >= 2 && email.front() == '"' && email.back() == '"')
    return email.substr(1, email.size() - 2);
  return email;
}

std::string PercentEncode(std::string_view utf8, std::string_view keep) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size() * 3);
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' ||
                       (c != 0 && keep.find(ch) != std::string_view::npos);
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string MailtoLink(std::string_view email) {
  std::string link = "mailto:";
  // "@" stays readable: mail programs take the address as written.
  link += PercentEncode(Cp1252ToUtf8(BareMailAddress(email)), "@");
  link += "?subject=";
  link += PercentEncode(kMailSubject);
  link += "&body=";
  link += PercentEncode(kMailBody);
  return link;
}

}  // namespace kov
