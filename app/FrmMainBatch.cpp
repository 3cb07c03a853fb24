// The batch list's commands of the main window: adding files (each proved convertible and
// probed first), removing, clearing and reordering rows, and the clip edits following the
// selected row.
#include <QFileDialog>
#include <QFileInfo>
#include <set>

#include "app/FrmMain.h"
#include "convert/OutputName.h"
#include "convert/RowTexts.h"

namespace vidorant {

namespace {
const QString ZeroTime = QStringLiteral("00:00:00");

// The add dialog's filter: pairs of a description and its patterns, as the user knows them.
const char* const MediaFilter =
    "All supported Media Format|*.avi;*.mp4;*.3gp;*.3g2;*.divX;*.div;*.xvid;*.mpeg;*.mpg;*.wmv;*.asf;*.rm;*.rmvb;"
    "*.dat;*.mov;*.swf;*.flv;*.mp3|AVI(*.avi)|*.avi|MPEG(*.mpeg;*.mpg)|*.mpeg;*.mpg|WMV(*.wmv)|*.wmv|ASF(*.asf)|*.asf|"
    "VCD Format(*.dat)|*.dat|Quick Time Format(*.mov)|*.mov|SWF(*.swf)|*.swf|FLV(*.flv)|*.flv|All Files(*.*)|*.*";

// "Name(*.a;*.b)|*.a;*.b|..." as Qt's "Name (*.a *.b);;...": Qt reads the patterns from the
// parentheses, separated by blanks.
QStringList QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString name = parts[i].section(QLatin1Char('('), 0, 0).trimmed();
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters.append(QStringLiteral("%1 (%2)").arg(name, patterns));
  }
  return filters;
}
}  // namespace

void TFrmMain::BtnAddClick() {
  QFileDialog dialog(this, QStringLiteral("Choose Files to Convert"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setNameFilters(QtNameFilters(QString::fromLatin1(MediaFilter)));
  if (dialog.exec() != QDialog::Accepted) {
    return;
  }
  AddFiles(dialog.selectedFiles());
}

void TFrmMain::AddFiles(const QStringList& paths) {
  for (const QString& path : paths) {
    SetupFileTask(path);
  }
  Lvw->clearSelection();
  ResetTimeEdits();
  if (Lvw->RowCount() > 0) {
    Lvw->SelectRow(0);
  }
  // The tasks only proved that each file can be converted.
  FFEncoder->ClearTasks();
}

bool TFrmMain::SetupFileTask(const QString& path) {
  const std::string fileName = path.toStdString();
  const std::string folder = EdtOutputFolder->text().toStdString();
  // The names of the rows already listed are taken too, so the list shows what a batch will write.
  std::set<std::string> taken;
  for (int row = 0; row < Lvw->RowCount(); ++row) {
    taken.insert(Lvw->Text(row, bcOutputFilename).toStdString());
  }
  TConversionJob job;
  job.FileName = fileName;
  job.FrameSize = (EdtFrameWidth->Text() + QLatin1Char('x') + EdtFrameHeight->Text()).toStdString();
  job.OutputFolder = folder;
  job.OutputName = OutputFileName(folder, fileName, taken);
  if (!FFEncoder->AddFileTask(job)) {
    ShowMessage(QStringLiteral("Error"), QStringLiteral("Convertion of file \"%1\" is not supported.").arg(path));
    return false;
  }

  TBatchRow row;
  row[bcInputFilename] = QFileInfo(path).fileName();
  // A file the decoder cannot open is listed as one of unknown length: converted whole, its
  // clip edits inert.
  const std::optional<TFileProbe> probe = FFEncoder->Probe(fileName);
  const int64_t duration = probe ? probe->Duration : -1;
  const int64_t size = probe && probe->FileSize >= 0 ? probe->FileSize : QFileInfo(path).size();
  row[bcDuration] = QString::fromStdString(DurationText(duration));
  row[bcFileSize] = QString::fromStdString(FileSizeText(size));
  row[bcOutputFilename] = QString::fromStdString(job.OutputName);
  row[bcStatus] = QString();
  row[bcPath] = path;
  row[bcStartTime] = ZeroTime;
  row[bcEndTime] = row[bcDuration];
  Lvw->AppendRow(row);
  return true;
}

void TFrmMain::BtnRemoveClick() {
  if (Lvw->RowCount() == 0) {
    return;
  }
  // Which rows go is decided first: deleting a selected row moves the selection to its neighbour.
  std::vector<int> selected;
  for (int row = Lvw->RowCount() - 1; row >= 0; --row) {
    if (Lvw->selectionModel()->isRowSelected(row, QModelIndex())) {
      selected.push_back(row);
    }
  }
  for (int row : selected) {
    Lvw->DeleteRow(row);
  }
  if (Lvw->RowCount() == 0) {
    ResetTimeEdits();
  }
}

void TFrmMain::BtnClearClick() {
  if (Lvw->RowCount() == 0) {
    return;
  }
  Lvw->setRowCount(0);
  ResetTimeEdits();
}

void TFrmMain::BtnMoveUpClick() {
  const int row = Lvw->SelectedIndex();
  if (Lvw->RowCount() > 0 && row > 0) {
    Lvw->MoveListItem(row, true);
  }
}

void TFrmMain::BtnMoveDownClick() {
  const int row = Lvw->SelectedIndex();
  if (Lvw->RowCount() > 0 && row >= 0) {
    Lvw->MoveListItem(row, false);
  }
}

void TFrmMain::LvwSelectItem() {
  const int row = Lvw->SelectedIndex();
  if (row < 0 || Lvw->Text(row, bcDuration) == QLatin1String(NotAvailableText)) {
    return;
  }
  EdtStartTime->setText(Lvw->Text(row, bcStartTime));
  EdtEndTime->setText(Lvw->Text(row, bcEndTime));
}

}  // namespace vidorant
