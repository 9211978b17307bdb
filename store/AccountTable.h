#pragma once
// The one in-memory table of accounts. Texts are Windows-1252 bytes, held as views into
// blocks the table owns (a loaded file's bytes are adopted whole, edits are copied into an
// arena), so 100,000 rows cost little more than the file itself.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kov {

enum Field : int {
  dbaccount,
  dbpasswort,
  dbemail,
  dbplevel,
  dbchatname,
  dblanguage,
  dbcommend,
  dbpriv,
  dbblock,
  dbjail,
  dbtotalct,
  dblastct,
  dbfirstcd,
  dblastcd,
  dblastcuid,
  dbcharuid1,
  dbcharuid2,
  dbcharuid3,
  dbcharuid4,
  dbcharuid5,
  dblastip,
  dbfirstip,
  dbstatus,
  dbcounter,
};
constexpr int kFieldCount = 24;

struct FieldInfo {
  const char* name;
  bool isInteger;
  int capacity;  // bytes for texts, 0 for integers
};
// What each field is, in one table; a row's storage is derived from it.
inline constexpr FieldInfo kFieldInfos[kFieldCount] = {
    {"dbaccount", false, 100},  {"dbpasswort", false, 100}, {"dbemail", false, 100},
    {"dbplevel", false, 100},   {"dbchatname", false, 100}, {"dblanguage", false, 100},
    {"dbcommend", false, 100},  {"dbpriv", false, 20},      {"dbblock", true, 0},
    {"dbjail", true, 0},        {"dbtotalct", false, 100},  {"dblastct", false, 100},
    {"dbfirstcd", false, 100},  {"dblastcd", false, 100},   {"dblastcuid", false, 100},
    {"dbcharuid1", false, 100}, {"dbcharuid2", false, 100}, {"dbcharuid3", false, 100},
    {"dbcharuid4", false, 100}, {"dbcharuid5", false, 100}, {"dblastip", false, 100},
    {"dbfirstip", false, 100},  {"dbstatus", true, 0},      {"dbcounter", true, 0},
};
inline const FieldInfo& FieldInfoOf(Field f) { return kFieldInfos[f]; }

namespace detail {
constexpr int CountFields(bool integers) {
  int n = 0;
  for (const FieldInfo& info : kFieldInfos) n += info.isInteger == integers;
  return n;
}
struct FieldSlots {
  std::int8_t of[kFieldCount];
  constexpr std::int8_t operator[](int f) const { return of[f]; }
};
constexpr FieldSlots MakeFieldSlots() {
  FieldSlots s{};
  int text = 0, ints = 0;
  for (int f = 0; f < kFieldCount; ++f)
    s.of[f] = static_cast<std::int8_t>(kFieldInfos[f].isInteger ? ints++ : text++);
  return s;
}
}  // namespace detail
inline constexpr int kTextFieldCount = detail::CountFields(false);
inline constexpr int kIntFieldCount = detail::CountFields(true);
// A field's place among the fields of its kind: a row's texts, or its numbers.
inline constexpr detail::FieldSlots kFieldSlot = detail::MakeFieldSlots();
// The field named exactly so ("dbaccount"...), or -1.
int FieldByName(std::string_view name);

constexpr int StatusStored = 0;
constexpr int StatusChanged = 1;
constexpr int StatusNew = 2;

// "0".."7" (exactly these texts) give the level names; any other text comes back unchanged.
std::string_view PLevelCodeToName(std::string_view text);
extern const char* const kPLevelNames[8];  // Guest ... Owner

using RowId = std::uint32_t;
constexpr RowId kNoRow = 0xFFFFFFFFu;

class AccountTable {
 public:
  // Notifications for the grid's model. "View" indices count the rows the filter lets
  // through, in table order. Begin/End pairs bracket every change of the view.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void ViewAboutToReset() {}
    virtual void ViewReset() {}
    virtual void ViewRowsAboutToBeInserted(int /*first*/, int /*last*/) {}
    virtual void ViewRowsInserted() {}
    virtual void ViewRowsAboutToBeRemoved(int /*first*/, int /*last*/) {}
    virtual void ViewRowsRemoved() {}
    virtual void ViewRowChanged(int /*viewIndex*/) {}
    // Rows from `first` to `last` of the view may have changed (a change of many rows).
    virtual void ViewRowsChanged(int first, int last) {
      for (int i = first; i <= last; ++i) ViewRowChanged(i);
    }
    virtual void CurrentChanged() {}
    virtual void AfterPost(RowId /*row*/) {}
  };

  enum class State { Browse, Edit, Insert };
  using Predicate = std::function<bool(const AccountTable&, RowId)>;
  // The same test over many rows at once: appends the accepted ones of `rows[0..n)` to
  // `out`, in their order. Must agree with the predicate row by row.
  using BulkPredicate = std::function<void(const AccountTable&, const RowId* rows, size_t n,
                                           std::vector<RowId>& out)>;
  using Less = std::function<bool(RowId, RowId)>;

  AccountTable();
  ~AccountTable();
  AccountTable(const AccountTable&) = delete;
  AccountTable& operator=(const AccountTable&) = delete;

  void AddListener(Listener* l);
  void RemoveListener(Listener* l);

  // --- Values of any row ---------------------------------------------------------------
  std::string_view Text(RowId row, Field f) const;            // empty for integer fields
  std::optional<std::int32_t> Int(RowId row, Field f) const;  // nullopt when empty
  std::int32_t IntOr0(RowId row, Field f) const { return Int(row, f).value_or(0); }
  // A field as shown: the text, or the integer in decimal ("" when empty).
  std::string DisplayText(RowId row, Field f) const;
  int CharacterCount(RowId row) const;

  // --- Whole table ----------------------------------------------------------------------
  int RowCount() const { return static_cast<int>(m_order.size()); }  // all rows, filter or not
  const std::vector<RowId>& Order() const { return m_order; }        // table order
  void Empty();

  // --- The view (rows the filter lets through, in table order) ------------------------
  int ViewCount() const { return static_cast<int>(m_view.size()); }
  RowId ViewRow(int index) const { return m_view[static_cast<size_t>(index)]; }
  int ViewIndexOf(RowId row) const;  // -1 when the row is not in the view

  // --- Current row: a cursor over the view ----------------------------------------------
  RowId Current() const { return m_current; }
  int CurrentIndex() const { return m_current == kNoRow ? -1 : ViewIndexOf(m_current); }
  // Moving commits a row still in edit state first.
  void SetCurrentIndex(int viewIndex);
  void SetCurrent(RowId row);  // must be in the view
  void First();
  void Next();  // past the last row: Eof() becomes true, Current() stays the last row
  void Last();
  bool Eof() const { return m_eof; }
  bool IsEmpty() const { return m_view.empty(); }

  std::string_view Text(Field f) const { return Text(m_current, f); }
  std::optional<std::int32_t> Int(Field f) const { return Int(m_current, f); }

  // --- Editing the current row ----------------------------------------------------------
  State GetState() const { return m_state; }
  // Commits any pending row, adds an empty row at the end of the table and of the view,
  // makes it current and puts it in insert state.
  void Append();
  void Edit();
  // Setting a field puts the current row in edit state if it is not yet. Texts are cut to
  // the field's capacity.
  void SetText(Field f, std::string_view value);
  void SetInt(Field f, std::int32_t value);
  void SetNull(Field f);
  // Commits the row in edit state: listeners get AfterPost, then the row is judged again
  // by the filter; a row that no longer passes leaves the view and the next visible row
  // (else the previous one) becomes current.
  void Post();
  void Delete();  // removes the current row

  // Finds an account by its exact name (letter case included) within the view: the
  // current row if it is so named, else the first such row from the top. Commits a pending
  // row first. Returns false (current row unchanged) when there is none.
  // The first lookups scan the rows' name hashes (under 0.1 ms per million rows); a hash
  // index is built only once enough lookups have come to pay for it, so laying a short
  // update file over a large table costs in proportion to its sections.
  bool Locate(std::string_view name);
  bool NameIndexBuilt() const { return !m_nameSlots.empty(); }  // for tests and benchmarks

  // --- Filter -------------------------------------------------------------------------
  void SetFilter(Predicate p);  // does not switch filtering on
  // Optional, set after SetFilter (which drops it); used whenever the whole view is judged
  // again, while the predicate judges single rows.
  void SetBulkFilter(BulkPredicate p);
  void SetFiltered(bool on);  // rebuilds the view
  bool Filtered() const { return m_filtered; }
  // Judges every row again. A view that comes out with the same rows in the same order is
  // kept: the listeners hear of no reset.
  void Refilter();
  // The filter became stricter (accepts no row it rejected before): judges again only the
  // rows in the view now.
  void RefilterNarrowing();
  bool Accepts(RowId row) const;

  // --- Sort ---------------------------------------------------------------------------
  // Reorders the table once, stably; rows added later go to the end. Current row kept.
  void Sort(const Less& less);
  void SetOrder(std::vector<RowId> order);  // a permutation of Order()

  // --- Changing many rows at once ------------------------------------------------------
  // Set a field of any row without moving the cursor or telling the listeners; PostRows
  // commits the rows so set. Texts are cut to the field's capacity, as SetText cuts them.
  void SetRowText(RowId row, Field f, std::string_view value);
  void SetRowInt(RowId row, Field f, std::int32_t value);
  void SetRowNull(RowId row, Field f);
  // Commits rows changed with SetRowText/SetRowInt as Post commits one (the written mark
  // cleared, AfterPost), then judges the view once: a view that keeps its rows hears of one
  // change over the rows' span, otherwise of one reset. Moving the cursor row by row would
  // repaint the editor and the grid for every row.
  void PostRows(const std::vector<RowId>& rows);

  // --- Rows written for the server -------------------------------------------------------
  // A pending row whose values are in the update file, waiting for the server to take them
  // over; any later change of the row clears it (the file lacks that change).
  void SetWritten(RowId row, bool on);
  bool IsWritten(RowId row) const;

  // --- Marked rows (multi-selection) ----------------------------------------------------
  void SetMarked(RowId row, bool on);
  bool IsMarked(RowId row) const;
  void ClearMarks();
  std::vector<RowId> MarkedRows() const;  // in view order

  // --- Bulk loading ---------------------------------------------------------------------
  // Between BeginUpdate and EndUpdate listeners get no per-row view notifications (AfterPost
  // still runs); EndUpdate announces one view reset.
  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return m_updating > 0; }
  // Takes ownership of a buffer (a file's bytes) so fields can be set as views into it.
  const char* AdoptBuffer(std::unique_ptr<char[]> bytes, size_t size);
  // Like SetText, but `value` must lie in an adopted buffer: it is not copied.
  void SetTextNoCopy(Field f, std::string_view value);

  // The account file reader's path into storage, inside BeginUpdate/EndUpdate: a row is
  // filled without per-field checks or notifications and stored (AfterPost, then judged by
  // the filter) when the next one begins or at Finish. Texts must lie in the most recently
  // adopted buffer or be constants such as the level names.
  class Loader;

  size_t MemoryUsage() const;  // rough: rows, view, arena
  // Makes room for `rows` more rows at once, so a large load does not regrow the storage.
  void ReserveRows(size_t rows);
  // The reserved, still unused storage of the next `rows` rows (for prefaulting).
  std::pair<void*, size_t> UnusedRowStorage(size_t rows);

 private:
  // 8 bytes: offset into one of the table's buffers; 100,000 rows of 20 texts stay small.
  struct TextRef {
    std::uint32_t off = 0;
    std::uint16_t buf = 0;
    std::uint16_t len = 0;
  };
  static constexpr int SlotOf(Field f) { return kFieldSlot[f]; }
  struct Row {
    TextRef text[kTextFieldCount];
    std::int32_t ints[kIntFieldCount] = {};
    std::uint8_t nullMask = (1u << kIntFieldCount) - 1;  // bit i: ints[i] is empty
    bool alive = true;
    bool marked = false;
    bool written = false;
  };
  static_assert(kIntFieldCount <= 8, "nullMask holds a bit per number");
  static int TextSlot(Field f);
  static int IntSlot(Field f);

  Row& RowRef(RowId r) { return m_rows[r]; }
  const Row& RowRef(RowId r) const { return m_rows[r]; }
  TextRef Copy(std::string_view s);
  TextRef RefInBuffers(std::string_view s);
  std::uint16_t AddBuffer(std::unique_ptr<char[]> bytes, size_t size);
  void CheckBrowse();
  void EnsureEditing();
  void RebuildView();
  void FillView(const std::vector<RowId>& candidates);
  // The rows of `candidates` the filter keeps, in their order, into m_viewSpare.
  void FilterInto(const std::vector<RowId>& candidates);
  void SwapInView();  // m_viewSpare becomes the view
  void RefilterFrom(const std::vector<RowId>& candidates);
  void AfterRefilter(bool quiet);
  void RemoveFromView(int viewIndex);
  void InsertIntoView(RowId row);
  void NotifyRowChanged(RowId row);
  void NotifyCurrent();
  template <typename Visit>
  void ForEachHashed(std::uint32_t hash, Visit&& visit) const;
  void IndexAdd(RowId row);
  void BuildIndex(size_t rows);
  void SetTextRef(Field f, TextRef stored);
  void StoreTextRef(RowId row, Field f, TextRef stored);

  std::vector<Row> m_rows;              // by RowId; deleted rows stay dead until Empty
  std::vector<RowId> m_order;           // table order
  std::vector<RowId> m_view;            // rows the filter lets through
  std::vector<std::int32_t> m_viewPos;  // by RowId: index in m_view or -1
  RowId m_current = kNoRow;
  bool m_eof = true;
  State m_state = State::Browse;
  Predicate m_filter;
  BulkPredicate m_bulkFilter;
  std::vector<RowId> m_viewSpare;  // the next view is built here, then swapped in
  bool m_filtered = false;
  int m_updating = 0;
  std::vector<Listener*> m_listeners;

  // By RowId: a hash of the row's name (detail::NameHash), 0 for a deleted or unnamed row;
  // kept from the row's creation on (the account file's reader hashes each name as it
  // parses it, while the name is in cache).
  std::vector<std::uint32_t> m_nameHash;
  // Built after kScansBeforeIndex lookups from m_nameHash alone: rows by name hash, open
  // addressing, at most three quarters full. A renamed row is added again under its new
  // hash; its old entry no longer matches its hash and is passed over, as are rows outside
  // the view.
  std::vector<RowId> m_nameSlots;
  size_t m_nameSlotsUsed = 0;
  int m_scans = 0;  // lookups answered by a scan since the table was emptied

  std::vector<std::unique_ptr<char[]>> m_buffers;  // adopted files and arena blocks
  std::vector<const char*> m_bufferBase;
  std::vector<size_t> m_bufferSize;
  std::vector<std::uint16_t> m_adopted;  // indices of adopted buffers
  std::uint16_t m_lastAdopted = 0;
  const char* m_lastAdoptedBase = nullptr;
  std::vector<std::pair<const char*, TextRef>> m_constants;  // texts that live outside
  std::uint16_t m_arenaBuf = 0;
  size_t m_arenaUsed = 0;
  size_t m_arenaLeft = 0;
  size_t m_bufferBytes = 0;
};

class AccountTable::Loader {
 public:
  explicit Loader(AccountTable& table);
  ~Loader() { Finish(); }
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;
  // A new row with the defaults every reader gives: level "Player", flags "$0", Blocked
  // and Jailed 0, the status, and the day counter -1.
  void BeginRow(std::string_view name, int status);
  bool InRow() const { return m_row != nullptr; }
  void SetText(Field f, std::string_view value) {  // cut to the field's capacity
    // Compared as addresses: a constant text lies outside the buffer.
    const size_t off =
        reinterpret_cast<std::uintptr_t>(value.data()) - reinterpret_cast<std::uintptr_t>(m_base);
    if (off < m_size && value.size() <= m_size - off) {
      const auto cap = static_cast<std::uint16_t>(kFieldInfos[f].capacity);
      TextRef& t = m_row->text[SlotOf(f)];
      t = value.empty()
              ? TextRef{}
              : TextRef{static_cast<std::uint32_t>(off), m_buf,
                        static_cast<std::uint16_t>(value.size() < cap ? value.size() : cap)};
    } else {
      SetOutside(f, value);
    }
  }
  void SetInt(Field f, std::int32_t value) {
    const int slot = SlotOf(f);
    m_row->ints[slot] = value;
    m_row->nullMask &= static_cast<std::uint8_t>(~(1u << slot));
  }
  bool IsEmpty(Field f) const { return m_row->text[SlotOf(f)].len == 0; }
  std::string_view Text(Field f) const { return m_table.Text(m_id, f); }
  void Finish();  // stores the last row; the table is back in browse state

 private:
  void Store();
  void SetOutside(Field f, std::string_view value);
  AccountTable& m_table;
  const char* m_base;
  size_t m_size;
  std::uint16_t m_buf;
  Row* m_row = nullptr;
  RowId m_id = kNoRow;
  TextRef m_player, m_noFlags;
};

}  // namespace kov
