// The common polymorphic base of engine and GIF objects: events pass the firing object as
// Sender, typed TObject*.
#pragma once

#include <functional>

namespace vidorant {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
};

// The plain event: only the object that fires it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

}  // namespace vidorant
