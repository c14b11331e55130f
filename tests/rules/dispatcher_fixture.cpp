#include "tests/rules/dispatcher_fixture.h"

#include "library/runtime/shared_messages.h"
#include "platform/registered_messages.h"

namespace dl::rules::test {

std::vector<ServiceRecord>& ServiceLog() {
  static std::vector<ServiceRecord> log;
  return log;
}

namespace {
TRuleDispatcher* g_route = nullptr;
}

void RouteServiceCommandsTo(TRuleDispatcher* dispatcher) { g_route = dispatcher; }

LRESULT CALLBACK RecordingWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == platform::ServiceMessage()) {
    // The extender tells its own window that the attach is complete: not the dispatcher's doing.
    if (wParam == extender::kSvcAttachComplete) return 0;
    ServiceLog().push_back({wnd, wParam, lParam});
    if (g_route && wParam == 2) g_route->ConsiderWindow(wnd, kReasonEvent, msg, 0);
    if (g_route && wParam == 3) g_route->UnregisterWindow(wnd, static_cast<int>(lParam));
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

TestWindow::TestWindow(const wchar_t* className, const wchar_t* caption, bool visible) {
  wnd_ = ::CreateWindowExW(0, className, caption, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10, 200,
                           120, nullptr, nullptr, dl::test::Instance(), nullptr);
}

TestWindow::~TestWindow() { Destroy(); }

void TestWindow::Destroy() {
  if (wnd_) ::DestroyWindow(wnd_);
  wnd_ = nullptr;
}

DispatcherFixture::DispatcherFixture(std::vector<TestRule> rules, bool init) {
  entry::RegisterSharedMessages();
  extender::RegisterWindowExtenderClass();
  blocks->blocks[1] = std::move(rules);
  dispatcher = model::RefPtr<TRuleDispatcher>(new TRuleDispatcher(TestEnvironment(blocks, notices)));
  if (init) dispatcher->Init(nullptr);
  ServiceLog().clear();
}

DispatcherFixture::~DispatcherFixture() {
  RouteServiceCommandsTo(nullptr);
  dispatcher->Done();
}

}  // namespace dl::rules::test
