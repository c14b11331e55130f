#pragma once
// Window parts, an owner and an event-log sink for tests of the window extender: the parts are
// registered under test class names and record what the extender does with them.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/extender/window_extender.h"
#include "library/model/event_log.h"

namespace dl::extender {

class TestPart : public model::ObjectClass<TestPart, model::TAbstractItem, L"TestPart">,
                 public virtual IWindowPart,
                 public virtual IMessageHandler {
 public:
  [[nodiscard]] std::wstring GetName() const override { return TAbstractItem::GetName(); }
  void SetName(std::wstring_view name) override { TAbstractItem::SetName(name); }
  void ParseParams(std::wstring_view params) override { TAbstractItem::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(model::TAbstractClass cls) const noexcept override {
    return TAbstractItem::IsObjectOfClass(cls);
  }
  void Init(model::IItem* owner) override;
  void Done() override;
  void Bind() override {}
  void Unbind() override { ++unbinds; }
  [[nodiscard]] model::RefPtr<model::IItem> GetOwner() const override { return owner_; }
  [[nodiscard]] bool IsProperWindow(HWND) override { return !refuseWindows; }
  void AttachWindow() override;
  void DetachWindow() override;
  [[nodiscard]] bool IsAttached() const override { return attached_; }
  bool BeforeMessage(WindowMessage& message) override;
  void AfterMessage(WindowMessage&, bool) override {}
  // The extender's services as this part sees them; null outside Init..Done.
  [[nodiscard]] IWindowHandler* Handler() const noexcept { return handler_; }

  std::map<std::wstring, std::wstring> params;
  std::vector<WPARAM> serviceCodes;
  int unbinds = 0;
  static inline int detaches = 0;
  static inline int dones = 0;
  static inline bool refuseWindows = false;
  static inline bool destroyOnAttach = false;

 protected:
  void SetParam(const std::wstring& name, const model::Variant& value) override;
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  model::RefPtr<model::IItem> owner_;
  IWindowHandler* handler_ = nullptr;
  bool attached_ = false;
};

class TestTrigger : public model::ObjectClass<TestTrigger, TestPart, L"TestTrigger">, public virtual ITrigger {
 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};
class TestAction : public model::ObjectClass<TestAction, TestPart, L"TestAction">, public virtual IAction {
 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};
class TestToolbox : public model::ObjectClass<TestToolbox, TestPart, L"TestToolbox">, public virtual IToolbox {
 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};

// Does what the rule dispatcher does when an extender asks to be closed.
class TestOwner : public model::ObjectClass<TestOwner, model::TAbstractItem, L"TestOwner">,
                  public virtual rules::IWindowExtenderOwner {
 public:
  void OnClose(rules::IWindowExtender* extender, int unregKind) override;
  std::vector<int> closes;
  std::vector<int> nestingAtClose;
  std::vector<model::RefPtr<TWindowExtender>> extenders;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};

class TestLogSink : public model::TInterfacedObject, public virtual model::IEventLogSink {
 public:
  void SendCommand(std::wstring_view, std::uint32_t, std::wstring_view data) override { lines.emplace_back(data); }
  std::vector<std::wstring> lines;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};

class TestSubscriber : public model::TInterfacedObject, public virtual IPropChangeSubscriber {
 public:
  void OnPropChanged(std::wstring_view name, std::intptr_t value) override { changes.emplace_back(name, value); }
  std::vector<std::pair<std::wstring, std::intptr_t>> changes;
};

class TestReceiver : public model::TInterfacedObject, public virtual IServerMessageReceiver {
 public:
  void OnMessageFromServer(int code, const std::string&) override { codes.push_back(code); }
  std::vector<int> codes;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
};

// Records its tag for WM_APP + 5; claims the messages it is told to; may throw.
class TestHandler : public model::TInterfacedObject, public virtual IMessageHandler {
 public:
  TestHandler(char tag, std::vector<char>* order) : tag_(tag), order_(order) {}
  bool BeforeMessage(WindowMessage& message) override;
  void AfterMessage(WindowMessage& message, bool beforeHandled) override;
  UINT claims = 0;
  UINT throwsOn = 0;
  std::vector<UINT> seen;
  std::vector<std::pair<UINT, bool>> after;
  std::function<void(WindowMessage&)> onBefore;

 private:
  char tag_;
  std::vector<char>* order_;
};

class ExtenderFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Built from the parameters through the class registry, as the dispatcher builds it.
  model::RefPtr<TWindowExtender> Create(const std::wstring& params);
  // Built, initialised with the test owner, bound and attached; the owner keeps a reference.
  model::RefPtr<TWindowExtender> CreateAttached(const std::wstring& params, HWND wnd);

  model::RefPtr<TestOwner> owner;
  model::RefPtr<TestLogSink> sinkRef{new TestLogSink()};
  TestLogSink& log = *sinkRef;
};

}  // namespace dl::extender
