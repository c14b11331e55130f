#pragma once
// Command codes that plug-ins receive: the main program sends them to a plug-in by name, and
// the library's application broadcasts the link-state ones to every plug-in itself when the
// link to the main program changes. One list, since a code means the same on both paths.
namespace dl::protocol {

enum PluginCommand : int {
  kPluginRulesChanged = 2,
  kPluginServerUnregistered = 3,  // the main program's server window went away
  kPluginSettingChanged = 4,
  kPluginServerRegistered = 33,
  kPluginUnloading = 44,
  kPluginShellServerRegistered = 89,
  kPluginShellServerUnregistered = 90,
};

}  // namespace dl::protocol
