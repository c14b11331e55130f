#pragma once
// Keyed collections over TElHashList. Every collection hashes keys with CRC-32,
// ignores case, refuses duplicate keys and answers -1/nothing for absent ones.
// Add reports failure (a duplicate key, a bad position) as a missing value
// instead of raising; other errors pass on.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "library/model/hash_list.h"
#include "library/model/interfaces.h"
#include "library/model/variant.h"

namespace dl::model {

class TBaseCollection : public TInterfacedObject {
 public:
  TBaseCollection();
  ~TBaseCollection() override;

  void Clear();
  [[nodiscard]] int GetCount() const noexcept { return content_.Count(); }
  [[nodiscard]] int GetItemIndex(const void* item) const noexcept;
  [[nodiscard]] int IndexByKey(std::wstring_view key) const { return content_.GetIndex(key); }
  [[nodiscard]] int IndexByHash(std::uint32_t hash) const { return content_.GetIndexByHash(hash); }
  [[nodiscard]] bool KeyExist(std::wstring_view key) const { return IndexByKey(key) >= 0; }
  [[nodiscard]] bool HashExist(std::uint32_t hash) const { return IndexByHash(hash) >= 0; }
  // Moves the entry under `key` to a position (integer) or to the position of
  // another key (text); false when either is absent or out of range.
  bool Move(std::wstring_view key, const Variant& new_pos);
  // A position (integer) or a key (text); any other kind deletes nothing.
  void Delete(const Variant& index);
  void DeleteByHash(std::uint32_t hash) { content_.DeleteItemByHash(hash); }
  void Sort(const std::function<int(void* a, void* b)>& compare) { content_.Sort(compare); }

  [[nodiscard]] const std::wstring& LastKey() const noexcept { return last_key_; }
  [[nodiscard]] const TElHashList& Content() const noexcept { return content_; }

 protected:
  // Adds `data` under a generated key or `key` at `pos` (-1 appends); false when
  // the list refused it.
  bool AddEntry(void* data, bool key_gen, std::wstring_view key, int pos);
  bool AddEntryByHash(void* data, std::uint32_t hash, int pos);
  [[nodiscard]] int ResolveIndex(const Variant& index) const;
  [[nodiscard]] void* DataAt(const Variant& index) const { return content_.GetByIndex(ResolveIndex(index)); }
  TElHashList& MutableContent() noexcept { return content_; }

 private:
  std::wstring NextKey();
  bool Stored(int count_before) const noexcept;

  TElHashList content_;
  std::wstring last_key_;
};

class TPointerCollection : public TBaseCollection {
 public:
  // The value when added, nullptr when not.
  void* Add(void* value, bool key_gen, std::wstring_view key = {}, int pos = -1);
  void* AddByHash(void* value, std::uint32_t hash, int pos = -1);
  [[nodiscard]] void* GetItems(const Variant& index) const { return DataAt(index); }
  [[nodiscard]] void* GetItemsI(int index) const noexcept { return Content().GetByIndex(index); }
};

// Owns its objects unless switched off with AutoClearObjects(false). An object
// that cannot be added is freed at once when the collection owns objects.
class TObjectCollection : public TBaseCollection {
 public:
  TObjectCollection();
  TObject* Add(TObject* value, bool key_gen, std::wstring_view key = {}, int pos = -1);
  TObject* AddByHash(TObject* value, std::uint32_t hash, int pos = -1);
  void AutoClearObjects(bool value) noexcept { MutableContent().SetAutoClearObjects(value); }
  [[nodiscard]] TObject* GetItems(const Variant& index) const { return static_cast<TObject*>(DataAt(index)); }
  [[nodiscard]] TObject* GetItemsI(int index) const noexcept {
    return static_cast<TObject*>(Content().GetByIndex(index));
  }
  [[nodiscard]] TObject* GetItemsH(std::uint32_t hash) const {
    return static_cast<TObject*>(Content().GetByHash(hash));
  }

 private:
  TObject* Settle(TObject* value, bool added) noexcept;
};

// Holds one reference per entry and releases it when the entry goes.
class TInterfaceCollection : public TBaseCollection {
 public:
  TInterfaceCollection();
  // The value when added (with a reference of its own), nullptr when not.
  IInterface* Add(IInterface* value, bool key_gen, std::wstring_view key = {}, int pos = -1);
  IInterface* AddByHash(IInterface* value, std::uint32_t hash, int pos = -1);
  [[nodiscard]] RefPtr<IInterface> GetItems(const Variant& index) const {
    return static_cast<IInterface*>(DataAt(index));
  }
  [[nodiscard]] RefPtr<IInterface> GetItemsI(int index) const noexcept {
    return static_cast<IInterface*>(Content().GetByIndex(index));
  }
  [[nodiscard]] RefPtr<IInterface> GetItemsK(std::wstring_view key) const {
    return static_cast<IInterface*>(Content().GetItem(key));
  }
  [[nodiscard]] RefPtr<IInterface> GetItemsH(std::uint32_t hash) const {
    return static_cast<IInterface*>(Content().GetByHash(hash));
  }
};

class TStringCollection : public TBaseCollection {
 public:
  TStringCollection();
  bool Add(std::wstring_view value, bool key_gen, std::wstring_view key = {}, int pos = -1);
  bool GetValue(std::wstring_view key, std::wstring& value) const;
  bool ChangeValue(std::wstring_view key, std::wstring_view value);
  // The string at a position or under a key; empty when there is none.
  [[nodiscard]] std::wstring GetItems(const Variant& index) const;
};

// Clears Target and appends every item of Source in order under generated keys;
// a missing Source copies nothing.
void CopyInterfaceItems(const TInterfaceCollection* source, TInterfaceCollection& target);

}  // namespace dl::model
