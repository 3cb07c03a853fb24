// The base of the engine's components (encoder, frame output adapter, logger, decoder): one
// published text, About, and one further text field, both empty after construction.
#pragma once

#include <string>

#include "platform/TObject.h"

namespace vidorant {

class TFFBaseComponent : public TObject {
public:
  std::string About;

protected:
  // Free text a component may keep beside About (a version or build note).
  std::string FInfo;
};

}  // namespace vidorant
