#include "store/RowEdits.h"

#include <unordered_map>

#include "store/PrivFlags.h"

namespace kov {

namespace {

bool HoldsLineEnd(std::string_view v) {
  return v.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::optional<RowValues> ValuesOfEdit(const AccountTable& table, RowId row, const RowEdit& edit) {
  RowValues v;
  if (edit.kind == RowEdit::Kind::Level) {
    if (edit.level < 0 || edit.level > 7) return std::nullopt;
    v.plevel = kPLevelNames[edit.level];
    const std::int32_t status = table.IntOr0(row, dbstatus);
    v.status = status == StatusStored ? StatusChanged : status;
    return v;
  }
  const auto flags = ParsePrivFlags(table.Text(row, dbpriv));
  if (!flags) return std::nullopt;
  std::uint32_t bit = edit.bit;
  if (edit.kind == RowEdit::Kind::Blocked) bit = kBlockedBit;
  if (edit.kind == RowEdit::Kind::Jailed) bit = kJailedBit;
  v.priv = FormatPrivFlags(edit.on ? *flags | bit : *flags & ~bit);
  if (edit.kind == RowEdit::Kind::Blocked) v.block = edit.on ? 1 : 0;
  if (edit.kind == RowEdit::Kind::Jailed) v.jail = edit.on ? 1 : 0;
  v.status = StatusChanged;
  return v;
}

bool ChangesRow(const AccountTable& table, RowId row, const RowValues& v) {
  // "$2000" and "$02000" are the same flags: only another value is a change.
  if (v.priv && ParsePrivFlags(*v.priv) != ParsePrivFlags(table.Text(row, dbpriv))) return true;
  if (v.plevel && *v.plevel != table.Text(row, dbplevel)) return true;
  if (v.block && table.Int(row, dbblock) != v.block) return true;
  if (v.jail && table.Int(row, dbjail) != v.jail) return true;
  return false;
}

void StoreInCurrent(AccountTable& table, const RowValues& v) {
  table.Edit();
  if (v.priv) table.SetText(dbpriv, *v.priv);
  if (v.block) table.SetInt(dbblock, *v.block);
  if (v.jail) table.SetInt(dbjail, *v.jail);
  if (v.plevel) table.SetText(dbplevel, *v.plevel);
  table.SetInt(dbstatus, v.status);
}

BulkPlan PlanBulkChange(const AccountTable& table, const std::vector<RowId>& rows,
                        const RowEdit& edit) {
  BulkPlan plan;
  plan.edit = edit;
  plan.rows.reserve(rows.size());
  plan.values.reserve(rows.size());
  for (RowId row : rows) {
    auto v = ValuesOfEdit(table, row, edit);
    if (!v) {
      plan.badFlags.push_back(row);
    } else if ((v->priv && HoldsLineEnd(*v->priv)) || (v->plevel && HoldsLineEnd(*v->plevel))) {
      plan.unwritable.push_back(row);
    } else if (!ChangesRow(table, row, *v)) {
      plan.unchanged.push_back(row);
    } else {
      plan.rows.push_back(row);
      plan.values.push_back(std::move(*v));
    }
  }
  return plan;
}

void ApplyBulkChange(AccountTable& table, const BulkPlan& plan) {
  if (table.GetState() != AccountTable::State::Browse) table.Post();
  for (size_t i = 0; i < plan.rows.size(); ++i) {
    const RowId row = plan.rows[i];
    const RowValues& v = plan.values[i];
    if (v.priv) table.SetRowText(row, dbpriv, *v.priv);
    if (v.block) table.SetRowInt(row, dbblock, *v.block);
    if (v.jail) table.SetRowInt(row, dbjail, *v.jail);
    if (v.plevel) table.SetRowText(row, dbplevel, *v.plevel);
    table.SetRowInt(row, dbstatus, v.status);
  }
  table.PostRows(plan.rows);
}

const char* KeyOfEdit(RowEdit::Kind kind) {
  switch (kind) {
    case RowEdit::Kind::Blocked:
      return "BLOCK";
    case RowEdit::Kind::Jailed:
      return "JAIL";
    case RowEdit::Kind::Level:
      return "PLEVEL";
    case RowEdit::Kind::Flag:
      break;
  }
  return "PRIV";
}

std::string ShownValue(const AccountTable& table, RowId row, RowEdit::Kind kind) {
  switch (kind) {
    case RowEdit::Kind::Blocked:
      return std::to_string(table.IntOr0(row, dbblock));
    case RowEdit::Kind::Jailed:
      return std::to_string(table.IntOr0(row, dbjail));
    case RowEdit::Kind::Level:
      return std::string(table.Text(row, dbplevel));
    case RowEdit::Kind::Flag:
      break;
  }
  return std::string(table.Text(row, dbpriv));
}

std::string ShownValue(const RowValues& v, RowEdit::Kind kind) {
  switch (kind) {
    case RowEdit::Kind::Blocked:
      return std::to_string(v.block.value_or(0));
    case RowEdit::Kind::Jailed:
      return std::to_string(v.jail.value_or(0));
    case RowEdit::Kind::Level:
      return std::string(v.plevel.value_or(""));
    case RowEdit::Kind::Flag:
      break;
  }
  return v.priv.value_or("");
}

std::vector<Transition> TransitionsOf(const AccountTable& table, const BulkPlan& plan) {
  std::vector<Transition> out;
  std::unordered_map<std::string, size_t> seen;  // "from\0to" -> index in out
  const RowEdit::Kind kind = plan.edit.kind;
  for (size_t i = 0; i < plan.rows.size(); ++i) {
    std::string from = ShownValue(table, plan.rows[i], kind);
    std::string to = ShownValue(plan.values[i], kind);
    std::string key = from;
    key.push_back('\0');
    key += to;
    const auto [it, added] = seen.try_emplace(std::move(key), out.size());
    if (added)
      out.push_back({std::move(from), std::move(to), 1});
    else
      ++out[it->second].count;
  }
  return out;
}

}  // namespace kov
