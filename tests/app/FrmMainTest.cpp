// The main window driven as a user drives it: start-up and settings, the batch list, the frame
// size and clip editors, the batch's reports, and the message dialog's Ctrl+C text.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppPaths.h"
#include "app/FFConversionEngine.h"
#include "app/FrmMain.h"
#include "app/MainThreadHooks.h"
#include "app/Startup.h"
#include "tests/app/WindowTestKit.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"
#include "tools/testvideo/TestVideo.h"

#include <fstream>
#include <iterator>

using namespace vidorant;
using namespace vidorant::testing;

namespace {
const QString NoSettings = QStringLiteral("<none>");
const QString Docs = QStringLiteral("<docs>");
}  // namespace

class FrmMainTest : public QObject {
  Q_OBJECT

  QTemporaryDir FHome;
  QString FSettings;
  TFakeEngine* FEngine = nullptr;  // owned by the window
  std::unique_ptr<TMainThreadHooks> FHooks;  // while a real engine runs; outlives the window
  std::unique_ptr<TFrmMain> FWindow;
  std::unique_ptr<TMessageReader> FReader;  // answers every message of a test

  QString File(const QString& name) const { return FHome.filePath(name); }
  void WriteSettings(const QString& ini) {
    QFile file(FSettings);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini.toUtf8());
  }
  // A window as the program makes it, with the given settings file text.
  void Open(const QString& ini = QStringLiteral("[OutputType]\n")) {
    WriteSettings(ini);
    auto engine = std::make_unique<TFakeEngine>();
    FEngine = engine.get();
    FWindow = std::make_unique<TFrmMain>(std::move(engine), FSettings);
    QVERIFY(FWindow->FormCreate());
    FWindow->show();
    QApplication::setActiveWindow(FWindow.get());
    QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
  }
  // Adds videos that exist, each probed with the duration (µs) and size given.
  void Add(const std::vector<std::pair<QString, TFileProbe>>& videos) {
    QStringList paths;
    for (const auto& [name, probe] : videos) {
      QFile(File(name)).open(QIODevice::WriteOnly);
      FEngine->Probes[File(name).toStdString()] = probe;
      paths << File(name);
    }
    FWindow->AddFiles(paths);
  }
  QString Cell(int row, TBatchColumn column) const { return FWindow->Lvw->Text(row, column); }
  // Types into the edit and leaves it for the list, as a user leaving with the mouse.
  void TypeAndLeave(QWidget* edit, const QString& text, bool clearFirst = true) {
    // A message the window showed took the activation; the user comes back to the window.
    QApplication::setActiveWindow(FWindow.get());
    QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
    edit->setFocus(Qt::MouseFocusReason);
    if (clearFirst) {
      if (auto* line = qobject_cast<QLineEdit*>(edit)) {
        line->selectAll();
      } else {
        qobject_cast<QAbstractSpinBox*>(edit)->selectAll();
      }
      QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QTest::keyClicks(edit, text);
    FWindow->Lvw->setFocus(Qt::MouseFocusReason);
  }

  // A window over the real engine, converting into out at 160x120.
  void OpenWithRealEngine(const QString& out) {
    WriteSettings(QString("[OutputType]\nWidth=160\nHeight=120\nOutputFolder=%1/\n").arg(out));
    FHooks = std::make_unique<TMainThreadHooks>();
    FWindow = std::make_unique<TFrmMain>(std::make_unique<TFFConversionEngine>(), FSettings);
    QVERIFY(FWindow->FormCreate());
  }
  // A generated 25 frames/s video of that many frames in the test's folder.
  QString MakeVideo(const char* name, int frames) const {
    TVideoRecipe recipe;
    recipe.FrameCount = frames;
    return QString::fromStdString(MakeTestVideo(FHome.path().toStdString(), name, recipe));
  }
  static std::vector<uint8_t> ReadBytes(const QString& path) {
    std::ifstream file(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }

private slots:
  void init() {
    FReader = std::make_unique<TMessageReader>();
    qputenv("HOME", FHome.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", File(QStringLiteral("config")).toUtf8());
    QDir().mkpath(File(QStringLiteral("config/Vidorant")));
    FSettings = SettingsFilePath();
  }
  void cleanup() {
    FWindow.reset();
    FHooks.reset();
    FReader.reset();
    QFile::remove(FSettings);
  }

  void startUpRefusals_data() {
    QTest::addColumn<bool>("otherCopyRuns");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("loadError");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");
    QTest::newRow("second copy") << true << QString("[OutputType]\n") << QString() << 0 << "Vidorant"
                                 << "Vidorant already runs.";
    QTest::newRow("settings missing") << false << NoSettings << QString() << 1 << "Vidorant"
                                      << "The setting file of Vidorant is missing, please re-install it.";
    QTest::newRow("libraries missing") << false << QString("[OutputType]\n") << QString("Load library x error: y") << 1
                                       << "Error" << "Load library x error: y Please re-install the program and try it again.";
  }
  void startUpRefusals() {
    QFETCH(bool, otherCopyRuns);
    QFETCH(QString, ini);
    QFETCH(QString, loadError);
    if (ini != NoSettings) {
      WriteSettings(ini);
    }
    const TStartupPlaces places{File(QStringLiteral("instance.lock")), FSettings};
    QLockFile other(places.InstanceLock);
    if (otherCopyRuns) {
      QVERIFY(other.tryLock(0));
    }
    TMessageReader& reader = *FReader;
    bool windowMade = false;
    const int status = RunVidorant(places, [&] {
      windowMade = true;
      auto engine = std::make_unique<TFakeEngine>();
      engine->LoadError = loadError.toStdString();
      return engine;
    });
    QTEST(status, "status");
    QCOMPARE(reader.Seen.size(), 1u);
    QTEST(reader.Seen[0].Caption, "caption");
    QTEST(reader.Seen[0].Text, "message");
    // The window is made only when the settings file was found, and never shown when refused.
    QCOMPARE(windowMade, ini != NoSettings && !otherCopyRuns);
    // A refused start writes nothing into a settings file that exists.
    if (ini != NoSettings) {
      QFile file(FSettings);
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(QString::fromUtf8(file.readAll()), ini);
    }
  }

  // In this system's font the caption is wider than the room the layout gives it: the folder
  // edit must start after it, not cover its end, and still end where the layout ends it.
  void outputFolderCaptionIsNotCovered() {
    Open();
    const QLabel* caption = nullptr;
    for (const QLabel* label : FWindow->findChildren<QLabel*>())
      if (label->text() == QStringLiteral("Output Folder: ")) caption = label;
    QVERIFY(caption);
    QVERIFY(caption->geometry().right() < FWindow->EdtOutputFolder->geometry().left());
    QCOMPARE(FWindow->EdtOutputFolder->geometry().right(), 80 + 537 - 1);
  }

  void settingsShownAndWrittenBack_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("folder");
    QTest::newRow("no section") << QString("[Other]\nKey=1\n") << "320" << "240" << "320 x 240" << Docs;
    QTest::newRow("custom size") << QString("[OutputType]\nWidth=333\nHeight=222\nFrameSize=15\nOutputFolder=/o/\n")
                                 << "333" << "222" << "Custom..." << "/o/";
    QTest::newRow("folder without separator") << QString("[OutputType]\nOutputFolder=/tmp/gifs\n") << "320" << "240"
                                              << "320 x 240" << "/tmp/gifs";
    QTest::newRow("size not a number") << QString("[OutputType]\nWidth=640\nHeight=480\nFrameSize=x\n") << "640"
                                       << "480" << "320 x 240" << Docs;
  }
  void settingsShownAndWrittenBack() {
    QFETCH(QString, ini);
    QFETCH(QString, folder);
    Open(ini);
    if (folder == Docs) {
      folder = FHome.path() + QStringLiteral("/Documents/Vidorant/");
    }
    QTEST(FWindow->EdtFrameWidth->Text(), "width");
    QTEST(FWindow->EdtFrameHeight->Text(), "height");
    QTEST(FWindow->CboFrameSize->currentText(), "preset");
    QCOMPARE(FWindow->EdtOutputFolder->text(), folder);
    // The first-run folder is in the file at once; the rest of the file is kept.
    QCOMPARE(QSettings(FSettings, QSettings::IniFormat).value("OutputType/OutputFolder").toString(), folder);
    QCOMPARE(QSettings(FSettings, QSettings::IniFormat).value("Other/Key", "1").toString(), QString("1"));

    FWindow->EdtFrameWidth->SetText("7");
    FWindow->close();
    QSettings saved(FSettings, QSettings::IniFormat);
    QCOMPARE(saved.value("OutputType/Width").toString(), QString("7"));
    QCOMPARE(saved.value("OutputType/FrameSize").toInt(), 15);
    QCOMPARE(FEngine->Stops, 1);
  }

  void addingListsEachFileOnce() {
    Open(QString("[OutputType]\nOutputFolder=%1\n").arg(FHome.path()));
    QFile(File("clip.gif")).open(QIODevice::WriteOnly);
    QFile(File("clip(1).gif")).open(QIODevice::WriteOnly);
    FEngine->Unsupported.insert(File("bad.txt").toStdString());
    TMessageReader& reader = *FReader;
    Add({{"clip.avi", {3725900000, 1572864}}, {"bad.txt", {}}, {"clip.mp4", {59000000, 0}}});
    FWindow->AddFiles({File("unprobed.a.b.mp4")});
    QCOMPARE(reader.Seen.size(), 1u);
    QCOMPARE(reader.Seen[0].Caption, QString("Error"));
    QCOMPARE(reader.Seen[0].Text, QString("Convertion of file \"%1\" is not supported.").arg(File("bad.txt")));

    const std::vector<TBatchRow> expected = {
        {"clip.avi", "01:02:05", "1.5 MB", "clip(2).gif", "", File("clip.avi"), "00:00:00", "01:02:05"},
        {"clip.mp4", "00:00:59", "0.0 MB", "clip(3).gif", "", File("clip.mp4"), "00:00:00", "00:00:59"},
        {"unprobed.a.b.mp4", "N/A", "0.0 MB", "unprobed.a.b.gif", "", File("unprobed.a.b.mp4"), "00:00:00", "N/A"},
    };
    QCOMPARE(FWindow->Lvw->RowCount(), 3);
    for (int row = 0; row < 3; ++row) {
      QCOMPARE(FWindow->Lvw->Row(row), expected[row]);
    }
    QCOMPARE(FEngine->Jobs.size(), 0u);  // the proving tasks are gone
  }

  void rowsMoveWithEveryColumn() {
    Open();
    Add({{"a.avi", {300000000, 1}}, {"b.avi", {120000000, 1}}, {"c.avi", {60000000, 1}}});
    QCOMPARE(FWindow->Lvw->SelectedIndex(), 0);
    QCOMPARE(FWindow->EdtEndTime->text(), QString("00:05:00"));
    TypeAndLeave(FWindow->EdtStartTime, "00:01:00");
    const TBatchRow first = FWindow->Lvw->Row(0);
    QCOMPARE(first[bcStartTime], QString("00:01:00"));

    FWindow->BtnMoveUpClick();  // at the top: nothing
    QCOMPARE(FWindow->Lvw->Row(0), first);
    FWindow->BtnMoveDownClick();
    FWindow->BtnMoveDownClick();
    FWindow->BtnMoveDownClick();  // at the bottom: nothing
    QCOMPARE(FWindow->Lvw->SelectedIndex(), 2);
    QCOMPARE(FWindow->Lvw->Row(2), first);
    QCOMPARE(Cell(0, bcInputFilename), QString("b.avi"));
    QCOMPARE(FWindow->EdtStartTime->text(), QString("00:01:00"));

    FWindow->BtnRemoveClick();
    QCOMPARE(FWindow->Lvw->RowCount(), 2);
    QCOMPARE(FWindow->EdtStartTime->text(), QString("00:00:00"));
    FWindow->Lvw->SelectRow(0);
    FWindow->BtnRemoveClick();
    FWindow->Lvw->SelectRow(0);
    TypeAndLeave(FWindow->EdtEndTime, "00:00:30");
    FWindow->BtnRemoveClick();
    QCOMPARE(FWindow->EdtEndTime->text(), QString("00:00:00"));
    QCOMPARE(FReader->Seen.size(), 0u);
  }

  void frameSizeFollowsPresets() {
    Open();
    TMessageReader& reader = *FReader;
    FWindow->CboFrameSize->setCurrentIndex(10);
    emit FWindow->CboFrameSize->activated(10);
    QCOMPARE(FWindow->EdtFrameWidth->Text() + "/" + FWindow->EdtFrameHeight->Text(), QString("640/480"));
    QCOMPARE(FWindow->CboFrameSize->currentText(), QString("640 x 480"));
    TypeAndLeave(FWindow->EdtFrameWidth, "641");
    QCOMPARE(FWindow->CboFrameSize->currentText(), QString("Custom..."));
    emit FWindow->CboFrameSize->activated(15);
    QCOMPARE(FWindow->EdtFrameWidth->Text(), QString("641"));
    TypeAndLeave(FWindow->EdtFrameWidth, "640");
    QCOMPARE(FWindow->CboFrameSize->currentText(), QString("640 x 480"));
    QCOMPARE(reader.Seen.size(), 0u);

    TypeAndLeave(FWindow->EdtFrameHeight, "");
    QCOMPARE(reader.Seen.size(), 1u);
    QCOMPARE(reader.Seen[0].Caption, QString("Information"));
    QCOMPARE(reader.Seen[0].Text, QString("Please enter a valid frame height."));
    QCOMPARE(FWindow->EdtFrameHeight->Text(), QString("0"));
    QTRY_VERIFY(FWindow->focusWidget() != nullptr &&
                (FWindow->focusWidget() == FWindow->EdtFrameHeight ||
                 FWindow->focusWidget()->parentWidget() == FWindow->EdtFrameHeight));
  }

  void clipTimesChecked_data() {
    QTest::addColumn<bool>("end");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    const QString format = "Time foramt is hh:mm:ss, so the time format of %1 time is wrong, please correct it.";
    const QString longer = "%1 time is longer than the total duratin time of the video, please correct it.";
    QTest::newRow("end past duration") << true << "00:06:00" << "00:05:00" << longer.arg("End");
    QTest::newRow("end within") << true << "00:04:59" << "00:04:59" << QString();
    QTest::newRow("seven characters") << false << "1:00:00" << "00:00:00" << format.arg("start");
    QTest::newRow("minutes 60") << false << "00:60:00" << "00:00:00" << format.arg("start");
    QTest::newRow("dashes") << true << "00-00-00" << "00:05:00" << format.arg("end");
    QTest::newRow("colon for a digit") << false << "0::00:00" << "00:00:00" << format.arg("start");
    QTest::newRow("well formed, too long") << false << "99:59:59" << "00:00:00" << longer.arg("Start");
  }
  void clipTimesChecked() {
    QFETCH(bool, end);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Open();
    Add({{"v.avi", {300000000, 1}}});
    TMessageReader& reader = *FReader;
    TFilteredEdit* edit = end ? FWindow->EdtEndTime : FWindow->EdtStartTime;
    // The key filter lets only digits and colons through, so "-" never reaches the edit.
    edit->setFocus(Qt::MouseFocusReason);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, typed);
    if (typed.contains('-')) {
      QCOMPARE(edit->text(), QString("000000"));
      edit->setText(typed);
    }
    FWindow->Lvw->setFocus(Qt::MouseFocusReason);
    QTEST(Cell(0, end ? bcEndTime : bcStartTime), "stored");
    QCOMPARE(reader.Seen.size(), message.isEmpty() ? 0u : 1u);
    if (!message.isEmpty()) {
      // A badly formed time keeps the focus; a time past the duration is only reported.
      QTRY_COMPARE(FWindow->focusWidget() == edit, message.startsWith("Time foramt"));
      QCOMPARE(reader.Seen[0].Caption, QString("Error"));
      QCOMPARE(reader.Seen[0].Text, message);
    }
  }

  void clipEditsInertWithoutKnownDuration() {
    Open();
    QTest::keyClicks(FWindow->EdtStartTime, "12");  // no row: every key discarded
    QCOMPARE(FWindow->EdtStartTime->text(), QString("00:00:00"));
    Add({{"n.avi", {-1, 1}}});
    TMessageReader& reader = *FReader;
    TypeAndLeave(FWindow->EdtStartTime, "bad");  // keys pass the filter only as digits and colons
    TypeAndLeave(FWindow->EdtStartTime, "77");
    QCOMPARE(FWindow->EdtStartTime->text(), QString("77"));
    QCOMPARE(Cell(0, bcStartTime), QString("00:00:00"));
    QCOMPARE(reader.Seen.size(), 0u);
  }

  void batchReportsReachTheirRows() {
    Open(QString("[OutputType]\nOutputFolder=%1/out\n").arg(FHome.path()));
    TMessageReader& reader = *FReader;
    FWindow->BtnStart->click();
    Add({{"a.avi", {300000000, 1}}, {"b.avi", {300000000, 1}}, {"a.mp4", {300000000, 1}}});
    FWindow->Lvw->SelectRow(2);
    TypeAndLeave(FWindow->EdtStartTime, "00:02:00");
    TypeAndLeave(FWindow->EdtEndTime, "00:01:00");
    FWindow->BtnStart->click();
    TypeAndLeave(FWindow->EdtEndTime, "00:03:00");
    FEngine->Unsupported.insert(File("b.avi").toStdString());
    FWindow->BtnStart->click();
    const std::vector<QString> expected = {
        "Please select files to be converted.",
        "End time of video clip \"a.mp4\" is less than start time, please correct it.",
        QString("Convertion of file \"%1\" is not supported.").arg(File("b.avi"))};
    QCOMPARE(reader.Seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(reader.Seen[i].Text, expected[i]);
    }
    QVERIFY(QDir(FHome.filePath("out")).exists());
    QCOMPARE(FEngine->Jobs.size(), 2u);
    QCOMPARE(FEngine->Jobs[1].Row, 2);
    QCOMPARE(FEngine->Jobs[1].OutputName, std::string("a(1).gif"));  // a.avi takes a.gif in the same batch
    QCOMPARE(FEngine->Jobs[1].Clip, (TClipRange{120000000, 60000000}));
    QCOMPARE(FWindow->BtnStart->text(), QString("Stop"));
    QVERIFY(!FWindow->BtnAdd->isEnabled() && !FWindow->GrpVideoClip->isEnabled() && FWindow->Lvw->isEnabled());

    FEngine->OnProgress({2, 5, 30000000, 0});  // no total: no percentage
    QCOMPARE(Cell(2, bcStatus), QString(" "));
    FEngine->OnProgress({2, 300, 30000000, 60000000});
    QCOMPARE(Cell(2, bcStatus), QString("50% Completed"));
    QCOMPARE(FWindow->LblProgress->text(), QString("Current Frame=300; Current Time=30 seconds"));
    FEngine->OnTerminate({0, true, false, {}});
    QCOMPARE(Cell(0, bcStatus), QString("Completed"));
    FWindow->BtnStart->click();  // Stop while the third row converts
    QCOMPARE(Cell(2, bcStatus), QString("Stopped"));
    QCOMPARE(Cell(1, bcStatus), QString(" "));
    QCOMPARE(FWindow->BtnStart->text(), QString("Convert"));
    QVERIFY(FWindow->BtnAdd->isEnabled() && FWindow->LblProgress->isHidden());
  }

  // Three generated videos through the real engine, as a user converts them: one GIF each, of the
  // frames the constant-rate rule gives at the chosen size, rows completed, the batch announced;
  // the same list converted again gets numbered names instead of overwriting.
  void realBatchConvertsEveryRowIntoItsGIF() {
    const QString out = FHome.filePath(QStringLiteral("gifs"));
    OpenWithRealEngine(out);
    QStringList videos;
    for (const char* name : {"one", "two", "three"}) videos << MakeVideo(name, 50);  // 21 frames at 10/s
    FWindow->AddFiles(videos);
    QCOMPARE(FWindow->Lvw->RowCount(), 3);
    TMessageReader& reader = *FReader;
    for (const QString& suffix : {QString(), QString("(1)")}) {
      reader.Seen.clear();
      FWindow->BtnStart->click();
      QTRY_VERIFY_WITH_TIMEOUT(!reader.Seen.empty(), 120000);
      QCOMPARE(reader.Seen.back().Text, QString("File conversion completed."));
      for (int row = 0; row < 3; ++row) {
        QCOMPARE(Cell(row, bcStatus), QString("Completed"));
        const QString gif = QString("%1/%2%3.gif").arg(out, QFileInfo(videos[row]).baseName(), suffix);
        const std::vector<uint8_t> bytes = ReadBytes(gif);
        QVERIFY2(bytes.size() > 6 && std::string(bytes.begin(), bytes.begin() + 6) == "GIF87a", qPrintable(gif));
        const std::vector<TDecodedPicture> pictures = DecodeGIFWithFFmpeg(bytes);
        QCOMPARE(pictures.size(), 21u);
        QCOMPARE(pictures.front().Width, 160);
        QCOMPARE(pictures.front().Height, 120);
      }
    }
  }

  // Stop pressed, or the window closed, while the second of three rows converts: the first
  // completed, the second stopped with a GIF of the frames made so far, the third untouched; a
  // closing window also saves the settings.
  void realBatchStoppedInTheSecondRowKeepsItsPartialGIF_data() {
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("Stop") << false;
    QTest::newRow("window closed") << true;
  }
  void realBatchStoppedInTheSecondRowKeepsItsPartialGIF() {
    QFETCH(bool, closeWindow);
    const QString out = FHome.filePath(QStringLiteral("gifs"));
    OpenWithRealEngine(out);
    // Ten minutes in the middle: it reports its progress long before it could end.
    const QStringList videos = {MakeVideo("first", 25), MakeVideo("second", 25 * 600), MakeVideo("third", 25)};
    FWindow->AddFiles(videos);
    FWindow->BtnStart->click();
    // The second row reports its progress once it has converted for a while.
    QTRY_VERIFY_WITH_TIMEOUT(Cell(1, bcStatus).endsWith(QStringLiteral("% Completed")), 120000);
    if (closeWindow) {
      FWindow->close();
      QVERIFY(QSettings(FSettings, QSettings::IniFormat).contains(QStringLiteral("OutputType/FrameSize")));
    } else {
      FWindow->BtnStart->click();
      QCOMPARE(Cell(0, bcStatus), QString("Completed"));
      QCOMPARE(Cell(1, bcStatus), QString("Stopped"));
      QCOMPARE(Cell(2, bcStatus), QString(" "));
    }
    const size_t frames = DecodeGIFWithFFmpeg(ReadBytes(out + "/second.gif")).size();
    QVERIFY2(frames > 0 && frames < 6001, qPrintable(QString::number(frames)));
    QVERIFY(!QFile::exists(out + "/third.gif"));
    // No file under its temporary name is left behind.
    QCOMPARE(QDir(out).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
  }

  void messageCopiedWithCtrlC() {
    Open();
    TMessageReader& reader = *FReader;
    FWindow->dlg.Caption = "Information";
    FWindow->dlg.Text = "File conversion completed.";
    FWindow->dlg.Execute();
    QCOMPARE(reader.Seen.size(), 1u);
    QCOMPARE(reader.Seen[0].Clipboard, QString("---------------------------\r\nInformation\r\n"
                                               "---------------------------\r\nFile conversion completed.\r\n"
                                               "---------------------------\r\nOK\r\n---------------------------"));
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FrmMainTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FrmMainTest.moc"
