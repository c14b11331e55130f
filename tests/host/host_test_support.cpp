#include "tests/host/host_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/foreign_copy.h"
#include "protocol/object_names.h"
#include "protocol/product_names.h"
#include "protocol/service_codes.h"
#include "platform/handles.h"
#include "platform/process_modules.h"
#include "platform/text.h"

namespace dl::host::test {

std::wstring BinFolder() { return platform::ExecutableFolder(); }

TempFolder::TempFolder(const std::wstring& tag) {
  wchar_t base[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(static_cast<DWORD>(std::size(base)), base);
  static unsigned counter = 0;
  for (;;) {
    path_ = std::wstring(base, n) + L"dlt_" + tag + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter) + L"\\";
    if (::CreateDirectoryW(path_.c_str(), nullptr)) return;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a temporary folder");
  }
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folder) {
  std::wstring dir = folder;
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(dir.c_str());
}

bool CopyInto(const std::wstring& source, const std::wstring& target) {
  return ::CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool FileExists(const std::wstring& path) {
  DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
  platform::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  if (!file) return bytes;
  char block[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), block, sizeof(block), &got, nullptr) && got > 0) bytes.append(block, got);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  platform::UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.valid());
  DWORD written = 0;
  ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

std::vector<std::string> ReadLines(const std::wstring& path) {
  return platform::SplitLines(ReadFileBytes(path));
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(20);  // poll interval, bounded by the deadline
  }
}

std::wstring FakeLibraryPath(FakeLibrary library) {
  switch (library) {
    case FakeLibrary::kFull:
      return BinFolder() + L"dl_test_fakelib_full.dll";
    case FakeLibrary::kBasic:
      return BinFolder() + L"dl_test_fakelib_basic.dll";
    default:
      return {};
  }
}

HostFolder::HostFolder(FakeLibrary library) : root_(L"host") {
  if (!CopyInto(BinFolder() + L"DeskloomCenter64.exe", HostExe()))
    throw std::runtime_error("cannot copy the host");
  ::CreateDirectoryW(TempPath().c_str(), nullptr);
  if (library == FakeLibrary::kNotADll) {
    WriteFileBytes(LibraryPath(), "this is not a library\r\n");
  } else if (library != FakeLibrary::kNone) {
    if (!CopyInto(FakeLibraryPath(library), LibraryPath())) throw std::runtime_error("cannot copy the library");
  }
}

devcenter::EnvironmentOverrides HostFolder::Environment() const {
  std::wstring temp = TempPath();
  temp.pop_back();
  return {{L"TEMP", temp}, {L"TMP", temp}, {L"DL_FAKELIB_RECORD", RecordPath()}};
}

MainProgramSide::MainProgramSide() = default;

devcenter::ChildProcess MainProgramSide::StartHost(const std::wstring& exe, const std::vector<std::wstring>& args,
                                                   const devcenter::EnvironmentOverrides& env) {
  std::wstring cmd = devcenter::QuoteArgument(exe);
  for (const auto& a : args) cmd += L" " + devcenter::QuoteArgument(a);
  return StartCommandLine(cmd, env);
}

devcenter::ChildProcess MainProgramSide::StartCommandLine(const std::wstring& commandLine,
                                                          const devcenter::EnvironmentOverrides& env) {
  events.Reset();
  window.ClearCalls();
  return devcenter::ChildProcess::Start(commandLine, env);
}

devcenter::ChildProcess MainProgramSide::StartHostFor(const HostFolder& folder, const std::wstring& placement,
                                                      const devcenter::EnvironmentOverrides& extraEnv) {
  auto env = folder.Environment();
  for (const auto& [k, v] : extraEnv) env[k] = v;
  return StartCommandLine(
      devcenter::HostCommandLine(folder.HostExe(), ::GetCurrentProcessId(), window.Handle(), placement), env);
}

bool MainProgramSide::WaitForStartup(const devcenter::ChildProcess& host, DWORD timeoutMs) {
  return window.WaitPumping({events.Startup(), host.Handle()}, timeoutMs) == 0;
}

bool MainProgramSide::Stop(const devcenter::ChildProcess& host, DWORD timeoutMs) {
  events.RequestShutdown();
  return WaitForEnd(host, timeoutMs);
}

bool MainProgramSide::WaitForEnd(const devcenter::ChildProcess& host, DWORD timeoutMs) {
  return window.WaitPumping({host.Handle()}, timeoutMs) == 0 || !host.Running();
}

std::vector<DWORD> MainProgramSide::ReadyThreads() const {
  std::vector<DWORD> threads;
  for (const auto& call : window.Calls())
    if (call.code == protocol::kSvcHostReady) threads.push_back(static_cast<DWORD>(call.argument));
  return threads;
}

RegistryValueOverride::RegistryValueOverride(HKEY root, std::wstring subKey, std::wstring name)
    : root_(root), subKey_(std::move(subKey)), name_(std::move(name)) {
  platform::UniqueRegKey key;
  if (::RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
  saved_.resize(size);
  existed_ = ::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, saved_.data(), &size) == ERROR_SUCCESS;
}

RegistryValueOverride::~RegistryValueOverride() {
  platform::UniqueRegKey key;
  if (::RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS)
    return;
  if (existed_)
    ::RegSetValueExW(key.get(), name_.c_str(), 0, type_, saved_.data(), static_cast<DWORD>(saved_.size()));
  else
    ::RegDeleteValueW(key.get(), name_.c_str());
}

void RegistryValueOverride::SetDword(DWORD value) {
  platform::UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.get(), name_.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof(value)),
            ERROR_SUCCESS);
}

void RegistryValueOverride::SetString(const std::wstring& value) {
  platform::UniqueRegKey key;
  ASSERT_EQ(::RegCreateKeyExW(root_, subKey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key.get(), name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void RegistryValueOverride::Remove() {
  platform::UniqueRegKey key;
  if (::RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
    ::RegDeleteValueW(key.get(), name_.c_str());
}

ConfigFolderOverride::ConfigFolderOverride()
    : folder_(L"config"), value_(HKEY_CURRENT_USER, protocol::kProductKey, L"ConfigFilesLocation") {
  value_.SetString(folder_.Path());
}

void ClearForeignCopies(const std::wstring& keepPath) {
  const std::wstring name = platform::FileNamePart(keepPath);
  const std::wstring keep = CanonicalPath(keepPath);
  for (DWORD pid : platform::ListProcessIds()) {
    platform::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    for (const std::wstring& path : platform::ListModulePaths(process.get())) {
      if (!platform::EqualNoCase(platform::FileNamePart(path), name)) continue;
      if (platform::EqualNoCase(CanonicalPath(path), keep)) continue;
      ASSERT_NE(pid, ::GetCurrentProcessId()) << "the test process itself holds a copy of the library";
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 10000);
      break;
    }
  }
}

void ExpectNoHostRunning() {
  platform::UniqueHandle marker(::OpenFileMappingW(FILE_MAP_READ, FALSE, protocol::kSingleInstanceName));
  if (!marker) return;
  platform::UniqueView view(::MapViewOfFile(marker.get(), FILE_MAP_READ, 0, 0, 16));
  std::uint32_t pid = 0;
  if (view) std::memcpy(&pid, view.get(), sizeof(pid));
  ADD_FAILURE() << "another host (process " << pid << ") holds the single-instance marker";
}

}  // namespace dl::host::test
