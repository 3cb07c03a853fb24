// The main window driven as a user drives it: start-up and settings, the batch list, the frame
// size and clip editors, the batch's reports, and the message dialog's Ctrl+C text.
#include <QComboBox>
#include <QDir>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/AppPaths.h"
#include "app/FrmMain.h"
#include "app/Startup.h"
#include "tests/app/WindowTestKit.h"

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
  std::unique_ptr<TFrmMain> FWindow;

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
    edit->setFocus(Qt::MouseFocusReason);
    if (clearFirst) {
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(edit, Qt::Key_Backspace);
    }
    QTest::keyClicks(edit, text);
    FWindow->Lvw->setFocus(Qt::MouseFocusReason);
  }

private slots:
  void init() {
    qputenv("HOME", FHome.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", File(QStringLiteral("config")).toUtf8());
    QDir().mkpath(File(QStringLiteral("config/Vidorant")));
    FSettings = SettingsFilePath();
  }
  void cleanup() {
    FWindow.reset();
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
    TMessageReader reader;
    bool windowMade = false;
    const int status = RunVidorant(places, [&] {
      windowMade = true;
      auto engine = std::make_unique<TFakeEngine>();
      engine->LoadError = loadError.toStdString();
      return engine;
    });
    QCOMPARE(status, QTest::currentDataTag() == QLatin1String("second copy") ? 0 : 1);
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
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FrmMainTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "FrmMainTest.moc"
