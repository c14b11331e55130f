#include "library/rules/window_description.h"

#include <propsys.h>
#include <shellapi.h>

#include "library/extender/classification_windows.h"
#include "library/extender/process_flags.h"
#include "library/extender/system_functions.h"
#include "library/extender/window_identity.h"
#include "library/model/system_seam.h"
#include "platform/handles.h"

namespace dl::rules {
namespace {

std::wstring UpperSystem(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// PKEY_AppUserModel_ID, written out so that no property-key library is needed.
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};
constexpr IID kPropertyStoreIid = {0x886D8EEB, 0x8CF2, 0x4446, {0x8D, 0x02, 0xCD, 0xBA, 0x1D, 0xBD, 0xCF, 0x99}};

}  // namespace

std::wstring WindowAppUserModelId(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  try {
    using GetStoreFn = HRESULT(WINAPI*)(HWND, REFIID, void**);
    HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    if (!shell) return {};
    const auto getStore = reinterpret_cast<GetStoreFn>(
        reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetPropertyStoreForWindow")));
    if (!getStore) return {};
    // shell32 brings ole32, so this is found wherever the store is; without it no value is
    // asked for, so none is left unfreed.
    const auto clear = extender::Ole32().propVariantClear;
    if (!clear) return {};
    IPropertyStore* store = nullptr;
    if (FAILED(getStore(wnd, kPropertyStoreIid, reinterpret_cast<void**>(&store))) || !store) return {};
    std::wstring id;
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(store->GetValue(kAppUserModelIdKey, &value)) && value.vt == VT_LPWSTR && value.pwszVal)
      id = value.pwszVal;
    clear(&value);
    store->Release();
    return id;
  } catch (...) {
    return {};
  }
}

model::TWindowInfo DescribeWindow(HWND wnd, bool upperCaseFileName, unsigned captionTimeoutMs) {
  model::TWindowInfo info;
  info.Wnd = reinterpret_cast<model::WindowHandleValue>(wnd);
  info.FileName = extender::ImagePathOfProcess(extender::ProcessOfWindow(wnd), true);
  if (info.FileName.find(L'\\') == std::wstring::npos) info.FileName.insert(0, 1, L'\\');
  if (upperCaseFileName) info.FileName = UpperSystem(std::move(info.FileName));
  info.WindowClass = extender::ComposedClassName(wnd);
  if (extender::IsApplicationFrameWindow(wnd)) {
    const std::wstring id = WindowAppUserModelId(wnd);
    if (!id.empty()) info.WindowClass += L" - " + id;
  }
  std::wstring caption = extender::ComposedCaption(wnd, captionTimeoutMs);
  if (caption.size() > model::kMaxRuleCaptionLength) caption.resize(model::kMaxRuleCaptionLength);
  info.WindowCaption = model::WideToAnsi(caption);
  return info;
}

model::RuleSubject RuleSubjectOf(const model::TWindowInfo& window) {
  model::RuleSubject s;
  s.upperFileName = model::WideToAnsi(UpperSystem(window.FileName));
  s.windowClass = model::WideToAnsi(window.WindowClass);
  s.caption = window.WindowCaption;
  s.inShellProcess = extender::CurrentProcessFlags().shell;
  return s;
}

}  // namespace dl::rules
