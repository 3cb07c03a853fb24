// The main window: the batch list with its buttons, the output folder, the frame size and clip
// editors, and the Convert/Stop button with the progress line. The window holds the batch as the
// list's texts and drives the conversion through its engine (see ConversionEngine.h); every
// message reaches the user through the message dialog dlg.
// Ownership: the window owns its engine and, through Qt's parent ownership, its controls.
// Threads: main thread only; the engine delivers its reports there.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QComboBox>
#include <QGroupBox>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/BatchList.h"
#include "app/ConversionEngine.h"
#include "app/ExitEdits.h"
#include "app/MessageDlg.h"

namespace vidorant {

class TFrmMain : public QWidget {
  Q_OBJECT
public:
  // settingsFile: the INI file read by FormCreate and written at the close.
  TFrmMain(std::unique_ptr<TConversionEngine> engine, QString settingsFile);
  ~TFrmMain() override;

  // Loads the media libraries and reads the settings into the controls. False when the
  // libraries cannot be loaded: the user was told, nothing was read or written, and the window
  // must not be shown.
  bool FormCreate();

  // Controls, named as the handlers know them.
  TBatchList* Lvw;
  QPushButton* BtnAdd;
  QPushButton* BtnRemove;
  QPushButton* BtnClear;
  QPushButton* BtnMoveUp;
  QPushButton* BtnMoveDown;
  QLineEdit* EdtOutputFolder;
  QPushButton* BtnChangeOutputFolder;
  QGroupBox* GrpOutputSettings;
  QComboBox* CboFrameSize;
  TSpinEdit* EdtFrameWidth;
  TSpinEdit* EdtFrameHeight;
  QGroupBox* GrpVideoClip;
  TFilteredEdit* EdtStartTime;
  TFilteredEdit* EdtEndTime;
  QLabel* LblProgress;
  QPushButton* BtnStart;
  QPushButton* BtnAbout;
  QPushButton* BtnHelp;
  TMessageDlg dlg;

  // Batch list (FrmMainBatch.cpp).
  void BtnAddClick();
  // Adds each file as a row when its conversion can be set up; the user is told of the others.
  void AddFiles(const QStringList& paths);
  void BtnRemoveClick();
  void BtnClearClick();
  void BtnMoveUpClick();
  void BtnMoveDownClick();
  void LvwSelectItem();

  // Conversion (FrmMainConvert.cpp).
  void BtnStartClick();
  void FFEncoderProgress(const TConversionProgress& info);
  void FFEncoderTerminate(const TConversionEnd& info);

  // Frame size and clip (FrmMain.cpp).
  void CboFrameSizeChange();
  void EdtFrameWidthChange();
  void EdtFrameHeightChange() { EdtFrameWidthChange(); }
  void EdtFrameWidthExit();
  void EdtFrameHeightExit();
  bool EdtStartTimeKeyPress(int key);
  bool EdtEndTimeKeyPress(int key) { return EdtStartTimeKeyPress(key); }
  void EdtStartTimeExit();
  void EdtEndTimeExit();

  // Output folder, help, about (FrmMain.cpp).
  void BtnChangeOutputFolderClick();
  void BtnHelpClick();
  void BtnAboutClick();

protected:
  // FormCloseQuery: saves the settings and stops a running conversion; never refuses the close.
  void closeEvent(QCloseEvent* event) override;

private:
  void CreateControls();
  void SetTabOrder();
  void FormCloseQuery();
  void ShowMessage(const QString& caption, const QString& text);
  void SetEditingEnabled(bool enabled);
  void ResetTimeEdits();
  // Adds one file's row; false when its conversion cannot be set up.
  bool SetupFileTask(const QString& path);
  TConversionJob JobOfRow(int row, const QString& outputName) const;
  void FrameSizeEditExit(TSpinEdit* edit, const QString& message);
  void ClipTimeEditExit(TFilteredEdit* edit, TBatchColumn column, const QString& which, const QString& longer);
  // The row of the file that converts now; -1 when none.
  int CurrentRow() const;
  void EndBatch();

  std::unique_ptr<TConversionEngine> FFEncoder;
  QString FSettingsFile;
  bool FCreated = false;
  // The rows whose tasks were set up for the running batch, in task order, and the position in
  // it of the file that converts now.
  std::vector<int> FBatchRows;
  size_t CurrentIndex = 0;
};

}  // namespace vidorant
