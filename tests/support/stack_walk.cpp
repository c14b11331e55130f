#include "tests/support/stack_walk.h"

#include <cstdio>

namespace dl::test {
namespace {

std::string Where(DWORD64 address) {
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(address), &module))
    ::GetModuleFileNameA(module, name, MAX_PATH);
  char line[MAX_PATH + 64];
  std::snprintf(line, sizeof line, "%llx %s\n", static_cast<unsigned long long>(address), name);
  return line;
}

}  // namespace

CodeRange FunctionContaining(const void* address) {
  DWORD64 base = 0;
  PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &base, nullptr);
  if (!function) return {};
  return {base + function->BeginAddress, base + function->EndAddress};
}

bool StackWalkReaches(CodeRange range, std::string* trace) {
  CONTEXT context{};
  ::RtlCaptureContext(&context);
  if (trace) trace->clear();
  for (int frame = 0; frame < 64 && context.Rip; ++frame) {
    if (trace) *trace += Where(context.Rip);
    if (range.Contains(context.Rip)) return true;
    DWORD64 imageBase = 0;
    PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (!function) {
      context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);  // a leaf: return address on top
      context.Rsp += 8;
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 establisher = 0;
    ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher,
                       nullptr);
  }
  return false;
}

}  // namespace dl::test
