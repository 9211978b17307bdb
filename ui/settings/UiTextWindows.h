#pragma once
// The windows whose texts follow a language switch. Each window registers its ApplyUiText
// under its place; ApplyAll calls them in that fixed order, whatever order the windows were
// created or registered in, and skips windows that are gone.
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

namespace kov {

class UiTextWindows : public QObject {
  Q_OBJECT

 public:
  enum Place { MainWindow, Preferences, CharacterInfo, NewAccount, InfoBox, DeleteConfirmation };

  explicit UiTextWindows(QObject* parent = nullptr);

  // One routine per place: a second registration for a place replaces the first.
  void Add(Place place, QObject* window, std::function<void()> applyUiText);
  void ApplyAll() const;
  bool Has(Place place) const;

 private:
  struct Entry {
    Place place;
    QPointer<QObject> window;
    std::function<void()> apply;
  };
  std::vector<Entry> m_entries;  // sorted by place
};

}  // namespace kov
