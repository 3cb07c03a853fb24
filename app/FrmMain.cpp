#include "app/FrmMain.h"

#include <algorithm>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "app/AboutWindow.h"
#include "app/AppPaths.h"
#include "app/ClipTimeText.h"
#include "app/FrameSizePresets.h"
#include "convert/RowTexts.h"

namespace vidorant {

namespace {
const QString Group = QStringLiteral("OutputType");
const QString KeyWidth = QStringLiteral("Width");
const QString KeyHeight = QStringLiteral("Height");
const QString KeyFrameSize = QStringLiteral("FrameSize");
const QString KeyOutputFolder = QStringLiteral("OutputFolder");
const QString ZeroTime = QStringLiteral("00:00:00");

template <typename TControl>
TControl* Place(TControl* control, int left, int top, int width, int height) {
  control->setGeometry(left, top, width, height);
  return control;
}

// Gives the focus back to an edit the user is leaving, once the leaving is over: focus moved
// while it is being moved would end on the control the user chose.
void Refocus(QWidget* edit) {
  QTimer::singleShot(0, edit, [edit] { edit->setFocus(Qt::OtherFocusReason); });
}

QLabel* PlaceLabel(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}
}  // namespace

TFrmMain::TFrmMain(std::unique_ptr<TConversionEngine> engine, QString settingsFile)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      dlg(this),
      FFEncoder(std::move(engine)),
      FSettingsFile(std::move(settingsFile)) {
  setWindowTitle(QStringLiteral("Vidorant"));
  setFixedSize(653, 367);
  CreateControls();
  SetTabOrder();
  FFEncoder->OnProgress = [this](const TConversionProgress& info) { FFEncoderProgress(info); };
  FFEncoder->OnTerminate = [this](const TConversionEnd& info) { FFEncoderTerminate(info); };
}

TFrmMain::~TFrmMain() {
  // A window destroyed without closing (start-up failure, tests) must not be reported to.
  FFEncoder->OnProgress = nullptr;
  FFEncoder->OnTerminate = nullptr;
}

void TFrmMain::CreateControls() {
  Lvw = Place(new TBatchList(this), 8, 32, 553, 177);
  BtnAdd = Place(new QPushButton(QStringLiteral("Add"), this), 568, 32, 80, 27);
  BtnRemove = Place(new QPushButton(QStringLiteral("Remove"), this), 568, 64, 80, 27);
  BtnClear = Place(new QPushButton(QStringLiteral("Clear"), this), 568, 96, 80, 27);
  BtnMoveUp = Place(new QPushButton(QStringLiteral("Move Up"), this), 568, 150, 80, 27);
  BtnMoveDown = Place(new QPushButton(QStringLiteral("Move Down"), this), 568, 182, 80, 27);
  const QLabel* outputFolderLabel = PlaceLabel(this, QStringLiteral("Output Folder: "), 8, 220);
  // The layout leaves the label 72 pixels; in a larger font than that room was drawn for the
  // edit would cover the caption's end, so the edit then starts after it and keeps its right edge.
  const int folderLeft = std::max(80, outputFolderLabel->geometry().right() + 1);
  EdtOutputFolder = Place(new QLineEdit(QDir::rootPath(), this), folderLeft, 218, 617 - folderLeft, 19);
  EdtOutputFolder->setReadOnly(true);
  BtnChangeOutputFolder = Place(new QPushButton(QStringLiteral("..."), this), 624, 218, 25, 19);

  GrpOutputSettings = Place(new QGroupBox(QStringLiteral("Output Frame Size"), this), 8, 242, 337, 87);
  PlaceLabel(GrpOutputSettings, QStringLiteral("Frame Size:"), 10, 26);
  CboFrameSize = Place(new QComboBox(GrpOutputSettings), 80, 22, 241, 22);
  CboFrameSize->addItems(FrameSizePresets());
  PlaceLabel(GrpOutputSettings, QStringLiteral("Width:"), 10, 57);
  EdtFrameWidth = Place(new TSpinEdit(GrpOutputSettings), 80, 53, 81, 22);
  PlaceLabel(GrpOutputSettings, QStringLiteral("Height:"), 185, 57);
  EdtFrameHeight = Place(new TSpinEdit(GrpOutputSettings), 240, 53, 81, 22);

  GrpVideoClip = Place(new QGroupBox(QStringLiteral("Cut Video Clip"), this), 360, 242, 289, 87);
  PlaceLabel(GrpVideoClip, QStringLiteral("Start Time (hh:mm:ss):"), 10, 26);
  EdtStartTime = Place(new TFilteredEdit(GrpVideoClip), 160, 22, 113, 22);
  PlaceLabel(GrpVideoClip, QStringLiteral("End Time (hh:mm:ss):"), 10, 57);
  EdtEndTime = Place(new TFilteredEdit(GrpVideoClip), 160, 53, 113, 22);
  EdtStartTime->setText(ZeroTime);
  EdtEndTime->setText(ZeroTime);

  LblProgress = Place(new QLabel(this), 15, 342, 369, 17);
  LblProgress->hide();
  BtnStart = Place(new QPushButton(QStringLiteral("Convert"), this), 393, 336, 80, 30);
  BtnAbout = Place(new QPushButton(QStringLiteral("About"), this), 481, 336, 80, 27);
  BtnHelp = Place(new QPushButton(QStringLiteral("Help"), this), 569, 336, 80, 27);

  connect(BtnAdd, &QPushButton::clicked, this, &TFrmMain::BtnAddClick);
  connect(BtnRemove, &QPushButton::clicked, this, &TFrmMain::BtnRemoveClick);
  connect(BtnClear, &QPushButton::clicked, this, &TFrmMain::BtnClearClick);
  connect(BtnMoveUp, &QPushButton::clicked, this, &TFrmMain::BtnMoveUpClick);
  connect(BtnMoveDown, &QPushButton::clicked, this, &TFrmMain::BtnMoveDownClick);
  connect(Lvw, &QTableWidget::itemSelectionChanged, this, &TFrmMain::LvwSelectItem);
  connect(BtnChangeOutputFolder, &QPushButton::clicked, this, &TFrmMain::BtnChangeOutputFolderClick);
  connect(CboFrameSize, &QComboBox::activated, this, &TFrmMain::CboFrameSizeChange);
  connect(EdtFrameWidth, &QSpinBox::textChanged, this, &TFrmMain::EdtFrameWidthChange);
  connect(EdtFrameHeight, &QSpinBox::textChanged, this, &TFrmMain::EdtFrameHeightChange);
  connect(EdtFrameWidth, &TSpinEdit::Exited, this, &TFrmMain::EdtFrameWidthExit);
  connect(EdtFrameHeight, &TSpinEdit::Exited, this, &TFrmMain::EdtFrameHeightExit);
  EdtStartTime->AcceptKey = [this](int key) { return EdtStartTimeKeyPress(key); };
  EdtEndTime->AcceptKey = [this](int key) { return EdtEndTimeKeyPress(key); };
  connect(EdtStartTime, &TFilteredEdit::Exited, this, &TFrmMain::EdtStartTimeExit);
  connect(EdtEndTime, &TFilteredEdit::Exited, this, &TFrmMain::EdtEndTimeExit);
  connect(BtnStart, &QPushButton::clicked, this, &TFrmMain::BtnStartClick);
  connect(BtnAbout, &QPushButton::clicked, this, &TFrmMain::BtnAboutClick);
  connect(BtnHelp, &QPushButton::clicked, this, &TFrmMain::BtnHelpClick);
}

void TFrmMain::SetTabOrder() {
  const QWidget* order[] = {BtnAdd,  BtnRemove,       BtnClear,          BtnMoveUp,           BtnMoveDown,
                            BtnStart, BtnAbout,       BtnHelp,           EdtOutputFolder,     BtnChangeOutputFolder,
                            Lvw,     CboFrameSize,    EdtFrameWidth,     EdtFrameHeight,      EdtStartTime,
                            EdtEndTime};
  for (size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
}

bool TFrmMain::FormCreate() {
  std::string error;
  if (!FFEncoder->LoadLibraries(error)) {
    ShowMessage(QStringLiteral("Error"),
                QString::fromStdString(error) + QStringLiteral(" Please re-install the program and try it again."));
    return false;
  }
  QSettings settings(FSettingsFile, QSettings::IniFormat);
  settings.beginGroup(Group);
  EdtFrameWidth->SetText(settings.value(KeyWidth, QStringLiteral("320")).toString());
  EdtFrameHeight->SetText(settings.value(KeyHeight, QStringLiteral("240")).toString());
  bool isNumber = false;
  const int frameSize = settings.value(KeyFrameSize).toString().toInt(&isNumber);
  CboFrameSize->setCurrentIndex(isNumber ? frameSize : DefaultFrameSizeIndex);

  QString folder = settings.value(KeyOutputFolder).toString();
  if (folder.isEmpty()) {
    // The system's root stands in for the drive root when the user has no documents folder.
    folder = DefaultOutputFolder();
    if (folder.isEmpty()) {
      folder = QDir::rootPath();
    }
    settings.setValue(KeyOutputFolder, folder);
    settings.sync();
  }
  EdtOutputFolder->setText(folder);
  FCreated = true;
  return true;
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  if (FCreated) {
    FormCloseQuery();
  }
  event->accept();
}

void TFrmMain::FormCloseQuery() {
  {
    QSettings settings(FSettingsFile, QSettings::IniFormat);
    settings.beginGroup(Group);
    settings.setValue(KeyFrameSize, CboFrameSize->currentIndex());
    settings.setValue(KeyWidth, EdtFrameWidth->Text());
    settings.setValue(KeyHeight, EdtFrameHeight->Text());
    settings.setValue(KeyOutputFolder, EdtOutputFolder->text());
  }
  // Nothing of a stopped conversion reaches the closing window; the stopped file still saves
  // the GIF of what it converted before the wait ends.
  FFEncoder->OnProgress = nullptr;
  FFEncoder->OnTerminate = nullptr;
  FFEncoder->StopTasks();
  FCreated = false;
}

void TFrmMain::ShowMessage(const QString& caption, const QString& text) {
  dlg.Caption = caption;
  dlg.Text = text;
  dlg.Execute();
}

void TFrmMain::ResetTimeEdits() {
  EdtStartTime->setText(ZeroTime);
  EdtEndTime->setText(ZeroTime);
}

void TFrmMain::CboFrameSizeChange() {
  if (const auto size = FrameSizeOfEntry(CboFrameSize->currentText())) {
    EdtFrameWidth->SetText(size->first);
    EdtFrameHeight->SetText(size->second);
  }
}

void TFrmMain::EdtFrameWidthChange() {
  // Selecting the entry here is the edits' echo, not the user's pick: it must not set the edits.
  CboFrameSize->setCurrentIndex(FrameSizeIndexOf(EdtFrameWidth->Text(), EdtFrameHeight->Text()));
}

void TFrmMain::FrameSizeEditExit(TSpinEdit* edit, const QString& message) {
  if (!edit->Text().isEmpty()) {
    return;
  }
  ShowMessage(QStringLiteral("Information"), message);
  edit->SetText(QStringLiteral("0"));
  Refocus(edit);
}

void TFrmMain::EdtFrameWidthExit() {
  FrameSizeEditExit(EdtFrameWidth, QStringLiteral("Please enter a valid frame width."));
}

void TFrmMain::EdtFrameHeightExit() {
  FrameSizeEditExit(EdtFrameHeight, QStringLiteral("Please enter a valid frame height."));
}

bool TFrmMain::EdtStartTimeKeyPress(int key) {
  if (Lvw->RowCount() == 0 || Lvw->SelectedIndex() < 0) {
    return false;
  }
  return key == 8 || key == 9 || key == 13 || (key >= '0' && key <= ':');
}

void TFrmMain::ClipTimeEditExit(TFilteredEdit* edit, TBatchColumn column, const QString& which,
                                const QString& longer) {
  const int row = Lvw->SelectedIndex();
  if (row < 0 || Lvw->Text(row, bcDuration) == QLatin1String(NotAvailableText)) {
    return;
  }
  const std::string time = edit->text().toStdString();
  if (!IsWellFormedClipTime(time)) {
    ShowMessage(QStringLiteral("Error"),
                QStringLiteral("Time foramt is hh:mm:ss, so the time format of %1 time is wrong, please correct it.").arg(which));
    Refocus(edit);
    return;
  }
  if (time > Lvw->Text(row, bcDuration).toStdString()) {
    ShowMessage(QStringLiteral("Error"),
                QStringLiteral("%1 time is longer than the total duratin time of the video, please correct it.").arg(longer));
    return;
  }
  Lvw->SetText(row, column, edit->text());
}

void TFrmMain::EdtStartTimeExit() {
  ClipTimeEditExit(EdtStartTime, bcStartTime, QStringLiteral("start"), QStringLiteral("Start"));
}

void TFrmMain::EdtEndTimeExit() {
  ClipTimeEditExit(EdtEndTime, bcEndTime, QStringLiteral("end"), QStringLiteral("End"));
}

void TFrmMain::BtnChangeOutputFolderClick() {
  QFileDialog dialog(this, QStringLiteral("Select Output Folder"),
                     QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return;
  }
  QString folder = QDir::toNativeSeparators(dialog.selectedFiles().first());
  if (!folder.endsWith(QDir::separator())) {
    folder += QDir::separator();
  }
  EdtOutputFolder->setText(folder);
}

void TFrmMain::BtnHelpClick() {
  // A missing help file is the system's to report, as for any file opened by its program.
  QDesktopServices::openUrl(QUrl::fromLocalFile(JoinPath(QCoreApplication::applicationDirPath(), QStringLiteral("help.html"))));
}

void TFrmMain::BtnAboutClick() {
  TAboutWindow about(this);
  about.exec();
}

void TFrmMain::SetEditingEnabled(bool enabled) {
  for (QWidget* control : {static_cast<QWidget*>(BtnAdd), static_cast<QWidget*>(BtnRemove),
                           static_cast<QWidget*>(BtnClear), static_cast<QWidget*>(BtnMoveUp),
                           static_cast<QWidget*>(BtnMoveDown), static_cast<QWidget*>(BtnChangeOutputFolder),
                           static_cast<QWidget*>(BtnAbout), static_cast<QWidget*>(BtnHelp),
                           static_cast<QWidget*>(GrpOutputSettings), static_cast<QWidget*>(GrpVideoClip)}) {
    control->setEnabled(enabled);
  }
  LblProgress->setVisible(!enabled);
  Lvw->setEnabled(true);
}

}  // namespace vidorant
