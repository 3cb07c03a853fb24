#include "cli/OutputSettings.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace vidorant {

std::string SettingsFilePath() {
  return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Vidorant/Options.ini")
      .toStdString();
}

TOutputSettings ReadOutputSettings() {
  TOutputSettings settings;
  const QString path = QString::fromStdString(SettingsFilePath());
  QString folder;
  if (QFileInfo::exists(path)) {
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup("OutputType");
    settings.FrameWidth = file.value("Width", "320").toString().toStdString();
    settings.FrameHeight = file.value("Height", "240").toString().toStdString();
    folder = file.value("OutputFolder").toString();
  }
  if (folder.isEmpty())
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Vidorant/";
  settings.OutputFolder = folder.toStdString();
  return settings;
}

}  // namespace vidorant
