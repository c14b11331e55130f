#include "platform/process_identity.h"

#include <winternl.h>

#include <vector>

#include "platform/no_destructor.h"

namespace dl::platform {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
using LdrLockLoaderLockFn = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
using LdrUnlockLoaderLockFn = LONG(NTAPI*)(ULONG, ULONG_PTR);

SystemVersion ReadSystemVersion() noexcept {
  SystemVersion version;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
    auto rtlGetVersion =
        reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtlGetVersion && rtlGetVersion(&info) == 0)
      return SystemVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExW(&info)) version = SystemVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
#pragma GCC diagnostic pop
  return version;
}

std::wstring ModuleFileName(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// The first parameter of the command line, the fallback when the module has no file name.
std::wstring FirstParameter(const wchar_t* commandLine) {
  if (!commandLine) return {};
  std::wstring_view text(commandLine);
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == L'"') {
    text.remove_prefix(1);
    return std::wstring(text.substr(0, text.find(L'"')));
  }
  return std::wstring(text.substr(0, text.find_first_of(L" \t")));
}

// A path the process was started by in short (8.3) form is reported in its long form. Short
// components always carry a "~"; other paths are taken as they are, which spares the file
// system a look at every folder of the path.
std::wstring LongForm(std::wstring path) {
  if (path.find(L'~') == std::wstring::npos) return path;
  return LongPathName(std::move(path));
}

// From the executable's mapped image: no file access and no further module loads.
std::wstring ExecutableFileDescription() {
  HMODULE exe = ::GetModuleHandleW(nullptr);
  HRSRC info = ::FindResourceW(exe, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16) /* RT_VERSION */);
  if (!info) return {};
  const DWORD size = ::SizeofResource(exe, info);
  HGLOBAL loaded = ::LoadResource(exe, info);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  // VerQueryValueW may write into the block, so it works on a copy.
  std::vector<unsigned char> block(static_cast<const unsigned char*>(data),
                                   static_cast<const unsigned char*>(data) + size);
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
      length < sizeof(Translation))
    return {};
  wchar_t key[64];
  ::wsprintfW(key, L"\\StringFileInfo\\%04x%04x\\FileDescription", translations[0].language,
              translations[0].codePage);
  wchar_t* text = nullptr;
  if (!::VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&text), &length) || !text) return {};
  std::wstring result(text, length);
  const auto zero = result.find(L'\0');
  if (zero != std::wstring::npos) result.resize(zero);
  return result;
}

std::wstring_view FileNamePartOf(std::wstring_view path) noexcept {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// Holds the loader's lock while the module list is read (it is recursive: library
// initialisation, which holds it already, may ask too).
class LoaderLock {
 public:
  LoaderLock() noexcept {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    lock_ = reinterpret_cast<LdrLockLoaderLockFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrLockLoaderLock")));
    unlock_ =
        reinterpret_cast<LdrUnlockLoaderLockFn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
    if (lock_ && unlock_ && lock_(0, nullptr, &cookie_) == 0) held_ = true;
  }
  LoaderLock(const LoaderLock&) = delete;
  LoaderLock& operator=(const LoaderLock&) = delete;
  ~LoaderLock() {
    if (held_) unlock_(0, cookie_);
  }
  [[nodiscard]] bool held() const noexcept { return held_; }

 private:
  LdrLockLoaderLockFn lock_ = nullptr;
  LdrUnlockLoaderLockFn unlock_ = nullptr;
  ULONG_PTR cookie_ = 0;
  bool held_ = false;
};

}  // namespace

std::wstring LowerCaseName(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

ProcessIdentity ReadProcessIdentity() {
  ProcessIdentity id;
  // The module's own file name is exact; the command line may hold a relative or
  // extension-less name, so it is only the fallback.
  std::wstring path = ModuleFileName(nullptr);
  if (path.empty()) path = FirstParameter(::GetCommandLineW());
  id.path = LongForm(std::move(path));
  id.name = std::wstring(FileNamePartOf(id.path));
  id.lowerPath = LowerCaseName(id.path);
  id.lowerName = LowerCaseName(id.name);
  id.fileDescription = ExecutableFileDescription();
  id.os = ReadSystemVersion();
  return id;
}

const ProcessIdentity& CurrentProcessIdentity() noexcept {
  static const NoDestructor<ProcessIdentity> identity([] {
    try {
      return ReadProcessIdentity();
    } catch (...) {
      return ProcessIdentity{};
    }
  }());
  return *identity;
}

namespace {

// The process environment block, read from the thread environment block (gs:0x60 on x64). Our
// own instruction: the compiler's __readgsqword trips its array-bounds check.
const PEB* CurrentPeb() noexcept {
  const PEB* peb = nullptr;
  asm volatile("movq %%gs:0x60, %0" : "=r"(peb));
  return peb;
}

}  // namespace

bool IsModuleLoaded(std::wstring_view fileName) noexcept {
  if (fileName.empty()) return false;
  LoaderLock lock;
  if (!lock.held()) return ::GetModuleHandleW(std::wstring(fileName).c_str()) != nullptr;
  const PEB* peb = CurrentPeb();
  if (!peb || !peb->Ldr) return false;
  const LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
  int guard = 0;
  for (const LIST_ENTRY* link = head->Flink; link && link != head && guard < 4096; link = link->Flink, ++guard) {
    const auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
    const UNICODE_STRING& full = entry->FullDllName;
    if (!full.Buffer || full.Length == 0) continue;
    const std::wstring_view base = FileNamePartOf(std::wstring_view(full.Buffer, full.Length / sizeof(wchar_t)));
    // Module names compare as the loader compares them: ordinal, without regard to case.
    if (::CompareStringOrdinal(base.data(), static_cast<int>(base.size()), fileName.data(),
                               static_cast<int>(fileName.size()), TRUE) == CSTR_EQUAL)
      return true;
  }
  return false;
}

std::wstring LongPathName(std::wstring path) {
  const DWORD needed = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return path;
  std::wstring longPath(needed, L'\0');
  const DWORD n = ::GetLongPathNameW(path.c_str(), longPath.data(), needed);
  if (n == 0 || n >= needed) return path;
  longPath.resize(n);
  return longPath;
}

}  // namespace dl::platform
