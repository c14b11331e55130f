#include "platform/registry_value.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/handles.h"

namespace dl::platform {
namespace {
struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

std::optional<RawValue> ReadRaw(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  UniqueRegKey key;
  if (::RegOpenKeyExW(root, subKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return std::nullopt;
  RawValue value;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  for (int attempt = 0; attempt < 4; ++attempt) {
    // Room for a terminator the writer may have left out.
    value.data.resize(size + sizeof(wchar_t));
    DWORD got = static_cast<DWORD>(value.data.size());
    LSTATUS rc = ::RegQueryValueExW(key.get(), name, nullptr, &value.type, value.data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      value.data.resize(got);
      return value;
    }
    if (rc != ERROR_MORE_DATA) return std::nullopt;
    size = got;
  }
  return std::nullopt;
}

std::wstring AsString(const RawValue& raw) {
  std::wstring text(reinterpret_cast<const wchar_t*>(raw.data.data()), raw.data.size() / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}
}  // namespace

std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  auto raw = ReadRaw(root, subKey, name);
  if (!raw || (raw->type != REG_SZ && raw->type != REG_EXPAND_SZ)) return std::nullopt;
  return AsString(*raw);
}

std::optional<bool> ReadRegistryBool(HKEY root, const wchar_t* subKey, const wchar_t* name) {
  auto raw = ReadRaw(root, subKey, name);
  if (!raw) return std::nullopt;
  if (raw->type == REG_DWORD && raw->data.size() >= sizeof(DWORD)) {
    DWORD v;
    std::memcpy(&v, raw->data.data(), sizeof(v));
    return v != 0;
  }
  if (raw->type == REG_QWORD && raw->data.size() >= sizeof(ULONGLONG)) {
    ULONGLONG v;
    std::memcpy(&v, raw->data.data(), sizeof(v));
    return v != 0;
  }
  if (raw->type == REG_SZ || raw->type == REG_EXPAND_SZ) {
    std::wstring text = AsString(*raw);
    if (_wcsicmp(text.c_str(), L"true") == 0) return true;
    if (_wcsicmp(text.c_str(), L"false") == 0) return false;
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    long long n = std::wcstoll(text.c_str(), &end, 10);
    if (end && *end == L'\0') return n != 0;
  }
  return std::nullopt;
}

}  // namespace dl::platform
