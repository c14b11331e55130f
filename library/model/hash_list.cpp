#include "library/model/hash_list.h"

#include <algorithm>
#include <exception>
#include <string>

#include "library/model/crc32.h"
#include "library/model/error.h"
#include "library/model/system_seam.h"
#include "library/model/text_util.h"

namespace dl::model {
namespace {

[[noreturn]] void Raise(std::wstring message) { throw EElHashListError(std::move(message)); }

[[noreturn]] void RaiseWrongHashType(const wchar_t* operation) {
  Raise(std::wstring(operation) + L". Wrong hash type \"MD5\" (must be \"quick\" or \"CRC32\").");
}

std::wstring Unsigned(std::uint32_t v) { return std::to_wstring(v); }

}  // namespace

TElHashList::~TElHashList() {
  try {
    Clear();
  } catch (...) {
    // A deletion callback failed; the entries are gone all the same.
  }
}

void TElHashList::SetHashType(TElHashType value) {
  if (value == hash_type_) return;
  Clear();
  hash_type_ = value;
  quick_hash_ = value == TElHashType::ehtQuick;
}

void TElHashList::SetQuickHash(bool value) {
  if (value == quick_hash_) return;
  SetHashType(value ? TElHashType::ehtQuick : TElHashType::ehtCRC32);
}

void TElHashList::SetCapacity(int value) {
  if (value < count_ || value > kMaxCapacity)
    Raise(L"SetCapacity. Invalid ElHashList capacity: FCount = " + std::to_wstring(count_) +
          L", NewCapacity = " + std::to_wstring(value));
  if (value == Capacity()) return;
  std::vector<HashRecord> list(static_cast<std::size_t>(value));
  std::copy_n(list_.begin(), count_, list.begin());
  list_.swap(list);
}

std::uint32_t TElHashList::HashOf(std::wstring_view key) const {
  switch (hash_type_) {
    case TElHashType::ehtQuick: {
      std::uint32_t h = 0;
      ForEachUtf16Unit(key, [&](char16_t c) {
        if (no_case_) c = UpperAscii(c);
        h = h * 5 + (c & 0xFFu);
      });
      return h;
    }
    case TElHashType::ehtCRC32: {
      std::string bytes = WideToAnsi(key);
      if (no_case_) std::transform(bytes.begin(), bytes.end(), bytes.begin(), UpperAscii<char>);
      return Crc32(bytes);
    }
    case TElHashType::ehtMD5:
      break;
  }
  // Digest keys are not used by this system.
  RaiseWrongHashType(L"HashOf");
}

int TElHashList::Find(std::uint32_t hash) const noexcept {
  for (int i = 0; i < count_; ++i)
    if (list_[static_cast<std::size_t>(i)].hash == hash) return i;
  return -1;
}

void TElHashList::Grow() {
  const int capacity = Capacity();
  const int delta = capacity > 64 ? capacity / 4 : capacity > 8 ? 16 : 4;
  SetCapacity(capacity + delta);
}

void TElHashList::Insert(int index, std::uint32_t hash, void* value, bool hash_form,
                         std::wstring_view key) {
  const int existing = Find(hash);
  if (existing >= 0) {
    switch (dupes_mode_) {
      case THashInsertDupesMode::himRaise:
        if (hash_form) Raise(L"InsertItemByHash. Duplicate entry: hash value " + Unsigned(hash));
        Raise(L"InsertItem. Duplicate entry: hash string " + std::wstring(key));
      case THashInsertDupesMode::himReplace: {
        // The old data goes to the callback but is not freed as an object.
        auto& record = list_[static_cast<std::size_t>(existing)];
        void* old = record.data;
        record.data = value;
        if (on_delete_) on_delete_(*this, old);
        return;
      }
      case THashInsertDupesMode::himIgnore:
        return;
      case THashInsertDupesMode::himInsert:
      case THashInsertDupesMode::himMove:
        break;
    }
  }
  if (count_ == Capacity()) Grow();
  const auto at = list_.begin() + index;
  std::move_backward(at, list_.begin() + count_, list_.begin() + count_ + 1);
  *at = HashRecord{hash, value};
  ++count_;
}

void TElHashList::InsertItem(int index, std::wstring_view key, void* value) {
  if (index < 0 || index > count_)
    Raise(L"InsertItem. Invalid position: " + std::to_wstring(index) + L" (count = " +
          std::to_wstring(count_) + L")");
  if (hash_type_ == TElHashType::ehtMD5) RaiseWrongHashType(L"InsertItem");
  Insert(index, HashOf(key), value, false, key);
}

void TElHashList::InsertItemByHash(int index, std::uint32_t hash, void* value) {
  if (index < 0 || index > count_)
    Raise(L"InsertItemByHash. Invalid position: " + std::to_wstring(index) + L" (count = " +
          std::to_wstring(count_) + L")");
  if (hash_type_ == TElHashType::ehtMD5) return;
  Insert(index, hash, value, true, {});
}

int TElHashList::GetIndex(std::wstring_view key) const {
  if (hash_type_ == TElHashType::ehtMD5) RaiseWrongHashType(L"GetIndex");
  const int index = Find(HashOf(key));
  if (index < 0 && raise_on_absence_) Raise(L"GetIndex. Hash is absent: " + std::wstring(key));
  return index;
}

int TElHashList::GetIndexByHash(std::uint32_t hash) const {
  if (hash_type_ == TElHashType::ehtMD5) RaiseWrongHashType(L"GetIndexByHash");
  const int index = Find(hash);
  if (index < 0 && raise_on_absence_) Raise(L"GetIndexByHash. Hash is absent: " + Unsigned(hash));
  return index;
}

void* TElHashList::GetItem(std::wstring_view key) const { return GetByIndex(GetIndex(key)); }

void* TElHashList::GetByHash(std::uint32_t hash) const { return GetByIndex(GetIndexByHash(hash)); }

void* TElHashList::GetByIndex(int index) const noexcept {
  if (index < 0 || index >= count_) return nullptr;
  return list_[static_cast<std::size_t>(index)].data;
}

std::uint32_t TElHashList::GetHashByIndex(int index) const noexcept {
  if (index < 0 || index >= count_) return 0;
  return list_[static_cast<std::size_t>(index)].hash;
}

void TElHashList::DeleteItem(std::wstring_view key) {
  if (hash_type_ == TElHashType::ehtMD5) RaiseWrongHashType(L"DeleteItem");
  const int index = Find(HashOf(key));
  if (index >= 0) DeleteAt(index);
}

void TElHashList::DeleteItemByHash(std::uint32_t hash) {
  if (hash_type_ == TElHashType::ehtMD5) return;
  const int index = Find(hash);
  if (index >= 0) DeleteAt(index);
}

void TElHashList::DeleteItemByIndex(int index) {
  if (index >= 0 && index < count_) DeleteAt(index);
}

void TElHashList::DeleteAt(int index) {
  // The entry leaves the list before its callback runs, so a callback that
  // looks at or changes the list sees it consistent.
  void* data = list_[static_cast<std::size_t>(index)].data;
  std::move(list_.begin() + index + 1, list_.begin() + count_, list_.begin() + index);
  list_[static_cast<std::size_t>(--count_)] = HashRecord{};
  if (count_ < Capacity() / 2) SetCapacity(Capacity() / 2);
  if (!data) return;
  struct FreeObject {
    void* data;
    bool owned;
    ~FreeObject() {
      if (owned) delete static_cast<TObject*>(data);
    }
  } free_object{data, auto_clear_objects_};
  if (on_delete_) on_delete_(*this, data);
}

void TElHashList::Clear() {
  std::exception_ptr first_error;
  while (count_ > 0) {
    try {
      DeleteAt(count_ - 1);
    } catch (...) {
      if (!first_error) first_error = std::current_exception();
    }
  }
  list_.clear();
  list_.shrink_to_fit();
  if (first_error) std::rethrow_exception(first_error);
}

void TElHashList::MoveItem(int index_from, int index_to) noexcept {
  if (index_from < 0 || index_from >= count_ || index_to < 0 || index_to >= count_) return;
  const auto from = list_.begin() + index_from;
  const auto to = list_.begin() + index_to;
  if (index_from < index_to)
    std::rotate(from, from + 1, to + 1);
  else if (index_from > index_to)
    std::rotate(to, from, from + 1);
}

void TElHashList::Sort(const std::function<int(void*, void*)>& compare) {
  if (count_ > 1 && compare) QuickSort(0, count_ - 1, compare);
}

void TElHashList::QuickSort(int l, int r, const std::function<int(void*, void*)>& compare) {
  // Recurses into the smaller part and loops on the larger one, so the depth
  // stays logarithmic; the bounds checks keep a comparison that is not a
  // consistent order from walking off the list.
  while (l < r) {
    int i = l, j = r;
    void* pivot = list_[static_cast<std::size_t>((l + r) / 2)].data;
    do {
      while (i < r && compare(list_[static_cast<std::size_t>(i)].data, pivot) < 0) ++i;
      while (j > l && compare(list_[static_cast<std::size_t>(j)].data, pivot) > 0) --j;
      if (i <= j) {
        std::swap(list_[static_cast<std::size_t>(i)], list_[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - l < r - i) {
      if (l < j) QuickSort(l, j, compare);
      l = i;
    } else {
      if (i < r) QuickSort(i, r, compare);
      r = j;
    }
  }
}

}  // namespace dl::model
