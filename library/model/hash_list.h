#pragma once
// TElHashList: an ordered list of (32-bit hash, data pointer) entries in which
// an entry is known only by the hash of its key. Two keys with the same hash
// are the same key. Lookups are linear scans; lists hold a few dozen entries.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace dl::model {

// Base of data that a list owns and frees on deletion (FAutoClearObjects).
class TObject {
 public:
  virtual ~TObject() = default;
};

enum class TElHashType { ehtMD5, ehtQuick, ehtCRC32 };
enum class THashInsertDupesMode { himInsert, himRaise, himReplace, himIgnore, himMove };

class TElHashList {
 public:
  using OnHashDeleteEvent = std::function<void(TElHashList& sender, void* data)>;
  static constexpr int kMaxCapacity = 134217727;

  TElHashList() = default;
  TElHashList(const TElHashList&) = delete;
  TElHashList& operator=(const TElHashList&) = delete;
  ~TElHashList();

  [[nodiscard]] bool AutoClearObjects() const noexcept { return auto_clear_objects_; }
  void SetAutoClearObjects(bool value) noexcept { auto_clear_objects_ = value; }
  [[nodiscard]] bool NoCase() const noexcept { return no_case_; }
  void SetNoCase(bool value) noexcept { no_case_ = value; }
  [[nodiscard]] TElHashType HashType() const noexcept { return hash_type_; }
  void SetHashType(TElHashType value);  // a change clears the list first
  [[nodiscard]] bool QuickHash() const noexcept { return quick_hash_; }
  void SetQuickHash(bool value);  // true: ehtQuick, false: ehtCRC32
  [[nodiscard]] THashInsertDupesMode InsertDupesMode() const noexcept { return dupes_mode_; }
  void SetInsertDupesMode(THashInsertDupesMode value) noexcept { dupes_mode_ = value; }
  [[nodiscard]] bool RaiseOnAbsence() const noexcept { return raise_on_absence_; }
  void SetRaiseOnAbsence(bool value) noexcept { raise_on_absence_ = value; }
  void SetOnDelete(OnHashDeleteEvent handler) { on_delete_ = std::move(handler); }

  [[nodiscard]] int Count() const noexcept { return count_; }
  [[nodiscard]] int Capacity() const noexcept { return static_cast<int>(list_.size()); }
  void SetCapacity(int value);

  // The hash the list gives a key under its current hash type and case rule.
  [[nodiscard]] std::uint32_t HashOf(std::wstring_view key) const;

  void AddItem(std::wstring_view key, void* value) { InsertItem(count_, key, value); }
  void InsertItem(int index, std::wstring_view key, void* value);
  [[nodiscard]] int GetIndex(std::wstring_view key) const;
  [[nodiscard]] void* GetItem(std::wstring_view key) const;
  [[nodiscard]] void* GetByIndex(int index) const noexcept;
  void DeleteItem(std::wstring_view key);
  void DeleteItemByIndex(int index);
  void MoveItem(int index_from, int index_to) noexcept;
  void Clear();
  // Quicksort by the entries' data; equal entries may change order.
  void Sort(const std::function<int(void* a, void* b)>& compare);

  [[nodiscard]] int GetIndexByHash(std::uint32_t hash) const;
  [[nodiscard]] void* GetByHash(std::uint32_t hash) const;
  [[nodiscard]] std::uint32_t GetHashByIndex(int index) const noexcept;
  void AddItemByHash(std::uint32_t hash, void* value) { InsertItemByHash(count_, hash, value); }
  void InsertItemByHash(int index, std::uint32_t hash, void* value);
  void DeleteItemByHash(std::uint32_t hash);

 private:
  struct HashRecord {
    std::uint32_t hash = 0;
    void* data = nullptr;
  };
  [[nodiscard]] int Find(std::uint32_t hash) const noexcept;
  void Insert(int index, std::uint32_t hash, void* value, bool hash_form, std::wstring_view key);
  void Grow();
  void DeleteAt(int index);
  void QuickSort(int l, int r, const std::function<int(void*, void*)>& compare);

  bool auto_clear_objects_ = false;
  bool no_case_ = false;
  TElHashType hash_type_ = TElHashType::ehtMD5;
  std::vector<HashRecord> list_;  // size() is the capacity
  int count_ = 0;
  OnHashDeleteEvent on_delete_;
  bool quick_hash_ = false;
  THashInsertDupesMode dupes_mode_ = THashInsertDupesMode::himInsert;
  bool raise_on_absence_ = false;
};

}  // namespace dl::model
