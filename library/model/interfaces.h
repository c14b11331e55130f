#pragma once
// The reference-counted interface model: interfaces identified by GUIDs with
// QueryInterface/AddRef/Release, a base class that counts references, and an
// intrusive smart pointer. Interfaces derive virtually from IInterface so that
// an object implementing several of them has one reference count.
#include <atomic>
#include <cstdint>
#include <utility>

namespace dl::model {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};

  friend constexpr bool operator==(const Guid& a, const Guid& b) noexcept {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.data4[i] != b.data4[i]) return false;
    return true;
  }
};

namespace detail {
constexpr std::uint32_t HexDigit(char c) {
  if (c >= '0' && c <= '9') return std::uint32_t(c - '0');
  if (c >= 'A' && c <= 'F') return std::uint32_t(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return std::uint32_t(c - 'a' + 10);
  throw "not a hexadecimal digit";  // only ever evaluated at compile time
}
constexpr std::uint32_t HexField(const char* s, int digits) {
  std::uint32_t v = 0;
  for (int i = 0; i < digits; ++i) v = v * 16 + HexDigit(s[i]);
  return v;
}
}  // namespace detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" → Guid, at compile time.
consteval Guid MakeGuid(const char (&s)[39]) {
  if (s[0] != '{' || s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-' || s[37] != '}')
    throw "malformed GUID text";
  Guid g;
  g.data1 = detail::HexField(s + 1, 8);
  g.data2 = static_cast<std::uint16_t>(detail::HexField(s + 10, 4));
  g.data3 = static_cast<std::uint16_t>(detail::HexField(s + 15, 4));
  g.data4[0] = static_cast<std::uint8_t>(detail::HexField(s + 20, 2));
  g.data4[1] = static_cast<std::uint8_t>(detail::HexField(s + 22, 2));
  for (int i = 0; i < 6; ++i)
    g.data4[2 + i] = static_cast<std::uint8_t>(detail::HexField(s + 25 + 2 * i, 2));
  return g;
}

struct IInterface {
  static constexpr Guid kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");
  // On success stores an AddRef'ed pointer to the requested interface in *out.
  virtual bool QueryInterface(const Guid& iid, void** out) noexcept = 0;
  virtual std::uint32_t AddRef() noexcept = 0;
  virtual std::uint32_t Release() noexcept = 0;

 protected:
  virtual ~IInterface() = default;
};

// Base of every reference-counted object. A new object has no references; the
// first smart pointer that takes it holds the first one, and the last Release
// deletes it.
class TInterfacedObject : public virtual IInterface {
 public:
  TInterfacedObject() = default;
  TInterfacedObject(const TInterfacedObject&) = delete;
  TInterfacedObject& operator=(const TInterfacedObject&) = delete;

  bool QueryInterface(const Guid& iid, void** out) noexcept override {
    if (!out) return false;
    *out = FindInterface(iid);
    if (!*out) return false;
    AddRef();
    return true;
  }
  std::uint32_t AddRef() noexcept override {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  std::uint32_t Release() noexcept override {
    const std::uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }
  [[nodiscard]] std::uint32_t RefCount() const noexcept {
    return refs_.load(std::memory_order_relaxed);
  }

 protected:
  ~TInterfacedObject() override = default;
  // Subclasses answer their own interfaces and chain to their base:
  //   if (iid == IItem::kIid) return static_cast<IItem*>(this);
  //   return Base::FindInterface(iid);
  virtual void* FindInterface(const Guid& iid) noexcept {
    if (iid == IInterface::kIid) return static_cast<IInterface*>(this);
    return nullptr;
  }

 private:
  std::atomic<std::uint32_t> refs_{0};
};

// Intrusive owning pointer to a reference-counted interface or object.
template <typename T>
class RefPtr {
 public:
  RefPtr() noexcept = default;
  RefPtr(std::nullptr_t) noexcept {}
  // Takes a new reference.
  RefPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  RefPtr(const RefPtr& other) noexcept : RefPtr(other.p_) {}
  RefPtr(RefPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <typename U>
  RefPtr(const RefPtr<U>& other) noexcept : RefPtr(static_cast<T*>(other.Get())) {}
  template <typename U>
  RefPtr(RefPtr<U>&& other) noexcept : p_(other.Detach()) {}
  ~RefPtr() { Reset(); }

  RefPtr& operator=(RefPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Adopts a pointer that already carries a reference for us.
  static RefPtr Adopt(T* p) noexcept {
    RefPtr r;
    r.p_ = p;
    return r;
  }
  // Gives up our reference without releasing it.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(p_, nullptr); }
  void Reset() noexcept {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  [[nodiscard]] T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // QueryInterface for U; empty when the object does not implement it.
  template <typename U>
  [[nodiscard]] RefPtr<U> As() const noexcept {
    void* out = nullptr;
    if (!p_ || !p_->QueryInterface(U::kIid, &out)) return {};
    return RefPtr<U>::Adopt(static_cast<U*>(out));
  }

  friend bool operator==(const RefPtr& a, const RefPtr& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const RefPtr& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// QueryInterface on a raw interface pointer.
template <typename U, typename T>
[[nodiscard]] RefPtr<U> QueryAs(T* p) noexcept {
  return RefPtr<T>(p).template As<U>();
}

}  // namespace dl::model
