#include "ui/settings/UiTextWindows.h"

#include <algorithm>

namespace kov {

UiTextWindows::UiTextWindows(QObject* parent) : QObject(parent) {}

void UiTextWindows::Add(Place place, QObject* window, std::function<void()> applyUiText) {
  auto it = std::lower_bound(m_entries.begin(), m_entries.end(), place,
                             [](const Entry& e, Place p) { return e.place < p; });
  if (it != m_entries.end() && it->place == place) {
    *it = Entry{place, window, std::move(applyUiText)};
    return;
  }
  m_entries.insert(it, Entry{place, window, std::move(applyUiText)});
}

void UiTextWindows::ApplyAll() const {
  // A routine may register or drop windows; walk a copy.
  const std::vector<Entry> entries = m_entries;
  for (const Entry& e : entries)
    if (e.window && e.apply) e.apply();
}

bool UiTextWindows::Has(Place place) const {
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [place](const Entry& e) { return e.place == place && e.window; });
}

}  // namespace kov
