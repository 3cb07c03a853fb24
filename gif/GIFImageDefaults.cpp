// The one block of document defaults.
#include "gif/GIFImageDefaults.h"

namespace vidorant {

TGIFImageDefaults GIFImageDefaults;

}  // namespace vidorant
