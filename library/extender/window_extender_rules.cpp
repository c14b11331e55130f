#include "library/extender/window_extender_rules.h"

#include <cwchar>

#include "library/model/hex.h"
#include "library/model/params.h"

namespace dl::extender {
namespace {

constexpr std::wstring_view kNoninvasiveClasses =
    L";Flash9;Flash10;Flash11;Flash11.5;indesign;_macr_dreamweaver_frame_window_;DeviceCentral;illustrator;"
    L"SnagIt5UI;SurfcamClass;Premiere Pro;EmEditorMainFrame3;";
constexpr std::wstring_view kNoninvasiveSuites[] = {L"\\ptc\\", L"\\creo", L"\\windchill",
                                                    L"\\arbortext", L"\\mathcad", L"\\integrity"};

bool Contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != std::wstring_view::npos; }

}  // namespace

bool NeedsNoninvasiveFollowing(std::wstring_view className, std::wstring_view lowerExePath,
                               bool smartMaximiseLoaded) {
  std::wstring listed = L";";
  listed.append(className);
  listed += L';';
  if (Contains(kNoninvasiveClasses, listed) || Contains(className, L"HwndWrapper[Jing.exe;;] - WindowsForms10") ||
      Contains(lowerExePath, L"\\winbox.exe"))
    return true;
  if (className != L"Dialog")
    for (std::wstring_view suite : kNoninvasiveSuites)
      if (Contains(lowerExePath, suite)) return true;
  return smartMaximiseLoaded;
}

int TimerIdSeedFor(std::wstring_view lowerExeName, std::wstring_view lowerExePath) {
  return lowerExeName == L"winproj.exe" || Contains(lowerExePath, L"\\maxqda") ? 100 : 0;
}

std::optional<std::uint32_t> SpecialIconHandle(std::wstring_view specialIcons, std::wstring_view name) {
  std::wstring value;
  if (!model::ExtractParam(specialIcons, name, value, L';', L'=') || value.size() != 8) return std::nullopt;
  std::uint8_t bytes[4] = {};
  if (model::HexToBytes(value, bytes, 4) != 4) return std::nullopt;
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

std::wstring RegistryParamsPathFor(std::wstring_view ruleName) {
  std::wstring path = L"SOFTWARE\\Quillon\\Deskloom\\WindowRules\\";
  for (wchar_t c : ruleName) path += c == L'\\' ? L'_' : c;
  return path;
}

std::wstring ExtenderLogLine(std::wstring_view ruleName, std::wstring_view className, std::uintptr_t handle,
                             std::wstring_view operation, std::wstring_view detail) {
  wchar_t hex[32];
  std::swprintf(hex, 32, L"%08llX", static_cast<unsigned long long>(handle));
  std::wstring line(ruleName);
  line += L';';
  line.append(className);
  line += L';';
  line += hex;
  line += L";TWindowExtender;";
  line.append(operation);
  line += L';';
  line.append(detail);
  return line;
}

PartSpec SplitPartSpec(std::wstring_view value) {
  const std::size_t brace = value.find(L'{');
  if (brace == std::wstring_view::npos) return {std::wstring(value), {}};
  PartSpec spec{std::wstring(value.substr(0, brace)), {}};
  if (value.size() > brace + 1) spec.params.assign(value.substr(brace + 1, value.size() - brace - 2));
  return spec;
}

}  // namespace dl::extender
