// A picture that can be stored in a stream and drawn on a canvas: the GIF document is one.
#pragma once

#include "platform/Geometry.h"
#include "platform/TObject.h"

namespace vidorant {

class TCanvas;
class TStream;

class TGraphic : public TObject {
public:
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual bool GetEmpty() const = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Draws the picture scaled into rect.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
};

}  // namespace vidorant
