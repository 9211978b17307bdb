#pragma once
// The windows the program entry creates after the main window, in their fixed order; each
// one wires its commands into the main window. Every later window registers here.
#include <memory>
#include <vector>

#include <QObject>

namespace kov {

class TForm1;

class AppWindows {
 public:
  explicit AppWindows(TForm1& form1);
  ~AppWindows();

 private:
  std::vector<std::unique_ptr<QObject>> m_parts;
};

}  // namespace kov
