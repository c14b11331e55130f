#pragma once
// Test bed for the host: copies of the host in folders of their own, the
// stand-in libraries, and the main program's side (events, ready window).
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/devcenter/child_process.h"
#include "tools/devcenter/main_events.h"
#include "tools/devcenter/ready_window.h"

namespace dl::host::test {

// Folder of the test programs, the host and the helper binaries.
std::wstring BinFolder();

// A fresh, empty folder, removed with everything in it at the end.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& tag);
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  [[nodiscard]] const std::wstring& Path() const noexcept { return path_; }  // ends with "\"

 private:
  std::wstring path_;
};

void RemoveTree(const std::wstring& folder);
bool CopyInto(const std::wstring& source, const std::wstring& target);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::vector<std::string> ReadLines(const std::wstring& path);

// Polls `condition` until it holds or `timeoutMs` pass.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 15000);

enum class FakeLibrary { kNone, kFull, kBasic, kNotADll };

// A copy of the host with a chosen library beside it, a folder for its TEMP,
// and the file in which the stand-in library records its calls.
class HostFolder {
 public:
  explicit HostFolder(FakeLibrary library = FakeLibrary::kFull);
  [[nodiscard]] std::wstring Folder() const { return root_.Path(); }
  [[nodiscard]] std::wstring HostExe() const { return root_.Path() + L"DeskloomCenter64.exe"; }
  [[nodiscard]] std::wstring LibraryPath() const { return root_.Path() + L"dlmemb64.dll"; }
  [[nodiscard]] std::wstring TempPath() const { return root_.Path() + L"temp\\"; }
  [[nodiscard]] std::wstring TempLibraryPath() const { return TempPath() + L"dlmemb64.dll"; }
  [[nodiscard]] std::wstring RecordPath() const { return root_.Path() + L"calls.txt"; }
  [[nodiscard]] std::vector<std::string> Calls() const { return ReadLines(RecordPath()); }
  // Environment for the host: its own TEMP/TMP and the record file.
  [[nodiscard]] devcenter::EnvironmentOverrides Environment() const;

 private:
  TempFolder root_;
};

std::wstring FakeLibraryPath(FakeLibrary library);

// The main program's side: shares and resets the events, owns the ready window.
class MainProgramSide {
 public:
  MainProgramSide();
  devcenter::MainEvents events;
  devcenter::ReadyWindow window;

  // Starts `exe` with the given arguments after resetting the three events.
  devcenter::ChildProcess StartHost(const std::wstring& exe, const std::vector<std::wstring>& args,
                                    const devcenter::EnvironmentOverrides& env = {});
  // Starts a whole command line after resetting the three events.
  devcenter::ChildProcess StartCommandLine(const std::wstring& commandLine, const devcenter::EnvironmentOverrides& env);
  // Standard arguments (the devcenter's host command line): our process id, our window, `placement`.
  devcenter::ChildProcess StartHostFor(const HostFolder& folder, const std::wstring& placement = L"1",
                                       const devcenter::EnvironmentOverrides& extraEnv = {});
  // Waits (pumping) for the startup event; false when the host ended or time ran out first.
  bool WaitForStartup(const devcenter::ChildProcess& host, DWORD timeoutMs = 20000);
  // Sets the shutdown event and waits (pumping) for the host to end.
  bool Stop(const devcenter::ChildProcess& host, DWORD timeoutMs = 20000);
  // Waits (pumping) for the host to end on its own.
  bool WaitForEnd(const devcenter::ChildProcess& host, DWORD timeoutMs = 20000);
  // Thread ids from the ready messages received so far.
  [[nodiscard]] std::vector<DWORD> ReadyThreads() const;
};

// Sets or removes a registry value for the life of the object; restores it afterwards.
class RegistryValueOverride {
 public:
  RegistryValueOverride(HKEY root, std::wstring subKey, std::wstring name);
  ~RegistryValueOverride();
  void SetDword(DWORD value);
  void SetString(const std::wstring& value);
  void Remove();

 private:
  HKEY root_;
  std::wstring subKey_, name_;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> saved_;
  bool existed_ = false;
};

// Points "ConfigFilesLocation" (current user) at a fresh folder for the life of
// the object, so each test has a log of its own; restores the previous value.
class ConfigFolderOverride {
 public:
  ConfigFolderOverride();
  [[nodiscard]] std::wstring LogPath() const { return folder_.Path() + L"CenterEvents.log"; }
  [[nodiscard]] const std::wstring& Folder() const { return folder_.Path(); }

 private:
  TempFolder folder_;
  RegistryValueOverride value_;
};

// Ends the other processes of the session that have a library named like
// `keepPath` loaded from another path: leftovers of earlier runs (Wine keeps a
// hook library mapped, e.g. in explorer.exe) that would count as foreign copies.
// Fails the test if the test process itself holds such a copy.
void ClearForeignCopies(const std::wstring& keepPath);

// Fails the test when another host holds the single-instance marker.
void ExpectNoHostRunning();

}  // namespace dl::host::test
