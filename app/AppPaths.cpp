#include "app/AppPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace vidorant {

QString JoinPath(const QString& folder, const QString& name) {
  if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator())) {
    return folder + name;
  }
  return folder + QLatin1Char('/') + name;
}

QString SettingsFilePath() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return config.isEmpty() ? QString() : JoinPath(config, QStringLiteral("Vidorant/Options.ini"));
}

QString DefaultOutputFolder() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return documents.isEmpty() ? QString() : QDir::toNativeSeparators(JoinPath(documents, QStringLiteral("Vidorant/")));
}

QString InstanceLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
  }
  return JoinPath(folder, QStringLiteral("VUR_Vidorant.lock"));
}

}  // namespace vidorant
