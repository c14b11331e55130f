#include "tests/extender/window_parts_fixture.h"

#include <stdexcept>

#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/classification_atoms.h"
#include "library/model/class_registry.h"
#include "platform/registered_messages.h"

namespace dl::extender {

void TestPart::Init(model::IItem* owner) {
  owner_ = owner;
  if (auto partOwner = model::QueryAs<IWindowPartOwner>(owner)) handler_ = partOwner->GetWindowHandler();
}

void TestPart::Done() {
  ++dones;
  handler_ = nullptr;
  owner_.Reset();
}

void TestPart::AttachWindow() {
  if (params.count(L"failattach")) throw std::runtime_error("attach refused");
  attached_ = true;
  if (!handler_) return;
  handler_->AttachMessageHandler(this);
  if (destroyOnAttach) ::DestroyWindow(handler_->GetWnd());
}

void TestPart::DetachWindow() {
  ++detaches;
  attached_ = false;
  if (handler_) handler_->DetachMessageHandler(this);
}

bool TestPart::BeforeMessage(WindowMessage& message) {
  if (message.Msg == platform::ServiceMessage()) serviceCodes.push_back(message.WParam);
  return false;
}

void TestPart::SetParam(const std::wstring& name, const model::Variant& value) {
  TAbstractItem::SetParam(name, value);
  if (name == L"fail") throw std::runtime_error("parameter refused");
  params[name] = value.AsString();
}

void* TestPart::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IWindowPart::kIid) return static_cast<IWindowPart*>(this);
  if (iid == model::ISlave::kIid) return static_cast<model::ISlave*>(this);
  if (iid == IMessageHandler::kIid) return static_cast<IMessageHandler*>(this);
  return TAbstractItem::FindInterface(iid);
}

void* TestTrigger::FindInterface(const model::Guid& iid) noexcept {
  if (iid == ITrigger::kIid) return static_cast<ITrigger*>(this);
  return TestPart::FindInterface(iid);
}
void* TestAction::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IAction::kIid) return static_cast<IAction*>(this);
  return TestPart::FindInterface(iid);
}
void* TestToolbox::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IToolbox::kIid) return static_cast<IToolbox*>(this);
  return TestPart::FindInterface(iid);
}

void TestOwner::OnClose(rules::IWindowExtender* extender, int unregKind) {
  closes.push_back(unregKind);
  nestingAtClose.push_back(extender->WindowProcNestingCount());
  model::RefPtr<rules::IWindowExtender> hold(extender);
  std::erase_if(extenders, [&](const auto& e) { return static_cast<rules::IWindowExtender*>(e.Get()) == extender; });
  extender->DetachWindow();
  extender->Unbind();
  extender->Done();
}

void* TestOwner::FindInterface(const model::Guid& iid) noexcept {
  if (iid == rules::IWindowExtenderOwner::kIid) return static_cast<rules::IWindowExtenderOwner*>(this);
  return TAbstractItem::FindInterface(iid);
}

void* TestLogSink::FindInterface(const model::Guid& iid) noexcept {
  if (iid == model::IEventLogSink::kIid) return static_cast<model::IEventLogSink*>(this);
  return TInterfacedObject::FindInterface(iid);
}

void* TestReceiver::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IServerMessageReceiver::kIid) return static_cast<IServerMessageReceiver*>(this);
  return TInterfacedObject::FindInterface(iid);
}

bool TestHandler::BeforeMessage(WindowMessage& message) {
  const UINT msg = static_cast<UINT>(message.Msg);
  seen.push_back(msg);
  if (msg == WM_APP + 5 && order_) order_->push_back(tag_);
  if (onBefore) onBefore(message);
  if (throwsOn && msg == throwsOn) throw std::runtime_error("handler failure");
  return claims && msg == claims;
}

void TestHandler::AfterMessage(WindowMessage& message, bool beforeHandled) {
  after.emplace_back(static_cast<UINT>(message.Msg), beforeHandled);
  if (throwsOn && message.Msg == throwsOn) throw std::runtime_error("handler failure");
}

void ExtenderFixture::SetUp() {
  static const bool once = [] {
    entry::RegisterSharedMessages();
    entry::ProcessLocalStorage::Instance().Open();
    RegisterClassAtoms();
    RegisterWindowExtenderClass();
    model::RegisterObjectClass<TestTrigger>(L"TESTTRIGGER");
    model::RegisterObjectClass<TestAction>(L"TESTACTION");
    model::RegisterObjectClass<TestToolbox>(L"TESTTOOLBOX");
    return true;
  }();
  (void)once;
  TestPart::detaches = 0;
  TestPart::dones = 0;
  TestPart::refuseWindows = false;
  TestPart::destroyOnAttach = false;
  owner = new TestOwner();
  model::SetEventLogSink(sinkRef.Get());
  model::SetEventLogEnabled(true);
}

void ExtenderFixture::TearDown() {
  model::SetEventLogEnabled(false);
  model::SetEventLogSink(nullptr);
  for (auto& e : owner->extenders) {
    e->DetachWindow();
    e->Unbind();
    e->Done();
  }
  owner->extenders.clear();
}

model::RefPtr<TWindowExtender> ExtenderFixture::Create(const std::wstring& params) {
  auto object = model::CreateObjectByClassName(params, rules::kWindowExtenderClassName);
  auto view = object.As<rules::IWindowExtender>();
  return model::RefPtr<TWindowExtender>(dynamic_cast<TWindowExtender*>(view.Get()));
}

model::RefPtr<TWindowExtender> ExtenderFixture::CreateAttached(const std::wstring& params, HWND wnd) {
  auto ext = Create(params);
  if (!ext) return ext;
  owner->extenders.push_back(ext);
  ext->Init(owner.Get());
  ext->Bind();
  ext->AttachWindow(wnd);
  return ext;
}

}  // namespace dl::extender
