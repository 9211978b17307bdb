#pragma once
// Every command of the program, made after the main window in a fixed order and wired here
// and nowhere else: the dialogs they open, and the command classes that carry out the
// actions the main window made (each connects the actions it serves). A language switch
// re-texts the windows in the order of UiTextWindows::Place.
#include <QObject>
#include <memory>
#include <vector>

namespace kov {

class MainWindow;
class RevertCommand;

class Commands {
 public:
  explicit Commands(MainWindow& window);
  ~Commands();

  RevertCommand& Revert() const { return *m_revert; }

 private:
  template <class T>
  T* Add(std::unique_ptr<T> part) {
    T* raw = part.get();
    m_parts.push_back(std::move(part));
    return raw;
  }

  std::vector<std::unique_ptr<QObject>> m_parts;
  RevertCommand* m_revert = nullptr;
};

}  // namespace kov
