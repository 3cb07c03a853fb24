// The batch list: one row per video, in conversion order, and the only store of the batch. Every
// fact of a row is a column's text; the last three columns are hidden and hold the video's full
// path and its clip. A row is whole or absent: it is added with all its columns.
#pragma once

#include <QString>
#include <QTableWidget>
#include <array>

namespace vidorant {

enum TBatchColumn : int {
  bcInputFilename,
  bcDuration,
  bcFileSize,
  bcOutputFilename,
  bcStatus,
  bcPath,       // hidden
  bcStartTime,  // hidden
  bcEndTime,    // hidden
  bcCount
};

using TBatchRow = std::array<QString, bcCount>;

class TBatchList : public QTableWidget {
  Q_OBJECT
public:
  explicit TBatchList(QWidget* parent);

  int RowCount() const { return rowCount(); }
  // The selected row, -1 when none.
  int SelectedIndex() const;
  void SelectRow(int row);

  QString Text(int row, TBatchColumn column) const;
  void SetText(int row, TBatchColumn column, const QString& text);
  TBatchRow Row(int row) const;
  void InsertRow(int at, const TBatchRow& texts);
  void AppendRow(const TBatchRow& texts) { InsertRow(rowCount(), texts); }
  void DeleteRow(int row) { removeRow(row); }

  // Moves the row one place up or down, keeping every column, and selects it. Nothing happens
  // for the first row upwards or the last downwards.
  void MoveListItem(int row, bool up);
};

}  // namespace vidorant
