// The common polymorphic base of engine and GIF objects: events pass the firing object as
// Sender, typed TObject*.
#pragma once

namespace vidorant {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
};

}  // namespace vidorant
