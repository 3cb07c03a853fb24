// A process-wide list of records that the engine registers once and looks up from any thread
// (its protocols, its output formats). Records are never removed; they must outlive every user.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

namespace vidorant {

template <typename TRecord>
class TRecordRegistry {
public:
  // Appends the record unless a registered one matches (then that one is returned).
  template <typename TSame>
  TRecord* AddUnless(TRecord* record, TSame same) {
    std::lock_guard<std::mutex> lock(FLock);
    for (TRecord* registered : FRecords)
      if (same(registered)) return registered;
    FRecords.push_back(record);
    return record;
  }

  // nullptr gives the first record; the last gives nullptr.
  TRecord* Next(const TRecord* previous) {
    std::lock_guard<std::mutex> lock(FLock);
    if (!previous) return FRecords.empty() ? nullptr : FRecords.front();
    auto it = std::find(FRecords.begin(), FRecords.end(), previous);
    if (it == FRecords.end() || ++it == FRecords.end()) return nullptr;
    return *it;
  }

  template <typename TPredicate>
  TRecord* FindIf(TPredicate predicate) {
    std::lock_guard<std::mutex> lock(FLock);
    auto it = std::find_if(FRecords.begin(), FRecords.end(), predicate);
    return it == FRecords.end() ? nullptr : *it;
  }

private:
  std::mutex FLock;
  std::vector<TRecord*> FRecords;
};

}  // namespace vidorant
