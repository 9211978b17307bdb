// Language files: any bytes are applied or refused, never a crash. No window exists, so
// only the texts are touched; QWidget-free parsing needs no application object.
#include <QByteArray>
#include <QList>
#include <QWidget>
#include <cstdint>

#include "ui/settings/LanguageFile.h"
#include "ui/settings/UiText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    kov::UiText::Instance().RegisterUiTextKeys();
    return true;
  }();
  (void)registered;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  (void)kov::ApplyLanguageDocument(bytes, {});
  (void)kov::UiText::Instance().Text(u"MsgSaved");
  return 0;
}
