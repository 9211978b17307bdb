#pragma once
// The windows the program entry creates after the main window, in their fixed order; each
// one wires its commands into the main window. Every later window registers here.
#include <memory>
#include <vector>

#include <QObject>

namespace kov {

class MainWindow;

class AppWindows {
 public:
  explicit AppWindows(MainWindow& form1);
  ~AppWindows();

 private:
  template <class T>
  T* Add(std::unique_ptr<T> part) {
    T* raw = part.get();
    m_parts.push_back(std::move(part));
    return raw;
  }

  std::vector<std::unique_ptr<QObject>> m_parts;
};

}  // namespace kov
