// The conversion commands of the main window: Convert sets up one task per row and starts the
// batch, Stop ends it, and the engine's reports drive the status column, the progress line and
// the end of the batch. Each task carries its row, so a file that fails its set-up shifts no
// report onto another row.
#include <QDir>
#include <algorithm>

#include "app/FrmMain.h"
#include "convert/OutputName.h"
#include "platform/Exception.h"

namespace vidorant {

namespace {
const QString ConvertCaption = QStringLiteral("Convert");
const QString StopCaption = QStringLiteral("Stop");
}  // namespace

int TFrmMain::CurrentRow() const {
  return CurrentIndex < FBatchRows.size() ? FBatchRows[CurrentIndex] : -1;
}

TConversionJob TFrmMain::JobOfRow(int row, const QString& outputName) const {
  TConversionJob job;
  job.Row = row;
  job.FileName = Lvw->Text(row, bcPath).toStdString();
  job.Clip = ClipOfRow(Lvw->Text(row, bcDuration).toStdString(), Lvw->Text(row, bcStartTime).toStdString(),
                       Lvw->Text(row, bcEndTime).toStdString());
  job.FrameSize = (EdtFrameWidth->Text() + QLatin1Char('x') + EdtFrameHeight->Text()).toStdString();
  job.OutputFolder = EdtOutputFolder->text().toStdString();
  job.OutputName = outputName.toStdString();
  return job;
}

void TFrmMain::BtnStartClick() {
  if (BtnStart->text() == StopCaption) {
    // The file that converts now is the one stopped, whatever ends while the stop waits.
    const int stoppedRow = CurrentRow();
    FFEncoder->StopTasks();
    SetEditingEnabled(true);
    if (stoppedRow >= 0 && stoppedRow < Lvw->RowCount()) {
      Lvw->SetText(stoppedRow, bcStatus, QStringLiteral("Stopped"));
    }
    BtnStart->setText(ConvertCaption);
    return;
  }
  if (Lvw->RowCount() == 0) {
    ShowMessage(QStringLiteral("Information"), QStringLiteral("Please select files to be converted."));
    return;
  }
  for (int row = 0; row < Lvw->RowCount(); ++row) {
    if (Lvw->Text(row, bcEndTime).toStdString() < Lvw->Text(row, bcStartTime).toStdString()) {
      ShowMessage(QStringLiteral("Information"),
                  QStringLiteral("End time of video clip \"%1\" is less than start time, please correct it.")
                      .arg(Lvw->Text(row, bcInputFilename)));
      return;
    }
  }
  // A folder that cannot be made shows when the first GIF cannot be saved.
  QDir().mkpath(EdtOutputFolder->text());

  for (int row = 0; row < Lvw->RowCount(); ++row) {
    Lvw->SetText(row, bcStatus, QStringLiteral(" "));
  }
  FBatchRows.clear();
  CurrentIndex = 0;
  FFEncoder->ClearTasks();
  SetEditingEnabled(false);

  // Names for the whole batch at once, so two videos of one base name never share a GIF.
  std::vector<std::string> paths;
  for (int row = 0; row < Lvw->RowCount(); ++row) {
    paths.push_back(Lvw->Text(row, bcPath).toStdString());
  }
  const std::vector<std::string> names = BatchOutputNames(EdtOutputFolder->text().toStdString(), paths);
  for (int row = 0; row < Lvw->RowCount(); ++row) {
    const QString path = Lvw->Text(row, bcPath);
    const QString name = QString::fromStdString(names[row]);
    bool added = false;
    try {
      added = FFEncoder->AddFileTask(JobOfRow(row, name));
    } catch (const Exception&) {
      // A clip time that cannot be read; the file cannot be set up as the user asked.
      added = false;
    }
    if (!added) {
      ShowMessage(QStringLiteral("Error"), QStringLiteral("Convertion of file \"%1\" is not supported.").arg(path));
      continue;
    }
    Lvw->SetText(row, bcOutputFilename, name);
    FBatchRows.push_back(row);
  }
  if (FBatchRows.empty()) {
    // Nothing to run, so no end will be reported: the window is idle again at once.
    SetEditingEnabled(true);
    return;
  }
  BtnStart->setText(StopCaption);
  FFEncoder->StartTasks();
}

void TFrmMain::FFEncoderProgress(const TConversionProgress& info) {
  if (info.Row >= 0 && info.Row < Lvw->RowCount() && info.TotalDuration > 0) {
    const int64_t percent = info.CurrentTime * 100 / info.TotalDuration;
    Lvw->SetText(info.Row, bcStatus, QStringLiteral("%1% Completed").arg(percent));
  }
  LblProgress->setText(QStringLiteral("Current Frame=%1; Current Time=%2 seconds")
                           .arg(info.CurrentFrame)
                           .arg(info.CurrentTime / 1000000));
}

void TFrmMain::EndBatch() {
  SetEditingEnabled(true);
  FFEncoder->ClearTasks();
}

void TFrmMain::FFEncoderTerminate(const TConversionEnd& info) {
  if (info.Row < 0) {
    EndBatch();
    // After a failed file no completion ever set the caption back; the batch is over all the same.
    BtnStart->setText(ConvertCaption);
  } else {
    const auto at = std::find(FBatchRows.begin(), FBatchRows.end(), info.Row);
    const bool last = at != FBatchRows.end() && at + 1 == FBatchRows.end();
    if (at != FBatchRows.end()) {
      CurrentIndex = static_cast<size_t>(at - FBatchRows.begin()) + 1;
    }
    if (info.Completed && info.Row < Lvw->RowCount()) {
      Lvw->SetText(info.Row, bcStatus, QStringLiteral("Completed"));
      if (last) {
        BtnStart->setText(ConvertCaption);
        EndBatch();
        ShowMessage(QStringLiteral("Information"), QStringLiteral("File conversion completed."));
        return;
      }
    }
  }
  if (info.HadError) {
    ShowMessage(QStringLiteral("Information"), QString::fromStdString(info.ErrorText));
  }
}

}  // namespace vidorant
