// The painters that are drawing a document now, shared between the threads they run on and the
// thread that owns the document. Painters add themselves when they start and remove themselves
// when they end; the list does not own them. Work that must not overlap a painter's start or
// end (optimising the document, starting a new drawing) holds the list's lock while it works.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

namespace vidorant {

class TGIFPainter;

class TGIFPainterList {
public:
  // Recursive: the thread that holds the list may call the operations below.
  std::unique_lock<std::recursive_mutex> LockList() { return std::unique_lock<std::recursive_mutex>(FLock); }

  void Add(TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FItems.push_back(painter);
  }
  void Remove(TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FItems.erase(std::remove(FItems.begin(), FItems.end(), painter), FItems.end());
  }
  bool Contains(const TGIFPainter* painter) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return std::find(FItems.begin(), FItems.end(), painter) != FItems.end();
  }
  int Count() {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return static_cast<int>(FItems.size());
  }
  // A copy, so that the caller can act on the painters without holding the lock.
  std::vector<TGIFPainter*> Snapshot() {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    return FItems;
  }

private:
  std::recursive_mutex FLock;
  std::vector<TGIFPainter*> FItems;  // not owned
};

}  // namespace vidorant
