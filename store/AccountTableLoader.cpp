#include <algorithm>

#include "store/AccountTable.h"
#include "store/NameHash.h"

namespace kov {

namespace {
constexpr char kNoFlags[] = "$0";
}

std::pair<void*, size_t> AccountTable::UnusedRowStorage(size_t rows) {
  const size_t n = std::min(rows, m_rows.capacity() - m_rows.size());
  return {m_rows.data() + m_rows.size(), n * sizeof(Row)};
}

AccountTable::Loader::Loader(AccountTable& table) : m_table(table) {
  if (table.m_state != State::Browse) table.Post();
  m_base = table.m_lastAdoptedBase;
  m_size = table.m_adopted.empty() ? 0 : table.m_bufferSize[table.m_lastAdopted];
  m_buf = table.m_lastAdopted;
  m_player = table.RefInBuffers(kPLevelNames[1]);
  m_noFlags = table.RefInBuffers(kNoFlags);
}

void AccountTable::Loader::BeginRow(std::string_view name, int status) {
  Store();
  AccountTable& t = m_table;
  m_id = static_cast<RowId>(t.m_rows.size());
  t.m_rows.emplace_back();
  m_row = &t.m_rows.back();
  t.m_viewPos.push_back(-1);
  t.m_order.push_back(m_id);
  SetText(dbaccount, name);
  m_row->text[SlotOf(dbplevel)] = m_player;
  m_row->text[SlotOf(dbpriv)] = m_noFlags;
  m_row->ints[SlotOf(dbblock)] = 0;
  m_row->ints[SlotOf(dbjail)] = 0;
  m_row->ints[SlotOf(dbstatus)] = status;
  m_row->ints[SlotOf(dbcounter)] = -1;
  m_row->nullMask = 0;
  // The name as stored: cut to the field's capacity.
  const std::string_view stored =
      name.substr(0, static_cast<size_t>(kFieldInfos[dbaccount].capacity));
  t.m_nameHash.push_back(stored.empty() ? 0 : detail::NameHash(stored));
  if (!t.m_nameSlots.empty() && !stored.empty()) t.IndexAdd(m_id);
  // Like a row appended by hand: in the view and current while it is filled.
  t.m_viewPos[m_id] = static_cast<std::int32_t>(t.m_view.size());
  t.m_view.push_back(m_id);
  t.m_current = m_id;
  t.m_state = State::Insert;
  t.m_eof = false;
}

void AccountTable::Loader::SetOutside(Field f, std::string_view value) {
  const size_t cap = static_cast<size_t>(FieldInfoOf(f).capacity);
  m_row->text[SlotOf(f)] = m_table.RefInBuffers(value.substr(0, cap));
}

void AccountTable::Loader::Store() {
  if (!m_row) return;
  AccountTable& t = m_table;
  const RowId row = m_id;
  m_row = nullptr;
  t.m_state = State::Browse;
  for (auto* l : t.m_listeners) l->AfterPost(row);
  if (!t.Accepts(row) && !t.m_view.empty() && t.m_view.back() == row) {
    t.m_view.pop_back();
    t.m_viewPos[row] = -1;
    if (t.m_current == row) {
      t.m_current = t.m_view.empty() ? kNoRow : t.m_view.back();
      t.m_eof = t.m_view.empty();
    }
  }
}

void AccountTable::Loader::Finish() { Store(); }

}  // namespace kov
