#include "app/BatchList.h"

#include <QHeaderView>

namespace vidorant {

namespace {
struct TColumnLook {
  const char* Caption;
  int Width;  // pixels; 0 for the hidden columns
};
constexpr std::array<TColumnLook, bcCount> Columns = {{
    {"Input Filename", 150},
    {"Duration", 80},
    {"File Size", 80},
    {"Output Filename", 150},
    {"Status", 93},
    {"Path", 0},
    {"StartTime", 0},
    {"EndTime", 0},
}};
}  // namespace

TBatchList::TBatchList(QWidget* parent) : QTableWidget(0, bcCount, parent) {
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int column = 0; column < bcCount; ++column) {
    setHorizontalHeaderItem(column, new QTableWidgetItem(QString::fromLatin1(Columns[column].Caption)));
    setColumnWidth(column, Columns[column].Width);
    setColumnHidden(column, Columns[column].Width == 0);
  }
  // The selection stays as visible when the list loses the focus as when it has it.
  QPalette look = palette();
  look.setColor(QPalette::Inactive, QPalette::Highlight, look.color(QPalette::Active, QPalette::Highlight));
  look.setColor(QPalette::Inactive, QPalette::HighlightedText, look.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(look);
}

int TBatchList::SelectedIndex() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TBatchList::SelectRow(int row) {
  setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString TBatchList::Text(int row, TBatchColumn column) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell == nullptr ? QString() : cell->text();
}

void TBatchList::SetText(int row, TBatchColumn column, const QString& text) {
  if (QTableWidgetItem* cell = item(row, column)) {
    cell->setText(text);
  } else {
    setItem(row, column, new QTableWidgetItem(text));
  }
}

TBatchRow TBatchList::Row(int row) const {
  TBatchRow texts;
  for (int column = 0; column < bcCount; ++column) {
    texts[column] = Text(row, static_cast<TBatchColumn>(column));
  }
  return texts;
}

void TBatchList::InsertRow(int at, const TBatchRow& texts) {
  insertRow(at);
  for (int column = 0; column < bcCount; ++column) {
    setItem(at, column, new QTableWidgetItem(texts[column]));
  }
}

void TBatchList::MoveListItem(int row, bool up) {
  if (row < 0 || (up && row == 0) || (!up && row >= rowCount() - 1)) {
    return;
  }
  const int target = up ? row - 1 : row + 2;
  setUpdatesEnabled(false);
  InsertRow(target, Row(row));
  SelectRow(target);
  // The copy above the original shifted it down by one.
  DeleteRow(up ? row + 1 : row);
  setUpdatesEnabled(true);
  scrollToItem(item(SelectedIndex(), 0));
}

}  // namespace vidorant
