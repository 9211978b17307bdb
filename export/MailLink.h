#pragma once
// The "mailto:" link that starts a mail to an account. Plain C++ so it is tested without a
// desktop.
#include <string>
#include <string_view>

namespace kov {

constexpr const char* kMailSubject = "<mail subject>";
constexpr const char* kMailBody = "dummy";

// The address as the mail program gets it: one surrounding pair of double quotes removed
// (an address read from TAG.EMAIL keeps them in the table).
std::string_view BareMailAddress(std::string_view email);

// UTF-8 bytes with everything but letters, digits, "-._~" and the ones in `keep`
// percent-encoded.
std::string PercentEncode(std::string_view utf8, std::string_view keep = {});

// "mailto:" + address + "?subject=" + subject + "&body=" + body, each percent-encoded, so no
// character of the address can add a recipient or a header. `email` is Windows-1252.
std::string MailtoLink(std::string_view email);

}  // namespace kov
