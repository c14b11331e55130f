#pragma once
// A function-local object that is built on first use and never destroyed. The library leaves
// processes that keep running: at unload the loader lock is held and other threads may still
// read the object, so nothing of it may run then. The memory goes with the image.
#include <new>
#include <type_traits>
#include <utility>

namespace dl::platform {

template <typename T>
class NoDestructor {
 public:
  template <typename... Args>
  explicit NoDestructor(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;
  ~NoDestructor() = default;  // trivial: no exit-time destructor is registered

  [[nodiscard]] T& get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }
  [[nodiscard]] const T& get() const noexcept { return *std::launder(reinterpret_cast<const T*>(storage_)); }
  T* operator->() noexcept { return &get(); }
  const T* operator->() const noexcept { return &get(); }
  T& operator*() noexcept { return get(); }
  const T& operator*() const noexcept { return get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace dl::platform
