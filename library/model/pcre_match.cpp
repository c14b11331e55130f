#include "library/model/pcre_match.h"

#include <climits>
#include <memory>
#include <vector>

#include "library/model/error.h"
#include "library/model/system_seam.h"

namespace dl::model::pcre {
namespace {

std::wstring Ansi(const char* text) { return text ? AnsiToWide(text) : std::wstring(); }
std::wstring Ansi(std::string_view text) { return AnsiToWide(text); }

int FullInfoInt(const EntryPoints& e, const void* code, const Extra* extra, int what, int fallback) {
  if (!e.fullInfo) return fallback;
  int value = 0;
  return e.fullInfo(code, extra, what, &value) == 0 ? value : fallback;
}

}  // namespace

std::wstring ErrorCodeName(int code) {
  switch (code) {
    case -2: return L"PCRE_ERROR_NULL";
    case -3: return L"PCRE_ERROR_BADOPTION";
    case -4: return L"PCRE_ERROR_BADMAGIC";
    case -5: return L"PCRE_ERROR_UNKNOWN_NODE";
    case -6: return L"PCRE_ERROR_NOMEMORY";
    case -7: return L"PCRE_ERROR_NOSUBSTRING";
    case -10: return L"PCRE_ERROR_BADUTF8";
    case -11: return L"PCRE_ERROR_BADUTF8_OFFSET";
    case -12: return L"PCRE_ERROR_PARTIAL";
    case -13: return L"PCRE_ERROR_BADPARTIAL";
    case -14: return L"PCRE_ERROR_INTERNAL";
    case -15: return L"PCRE_ERROR_BADCOUNT";
    case -16: return L"PCRE_ERROR_DFA_UITEM";
    case -17: return L"PCRE_ERROR_DFA_UCOND";
    case -18: return L"PCRE_ERROR_DFA_UMLIMIT";
    case -19: return L"PCRE_ERROR_DFA_WSSIZE";
    case -20: return L"PCRE_ERROR_DFA_RECURSE";
    default: return L"Unknown PCRE error code " + std::to_wstring(code);
  }
}

bool MatchPattern(const EntryPoints& e, std::string_view pattern, std::string_view subject) {
  if (!CanRelease(e)) return false;
  if (subject.size() > INT_MAX) return false;
  const std::string zeroTerminated(pattern);

  const char* error = nullptr;
  int errorOffset = 0;
  void* compiled = e.compile ? e.compile(zeroTerminated.c_str(), 0, &error, &errorOffset, nullptr) : nullptr;
  if (!compiled)
    throw Error(L"Invalid Pattern '" + Ansi(pattern) + L"': error at position " + std::to_wstring(errorOffset) +
                L": " + Ansi(error));
  const auto releaseCode = [&e](void* p) { e.free(p); };
  std::unique_ptr<void, decltype(releaseCode)> code(compiled, releaseCode);

  Extra* studied = nullptr;
  const bool anchored = (FullInfoInt(e, compiled, nullptr, kInfoOptions, 0) & kAnchored) != 0;
  const bool firstKnown = FullInfoInt(e, compiled, nullptr, kInfoFirstByte, -2) >= 0;
  if (!anchored && !firstKnown && e.study) {
    error = nullptr;
    studied = e.study(compiled, 0, &error);
    if (error) {
      if (studied) (e.freeStudy ? e.freeStudy(studied) : e.free(studied));
      throw Error(L"Failed to study pattern'" + Ansi(pattern) + L"' : " + Ansi(error));
    }
  }
  const auto releaseStudy = [&e](Extra* p) { e.freeStudy ? e.freeStudy(p) : e.free(p); };
  std::unique_ptr<Extra, decltype(releaseStudy)> study(studied, releaseStudy);

  Extra limits{};
  Extra* extra = studied ? studied : &limits;
  extra->flags |= kExtraMatchLimit | kExtraMatchLimitRecursion;
  extra->match_limit = kMatchLimit;
  extra->match_limit_recursion = kRecursionLimit;

  const int captures = FullInfoInt(e, compiled, extra, kInfoCaptureCount, 0);
  if (captures < 0 || captures > 65535) return false;
  std::vector<int> ovector(3 * (static_cast<std::size_t>(captures) + 1));
  const int rc = e.exec ? e.exec(compiled, extra, subject.data(), static_cast<int>(subject.size()), 0, 0,
                                 ovector.data(), static_cast<int>(ovector.size()))
                        : kErrorNoMatch;
  if (rc >= 0) return true;
  if (rc == kErrorNoMatch) return false;
  throw Error(ErrorCodeName(rc));
}

bool FailureReports::ShouldReport(std::string_view pattern) {
  if (patterns_.size() >= kMaxPatterns || patterns_.contains(pattern)) return false;
  patterns_.emplace(pattern);
  return true;
}

}  // namespace dl::model::pcre
