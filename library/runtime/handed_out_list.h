#pragma once
// Objects whose address travels in a message that any process can post or send. The receiver
// only acts on an address it can take back from this list, so a forged value is never read,
// freed or counted. Few objects are ever outstanding, so a linked list is enough.
// `T` carries `T* prev` and `T* next` for the list's use.
#include <windows.h>

#include <utility>

#include "platform/handles.h"

namespace dl::entry {

template <typename T>
class HandedOutList {
 public:
  constexpr HandedOutList() noexcept = default;
  HandedOutList(const HandedOutList&) = delete;
  HandedOutList& operator=(const HandedOutList&) = delete;

  void Add(T* item) noexcept {
    platform::ExclusiveSrwLock lock(lock_);
    item->prev = nullptr;
    item->next = head_;
    if (head_) head_->prev = item;
    head_ = item;
  }

  // The registered object at that address, unlinked; nullptr for any other value.
  T* Take(LPARAM value) noexcept {
    platform::ExclusiveSrwLock lock(lock_);
    for (T* it = head_; it; it = it->next) {
      if (reinterpret_cast<LPARAM>(it) != value) continue;
      if (it->prev) it->prev->next = it->next;
      else head_ = it->next;
      if (it->next) it->next->prev = it->prev;
      it->prev = it->next = nullptr;
      return it;
    }
    return nullptr;
  }

  // Unlinks everything; the caller owns the returned chain (follow `next`).
  T* TakeAll() noexcept {
    platform::ExclusiveSrwLock lock(lock_);
    return std::exchange(head_, nullptr);
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  T* head_ = nullptr;
};

}  // namespace dl::entry
