// The owning list behind the frames of a document and the extensions of a frame. Deleting an
// item destroys it; the item is taken out of the list before it is destroyed, so its destructor
// sees a consistent list. Every change of membership calls Changed (not during destruction).
#pragma once

#include <memory>
#include <vector>

#include "gif/GIFException.h"
#include "platform/TObject.h"

namespace vidorant {

template <class T>
class TGIFList : public TObject {
public:
  TGIFList() = default;
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;
  ~TGIFList() override { Clear(); }

  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int index) const { return FItems[static_cast<size_t>(CheckIndex(index))].get(); }
  T* operator[](int index) const { return Items(index); }

  int IndexOf(const T* item) const {
    for (int i = 0; i < Count(); ++i)
      if (FItems[static_cast<size_t>(i)].get() == item) return i;
    return -1;
  }

  // Takes the item out without destroying it.
  std::unique_ptr<T> Extract(int index) {
    std::unique_ptr<T> item = Take(index);
    Detached(*item);
    Changed();
    return item;
  }

  void Delete(int index) {
    Take(index).reset();
    Changed();
  }

  void Remove(const T* item) {
    int index = IndexOf(item);
    if (index >= 0) Delete(index);
  }

  // Destroys every item, the last first; one change for the whole list.
  void Clear() {
    if (FItems.empty()) return;
    while (!FItems.empty()) Take(Count() - 1).reset();
    Changed();
  }

protected:
  int Append(std::unique_ptr<T> item) {
    if (!item) throw GIFException("Object type not supported for operation");
    FItems.push_back(std::move(item));
    Changed();
    return Count() - 1;
  }

  // Called after every change of the list's membership.
  virtual void Changed() {}
  // Called for an item taken out of the list alive, before it is handed over.
  virtual void Detached(T& item) {}

private:
  std::unique_ptr<T> Take(int index) {
    CheckIndex(index);
    std::unique_ptr<T> item = std::move(FItems[static_cast<size_t>(index)]);
    FItems.erase(FItems.begin() + index);
    return item;
  }

  int CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw GIFException("List index out of bounds");
    return index;
  }

  std::vector<std::unique_ptr<T>> FItems;
};

}  // namespace vidorant
