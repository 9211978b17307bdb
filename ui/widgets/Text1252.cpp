#include "ui/widgets/Text1252.h"

#include "store/Cp1252.h"

namespace kov {

QString FromCp1252(std::string_view bytes) {
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* d = out.data();
  for (size_t i = 0; i < bytes.size(); ++i)
    d[i] = QChar(static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(bytes[i]))));
  return out;
}

std::optional<std::string> ToCp1252(const QString& text, QString* bad) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) {
    auto b = UnicodeToCp1252(c.unicode());
    if (!b) {
      if (bad) *bad = QString(c);
      return std::nullopt;
    }
    out += static_cast<char>(*b);
  }
  return out;
}

}  // namespace kov
