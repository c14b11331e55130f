#include "library/model/collections.h"

#include "library/model/error.h"
#include "library/model/text_util.h"

namespace dl::model {

// ---- TBaseCollection ---------------------------------------------------------

TBaseCollection::TBaseCollection() {
  content_.SetQuickHash(false);
  content_.SetHashType(TElHashType::ehtCRC32);
  content_.SetNoCase(true);
  content_.SetInsertDupesMode(THashInsertDupesMode::himRaise);
  content_.SetRaiseOnAbsence(false);
  content_.SetAutoClearObjects(false);
}

TBaseCollection::~TBaseCollection() {
  try {
    Clear();
  } catch (...) {
    // Deletion callbacks do not throw; nothing more to do on the way out.
  }
}

void TBaseCollection::Clear() { content_.Clear(); }

int TBaseCollection::GetItemIndex(const void* item) const noexcept {
  for (int i = 0; i < content_.Count(); ++i)
    if (content_.GetByIndex(i) == item) return i;
  return -1;
}

std::wstring TBaseCollection::NextKey() {
  const wchar_t last_letter = content_.NoCase() ? L'Z' : L'z';
  if (last_key_.empty()) {
    last_key_ = L"!";
  } else if (last_key_.back() == last_letter ||
             static_cast<std::uint32_t>(last_key_.back()) >= 0xFFFFu) {
    last_key_ += L'!';
  } else {
    last_key_.back() = static_cast<wchar_t>(last_key_.back() + 1);
  }
  return last_key_;
}

bool TBaseCollection::Stored(int count_before) const noexcept {
  return content_.Count() > count_before ||
         content_.InsertDupesMode() == THashInsertDupesMode::himReplace;
}

bool TBaseCollection::AddEntry(void* data, bool key_gen, std::wstring_view key, int pos) {
  std::wstring generated;
  if (key_gen) {
    generated = NextKey();
    key = generated;
  } else if (CompareText(last_key_, key) < 0) {
    last_key_ = key;
  }
  const int before = content_.Count();
  try {
    content_.InsertItem(pos == -1 ? before : pos, key, data);
  } catch (const EElHashListError&) {
    return false;
  }
  return Stored(before);
}

bool TBaseCollection::AddEntryByHash(void* data, std::uint32_t hash, int pos) {
  const int before = content_.Count();
  try {
    content_.InsertItemByHash(pos == -1 ? before : pos, hash, data);
  } catch (const EElHashListError&) {
    return false;
  }
  return Stored(before);
}

int TBaseCollection::ResolveIndex(const Variant& index) const {
  if (const auto* i = index.IntegerIf()) {
    if (*i < 0 || *i >= content_.Count()) return -1;
    return static_cast<int>(*i);
  }
  if (const auto* key = index.StringIf()) return content_.GetIndex(*key);
  return -1;
}

bool TBaseCollection::Move(std::wstring_view key, const Variant& new_pos) {
  try {
    const int from = content_.GetIndex(key);
    if (from < 0) return false;
    int to = -1;
    if (const auto* i = new_pos.IntegerIf()) {
      if (*i >= 0 && *i < content_.Count()) to = static_cast<int>(*i);
    } else if (const auto* target = new_pos.StringIf()) {
      to = content_.GetIndex(*target);
    }
    if (to < 0) return false;
    content_.MoveItem(from, to);
    return true;
  } catch (const EElHashListError&) {
    return false;
  }
}

void TBaseCollection::Delete(const Variant& index) {
  if (const auto* i = index.IntegerIf()) {
    if (*i >= 0 && *i < content_.Count()) content_.DeleteItemByIndex(static_cast<int>(*i));
  } else if (const auto* key = index.StringIf()) {
    content_.DeleteItem(*key);
  }
}

// ---- TPointerCollection ------------------------------------------------------

void* TPointerCollection::Add(void* value, bool key_gen, std::wstring_view key, int pos) {
  return AddEntry(value, key_gen, key, pos) ? value : nullptr;
}

void* TPointerCollection::AddByHash(void* value, std::uint32_t hash, int pos) {
  return AddEntryByHash(value, hash, pos) ? value : nullptr;
}

// ---- TObjectCollection -------------------------------------------------------

TObjectCollection::TObjectCollection() { MutableContent().SetAutoClearObjects(true); }

TObject* TObjectCollection::Settle(TObject* value, bool added) noexcept {
  if (added) return value;
  if (Content().AutoClearObjects()) delete value;
  return nullptr;
}

TObject* TObjectCollection::Add(TObject* value, bool key_gen, std::wstring_view key, int pos) {
  bool added = false;
  try {
    added = AddEntry(value, key_gen, key, pos);
  } catch (...) {
    Settle(value, false);
    throw;
  }
  return Settle(value, added);
}

TObject* TObjectCollection::AddByHash(TObject* value, std::uint32_t hash, int pos) {
  bool added = false;
  try {
    added = AddEntryByHash(value, hash, pos);
  } catch (...) {
    Settle(value, false);
    throw;
  }
  return Settle(value, added);
}

// ---- TInterfaceCollection ----------------------------------------------------

TInterfaceCollection::TInterfaceCollection() {
  MutableContent().SetOnDelete(
      [](TElHashList&, void* data) { static_cast<IInterface*>(data)->Release(); });
}

IInterface* TInterfaceCollection::Add(IInterface* value, bool key_gen, std::wstring_view key,
                                      int pos) {
  // The reference is taken before the entry exists, so a replace callback
  // releasing the same object cannot free it under us.
  RefPtr<IInterface> held(value);
  if (!AddEntry(value, key_gen, key, pos)) return nullptr;
  if (value) static_cast<void>(held.Detach());
  return value;
}

IInterface* TInterfaceCollection::AddByHash(IInterface* value, std::uint32_t hash, int pos) {
  RefPtr<IInterface> held(value);
  if (!AddEntryByHash(value, hash, pos)) return nullptr;
  if (value) static_cast<void>(held.Detach());
  return value;
}

// ---- TStringCollection -------------------------------------------------------

TStringCollection::TStringCollection() {
  MutableContent().SetOnDelete(
      [](TElHashList&, void* data) { delete static_cast<std::wstring*>(data); });
}

bool TStringCollection::Add(std::wstring_view value, bool key_gen, std::wstring_view key, int pos) {
  auto copy = std::make_unique<std::wstring>(value);
  if (!AddEntry(copy.get(), key_gen, key, pos)) return false;
  static_cast<void>(copy.release());
  return true;
}

bool TStringCollection::GetValue(std::wstring_view key, std::wstring& value) const {
  const auto* s = static_cast<const std::wstring*>(Content().GetItem(key));
  if (!s) return false;
  value = *s;
  return true;
}

bool TStringCollection::ChangeValue(std::wstring_view key, std::wstring_view value) {
  auto* s = static_cast<std::wstring*>(Content().GetItem(key));
  if (!s) return false;
  s->assign(value);
  return true;
}

std::wstring TStringCollection::GetItems(const Variant& index) const {
  const auto* s = static_cast<const std::wstring*>(DataAt(index));
  return s ? *s : std::wstring();
}

// ---- CopyInterfaceItems ------------------------------------------------------

void CopyInterfaceItems(const TInterfaceCollection* source, TInterfaceCollection& target) {
  target.Clear();
  if (!source || source == &target) return;
  for (int i = 0; i < source->GetCount(); ++i)
    target.Add(source->GetItemsI(i).Get(), true);
}

}  // namespace dl::model
