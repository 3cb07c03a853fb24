// CallInMainThread.h over the platform's synchronise call.
#include "engine/encoder/CallInMainThread.h"

#include "platform/Synchronize.h"

namespace vidorant {

// Synchronize runs the handler at once on the main thread itself.
void CallInMainThread(const std::function<void()>& handler) { Synchronize(handler); }

}  // namespace vidorant
