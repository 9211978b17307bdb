#include "ui/main/AppWindows.h"

#include "ui/main/TForm1.h"

namespace kov {

AppWindows::AppWindows(TForm1& form1) {
  (void)form1;
  // Order: new-account dialog, info box, preferences, character window, delete confirmation.
}

AppWindows::~AppWindows() = default;

}  // namespace kov
