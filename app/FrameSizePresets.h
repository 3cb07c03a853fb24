// The frame sizes the window offers, and how the preset list follows the width and height
// edits: an entry is "W x H", and any size that matches none is the last entry, "Custom...".
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace vidorant {

// The 16 entries by index; the settings store the index.
const QStringList& FrameSizePresets();
inline constexpr int CustomFrameSizeIndex = 15;
inline constexpr int DefaultFrameSizeIndex = 6;  // "320 x 240"

// The index of the first entry reading exactly width + " x " + height, else CustomFrameSizeIndex.
int FrameSizeIndexOf(const QString& width, const QString& height);

// The width and height texts of an entry, split at its " x "; nullopt for "Custom...".
std::optional<std::pair<QString, QString>> FrameSizeOfEntry(const QString& entry);

}  // namespace vidorant
