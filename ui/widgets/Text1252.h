#pragma once
// Server bytes are Windows-1252 text on screen.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kov {

QString FromCp1252(std::string_view bytes);
// nullopt when a character has no Windows-1252 byte; *bad receives the first such character.
std::optional<std::string> ToCp1252(const QString& text, QString* bad = nullptr);

}  // namespace kov
