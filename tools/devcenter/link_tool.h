#pragma once
// The stand-in's link modes: serving clients on their own (serve), and, from a script,
// asking a running stand-in to send a command or a handshake command to its clients.
#include <string>
#include <vector>

namespace dl::devcenter {

// Runs a link mode (serve, send, handshake); returns the exit code.
int RunLinkTool(const std::vector<std::wstring>& args);

}  // namespace dl::devcenter
