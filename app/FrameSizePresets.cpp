#include "app/FrameSizePresets.h"

namespace vidorant {

namespace {
const QString Separator = QStringLiteral(" x ");
}

const QStringList& FrameSizePresets() {
  static const QStringList presets = {
      QStringLiteral("128 x 96"),   QStringLiteral("160 x 120"),  QStringLiteral("176 x 144"),
      QStringLiteral("208 x 160"),  QStringLiteral("208 x 176"),  QStringLiteral("240 x 180"),
      QStringLiteral("320 x 240"),  QStringLiteral("400 x 300"),  QStringLiteral("480 x 360"),
      QStringLiteral("512 x 384"),  QStringLiteral("640 x 480"),  QStringLiteral("768 x 576"),
      QStringLiteral("800 x 600"),  QStringLiteral("1024 x 768"), QStringLiteral("1280 x 960"),
      QStringLiteral("Custom..."),
  };
  return presets;
}

int FrameSizeIndexOf(const QString& width, const QString& height) {
  const int index = FrameSizePresets().indexOf(width + Separator + height);
  return index < 0 ? CustomFrameSizeIndex : index;
}

std::optional<std::pair<QString, QString>> FrameSizeOfEntry(const QString& entry) {
  const qsizetype at = entry.indexOf(Separator);
  if (entry == FrameSizePresets().at(CustomFrameSizeIndex) || at < 0) {
    return std::nullopt;
  }
  return std::make_pair(entry.left(at), entry.mid(at + Separator.size()));
}

}  // namespace vidorant
