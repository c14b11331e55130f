// The services an extender offers its window parts: message handlers, properties with
// subscribers, server-message receivers, special agents and icons, the rule's registry key.
#include <algorithm>
#include <utility>

#include "library/extender/window_extender.h"
#include "library/extender/window_extender_rules.h"

namespace dl::extender {
namespace {

// Removes the last occurrence, as every unsubscribe of the extender does; returns it, or null.
template <typename T>
model::RefPtr<T> RemoveLast(std::vector<model::RefPtr<T>>& list, T* item) {
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    if (it->Get() == item) {
      model::RefPtr<T> removed = std::move(*it);
      list.erase(std::next(it).base());
      return removed;
    }
  }
  return {};
}

}  // namespace

void TWindowExtender::AttachMessageHandler(IMessageHandler* handler) {
  if (handler) messageHandlers_.emplace_back(handler);
}

void TWindowExtender::DetachMessageHandler(IMessageHandler* handler) {
  model::RefPtr<IMessageHandler> removed = RemoveLast(messageHandlers_, handler);
  // A handler may detach itself (or another) while the loops of the window procedure call it.
  if (removed && nesting_.load(std::memory_order_relaxed) > 0) detachedWhileInside_.push_back(std::move(removed));
}

void TWindowExtender::SetProp(std::wstring_view name, std::intptr_t value) {
  const int index = properties_->IndexByKey(name);
  if (index >= 0) properties_->Delete(index);
  properties_->Add(reinterpret_cast<void*>(value), false, name, index);
  // A copy: a subscriber may unsubscribe while it is told.
  const auto subscribers = propChangeSubscribers_;
  for (const auto& subscriber : subscribers) subscriber->OnPropChanged(name, value);
}

std::intptr_t TWindowExtender::GetProp(std::wstring_view name, std::intptr_t defValue) const {
  const int index = properties_->IndexByKey(name);
  return index < 0 ? defValue : reinterpret_cast<std::intptr_t>(properties_->GetItemsI(index));
}

void TWindowExtender::RemoveProp(std::wstring_view name) {
  const int index = properties_->IndexByKey(name);
  if (index >= 0) properties_->Delete(index);
}

void TWindowExtender::PropChangeSubscribe(IPropChangeSubscriber* subscriber) {
  if (subscriber) propChangeSubscribers_.emplace_back(subscriber);
}

void TWindowExtender::PropChangeUnsubscribe(IPropChangeSubscriber* subscriber) {
  (void)RemoveLast(propChangeSubscribers_, subscriber);
}

void TWindowExtender::Subscribe(std::wstring_view name, IServerMessageReceiver* receiver) {
  if (receiver) serverMessageSubscribers_->Add(receiver, false, name);
}

void TWindowExtender::Unsubscribe(std::wstring_view name) {
  const int index = serverMessageSubscribers_->IndexByKey(name);
  if (index >= 0) serverMessageSubscribers_->Delete(index);
}

void TWindowExtender::Unsubscribe(IServerMessageReceiver* receiver) {
  model::RefPtr<model::IInterface> target = model::QueryAs<model::IInterface>(receiver);
  for (int i = serverMessageSubscribers_->GetCount() - 1; i >= 0; --i) {
    model::RefPtr<model::IInterface> item = serverMessageSubscribers_->GetItemsI(i);
    if (item.As<model::IInterface>() == target) serverMessageSubscribers_->Delete(i);
  }
}

void TWindowExtender::OnMessageFromServer(HWND, std::wstring_view receiver, int commandCode,
                                          const entry::CommandData& data) {
  if (receiver.empty()) return;
  const int index = serverMessageSubscribers_->IndexByKey(receiver);
  if (index < 0) return;
  model::RefPtr<model::IInterface> item = serverMessageSubscribers_->GetItemsI(index);
  if (model::RefPtr<IServerMessageReceiver> subscriber = item.As<IServerMessageReceiver>())
    subscriber->OnMessageFromServer(commandCode, data);
}

void TWindowExtender::RegisterSpecialAgent(IAgent* agent, std::intptr_t id) {
  if (!agent) return;
  for (auto& entry : specialAgents_) {
    if (entry.first == id) {
      entry.second = agent;
      return;
    }
  }
  specialAgents_.emplace_back(id, agent);
}

void TWindowExtender::UnregisterSpecialAgent(IAgent* agent) {
  for (auto it = specialAgents_.rbegin(); it != specialAgents_.rend(); ++it) {
    if (it->second.Get() == agent) {
      specialAgents_.erase(std::next(it).base());
      return;
    }
  }
}

model::RefPtr<IAgent> TWindowExtender::GetSpecialAgent(std::intptr_t id) const {
  for (const auto& entry : specialAgents_)
    if (entry.first == id) return entry.second;
  return {};
}

HICON TWindowExtender::GetSpecialIcon(std::wstring_view name) const {
  const auto handle = SpecialIconHandle(specialIcons_, name);
  if (!handle) return nullptr;
  // Icon handles are 32-bit values in every process; the caller owns the copy.
  return ::CopyIcon(reinterpret_cast<HICON>(static_cast<std::uintptr_t>(*handle)));
}

std::wstring TWindowExtender::GetRegistryParamsPath() const {
  return RegistryParamsPathFor(GetParamDefault(L"window_rule_name", L""));
}

}  // namespace dl::extender
