#include "app/Startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLockFile>
#include <QMessageBox>
#include <QScreen>

#include "app/AppPaths.h"
#include "app/FrmMain.h"
#include "app/MainThreadHooks.h"

namespace vidorant {

TStartupPlaces DefaultStartupPlaces() {
  return {InstanceLockPath(), SettingsFilePath()};
}

int RunVidorant(const TStartupPlaces& places, const std::function<std::unique_ptr<TConversionEngine>()>& makeEngine) {
  // Held until this function returns; a copy that died leaves a lock the next start takes over,
  // because the lock names the process that holds it.
  QLockFile instance(places.InstanceLock);
  instance.setStaleLockTime(0);
  if (!instance.tryLock(0) && instance.error() == QLockFile::LockFailedError) {
    QMessageBox::information(nullptr, QStringLiteral("Vidorant"), QStringLiteral("Vidorant already runs."));
    return 0;
  }
  // A lock that cannot be made at all (no writable runtime folder) does not keep the user out.

  QApplication::setApplicationDisplayName(QString());
  QCoreApplication::setApplicationName(QStringLiteral("Vidorant"));
  if (places.SettingsFile.isEmpty() || !QFileInfo::exists(places.SettingsFile)) {
    QMessageBox::critical(nullptr, QStringLiteral("Vidorant"),
                          QStringLiteral("The setting file of Vidorant is missing, please re-install it."));
    return 1;
  }

  TMainThreadHooks hooks;
  TFrmMain window(makeEngine(), places.SettingsFile);
  if (!window.FormCreate()) {
    return 1;
  }
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    window.move(screen->availableGeometry().center() - window.rect().center());
  }
  window.show();
  return QApplication::exec();
}

}  // namespace vidorant
