#include "engine/core/AudioSync.h"

#include <algorithm>
#include <cmath>

namespace vidorant {

TAudioSyncAction DecideAudioSync(const TAudioSyncInput& in) {
  TAudioSyncAction action;
  if (in.Method <= 0) {
    action.Kind = TAudioSyncAction::TKind::SetTimestamp;
    action.Timestamp = std::llround(in.InputTime * in.EncoderRate) - in.FifoSamples;
    return action;
  }
  const double delta = in.InputTime * in.EncoderRate - static_cast<double>(in.SyncTimestamp) -
                       static_cast<double>(in.FifoSamples);
  action.Delta = delta;
  if (std::fabs(delta) <= AudioSyncTolerance) return action;
  if (in.AtStart || std::fabs(delta) > in.DriftThreshold * in.EncoderRate) {
    // The same time span in the incoming buffer's rate.
    const auto samples = static_cast<int64_t>(std::trunc(delta * in.DecoderRate / in.EncoderRate));
    if (samples == 0) return action;
    action.Kind = samples < 0 ? TAudioSyncAction::TKind::Trim : TAudioSyncAction::TKind::Insert;
    action.Samples = samples < 0 ? -samples : samples;
    return action;
  }
  if (in.Method < 2) return action;
  action.Kind = TAudioSyncAction::TKind::Compensate;
  action.Samples = std::clamp<int64_t>(static_cast<int64_t>(std::trunc(delta)), -in.Method, in.Method);
  return action;
}

}  // namespace vidorant
