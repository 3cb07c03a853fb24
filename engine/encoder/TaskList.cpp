// The encoder component's tasks (TaskList.h).
#include "engine/encoder/TaskList.h"

#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"

#include <algorithm>

namespace vidorant {

TFFmpeg::TFFmpeg(int maxFiles, TCustomEncoder* owner)
    : TCustomFFmpeg(maxFiles),
      FOwner(owner),
      FDecoders(FileCapacity()),
      FInputOptions(FileCapacity()),
      FOutputOptions(FileCapacity()) {}

TFFmpeg::~TFFmpeg() { StopAndWait(); }

void TFFmpeg::StopAndWait() {
  Stop(false);
  // The worker still touches the task after it delivered its termination, and a never-started
  // task's termination thread after it ran: both signal their event last.
  WaitServingSynchronize(FinishedEvent());
  WaitServingSynchronize(TerminatedEvent());
}

TFFDecoder& TFFmpeg::InputDecoder(int index) {
  std::unique_ptr<TFFDecoder>& decoder = FDecoders.at(index);
  if (!decoder) decoder = std::make_unique<TFFDecoder>();
  if (index < InputCount()) decoder->AttachContext(Inputs().File(index).Context.get());
  return *decoder;
}

void TFFmpeg::ReleaseDecoders() {
  for (std::unique_ptr<TFFDecoder>& decoder : FDecoders)
    if (decoder) decoder->CloseFile();
}

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
  FItems.push_back(std::move(task));
  return Count() - 1;
}

void TFFmpegList::Clear() {
  // Stopping every run first lets them wind down together instead of one after the other.
  for (const auto& task : FItems) task->Stop(false);
  for (const auto& task : FItems) task->StopAndWait();
  FItems.clear();
}

TFFmpeg& TFFmpegList::Get(int index) const {
  if (index < 0 || index >= Count()) throw Exception(Format("List index out of bounds (%d)", index));
  return *FItems[index];
}

void TFFmpegList::Delete(int index) {
  Get(index).StopAndWait();
  FItems.erase(FItems.begin() + index);
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* task) const {
  auto found = std::find_if(FItems.begin(), FItems.end(), [&](const auto& item) { return item.get() == task; });
  return found == FItems.end() ? -1 : static_cast<int>(found - FItems.begin());
}

void TFFmpegList::StopAll(bool wait, int firstUnstarted) {
  for (int i = 0; i < Count(); i++) {
    if (i < firstUnstarted)
      FItems[i]->Stop(wait);
    else
      FItems[i]->Terminate(wait);
  }
}

void TFFmpegList::SetPreviewFlags(bool previewer, bool previewEvent) {
  for (const auto& task : FItems)
    if (!task->Running() && !task->Terminated()) task->SetPreviewFlags(previewer, previewEvent);
}

}  // namespace vidorant
