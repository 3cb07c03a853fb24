// Small types shared by every part of the GIF document: versions, warning severities,
// progress stages and the event signatures the document fires.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Color.h"
#include "platform/TObject.h"

namespace vidorant {

// The file version an item needs: 87a unless it uses something only 89a has.
enum TGIFVersion { gvUnknown = 0, gv87a = 1, gv89a = 2 };

enum TGIFSeverity { gsInfo, gsWarning, gsError };

enum TProgressStage { psStarting, psRunning, psEnding };

// Soft problems: the item that met the problem, how bad it is and the fixed English text.
using TGIFWarning = std::function<void(TObject* Sender, TGIFSeverity Severity, const std::string& Message)>;
// Long work (saving, converting): stage, percentage done, fixed English text.
using TGIFProgressEvent =
    std::function<void(TObject* Sender, TProgressStage Stage, int PercentDone, const std::string& Message)>;

}  // namespace vidorant
