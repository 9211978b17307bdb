#pragma once
// "History...": the change history as a list to filter (account, field, time range, text)
// and sort. The model reads the entries where the history holds them and keeps only a list
// of entry numbers per filter: a million lines filter by account in a few milliseconds,
// where a sort/filter proxy would ask the model for every cell.
#include <QAbstractTableModel>
#include <QDialog>
#include <memory>
#include <vector>

#include "store/History.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace kov {

class HistoryModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { Time, User, Account, Action, Field, Old, New, Taken, Shard, kColumnCount };
  struct Filter {
    QString account;  // exact; empty: all
    QString field;    // exact; empty: all
    QString from;     // prefix of a time ("2024-05-01"); empty: open
    QString to;
    QString text;  // in any column, ignoring letter case
  };

  explicit HistoryModel(QObject* parent = nullptr);
  // Reads the history; what went wrong stays in Log().
  HistoryLog::Status Load(const QString& path);
  const HistoryLog& Log() const { return *m_log; }

  void SetFilter(const Filter& filter);
  void SortBy(int column, Qt::SortOrder order);
  int Total() const { return static_cast<int>(m_log->Entries().size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override { SortBy(column, order); }

 private:
  std::string_view Cell(const HistoryLog::Entry& e, int column) const;
  void Apply();

  std::unique_ptr<HistoryLog> m_log;
  std::vector<std::uint32_t> m_rows;  // entry numbers shown, in order
  Filter m_filter;
  int m_sortColumn = -1;
  Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

class HistoryWindow : public QDialog {
  Q_OBJECT

 public:
  HistoryWindow(const QString& historyPath, QWidget* parent = nullptr);
  // Reads the file again; shows the message of a history that cannot be read.
  bool Reload();
  // Filters to one account (empty: all).
  void ShowAccount(const QString& account);
  HistoryModel& Model() { return *m_model; }
  QString StatusText() const;

 private:
  void FilterChanged();

  QString m_path;
  HistoryModel* m_model;
  QTableView* m_view;
  QLineEdit* m_account;
  QComboBox* m_field;
  QLineEdit* m_from;
  QLineEdit* m_to;
  QLineEdit* m_text;
  QLabel* m_status;
  QLabel* m_warning;
};

}  // namespace kov
