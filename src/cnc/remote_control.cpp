#include "cnc/remote_control.h"

#include "platform/error.h"

#include <limits>
#include <utility>
#include <vector>

namespace quorlan::cnc {

namespace {

using platform::StationError;
using protocol::Operation;
using protocol::Value;

// Where an object lives: the channel, the connection it was created on and its handle there.
struct Binding {
    std::shared_ptr<ControlChannel> channel;
    std::uint64_t connection = 0;
    std::uint32_t handle = 0;
};

// One call of the object's operation. The binding is taken by value: the object itself may be let
// go while the call waits for its reply, and nothing of it is needed afterwards.
Value invoke(Binding binding, Operation operation, std::vector<Value> arguments = {}) {
    if (binding.channel->connection() != binding.connection) {
        throw StationError(platform::errc::kServerUnavailable);
    }
    protocol::Reply reply = binding.channel->call({0, binding.handle, operation, std::move(arguments)});
    if (reply.error != 0) {
        throw StationError(reply.error,
                           reply.description.empty() ? platform::describeError(reply.error) : reply.description);
    }
    return std::move(reply.result);
}

[[noreturn]] void wrongKind(Operation operation) {
    throw StationError(platform::errc::kAutomation, "the CNC control answered " +
                                                        std::string(protocol::operationName(operation)) +
                                                        " with a value of the wrong kind");
}

template <typename T> T as(Value value, Operation operation) {
    T* result = std::get_if<T>(&value);
    if (result == nullptr) {
        wrongKind(operation);
    }
    return std::move(*result);
}

std::int16_t asInt16(Value value, Operation operation) {
    const std::int32_t result = as<std::int32_t>(std::move(value), operation);
    if (result < std::numeric_limits<std::int16_t>::min() || result > std::numeric_limits<std::int16_t>::max()) {
        wrongKind(operation);
    }
    return static_cast<std::int16_t>(result);
}

// An object handed out on the same connection as the one that made it; null for handle 0.
template <typename Object> std::shared_ptr<Object> objectOf(const Binding& maker, Value value, Operation operation) {
    const std::uint32_t handle = as<protocol::ObjectHandle>(std::move(value), operation).id;
    if (handle == 0) {
        return nullptr;
    }
    return std::make_shared<Object>(Binding{maker.channel, maker.connection, handle});
}

class RemoteObject {
public:
    RemoteObject(const RemoteObject&) = delete;
    RemoteObject& operator=(const RemoteObject&) = delete;

protected:
    explicit RemoteObject(Binding binding) : m_binding(std::move(binding)) {}
    // The control forgets the object; on a connection that has ended it is gone already.
    ~RemoteObject() {
        if (m_binding.channel->connection() == m_binding.connection) {
            m_binding.channel->post({0, m_binding.handle, Operation::Release, {}});
        }
    }

    Value call(Operation operation, std::vector<Value> arguments = {}) const {
        return invoke(m_binding, operation, std::move(arguments));
    }
    void perform(Operation operation, std::vector<Value> arguments = {}) const {
        as<std::monostate>(call(operation, std::move(arguments)), operation);
    }
    template <typename T> T ask(Operation operation, std::vector<Value> arguments = {}) const {
        return as<T>(call(operation, std::move(arguments)), operation);
    }
    template <typename Object>
    std::shared_ptr<Object> create(Operation operation, std::vector<Value> arguments = {}) const {
        const Binding maker = m_binding;
        return objectOf<Object>(maker, invoke(maker, operation, std::move(arguments)), operation);
    }

private:
    Binding m_binding;
};

class RemoteList final : public ExeList, private RemoteObject {
public:
    explicit RemoteList(Binding binding) : RemoteObject(std::move(binding)) {}

    bool ListInRun() override { return ask<bool>(Operation::ListInRun); }
    bool Visible() override { return ask<bool>(Operation::ListVisible); }
    void SetVisible(bool visible) override { perform(Operation::ListSetVisible, {visible}); }
    std::int16_t Columns() override { return asInt16(call(Operation::Columns), Operation::Columns); }
    std::int32_t Rows() override { return ask<std::int32_t>(Operation::Rows); }
    std::int32_t RepetitionCount() override { return ask<std::int32_t>(Operation::RepetitionCount); }
    std::int32_t ExeRow() override { return ask<std::int32_t>(Operation::ExeRow); }
    std::vector<std::string> ColumnInfo() override { return ask<std::vector<std::string>>(Operation::ColumnInfo); }
    std::int32_t AddLine(const std::string& line) override { return ask<std::int32_t>(Operation::AddLine, {line}); }
    std::int32_t DelLine(std::int32_t row) override { return ask<std::int32_t>(Operation::DelLine, {row}); }
    std::string GetLine(std::int32_t row) override { return ask<std::string>(Operation::GetLine, {row}); }
    void SetLine(std::int32_t row, const std::string& line) override { perform(Operation::SetLine, {row, line}); }
    std::int32_t AppendList(const std::string& path) override {
        return ask<std::int32_t>(Operation::AppendList, {path});
    }
    void Clear() override { perform(Operation::Clear); }
    void ViewWorks() override { perform(Operation::ViewWorks); }
    void ViewWorksThrought() override { perform(Operation::ViewWorksThrought); }
    void CloseList(bool save) override { perform(Operation::CloseList, {save}); }
};

class RemoteApplication final : public Application, private RemoteObject {
public:
    explicit RemoteApplication(Binding binding) : RemoteObject(std::move(binding)) {}

    bool Visible() override { return ask<bool>(Operation::ApplicationVisible); }
    void SetVisible(bool visible) override { perform(Operation::ApplicationSetVisible, {visible}); }
    bool Connected() override { return ask<bool>(Operation::Connected); }
    std::int16_t AccessLevel() override { return asInt16(call(Operation::AccessLevel), Operation::AccessLevel); }
    void SetWindowState(std::int32_t state) override { perform(Operation::SetWindowState, {state}); }
    std::int16_t ListOpened() override { return asInt16(call(Operation::ListOpened), Operation::ListOpened); }
    void Quit(bool save) override { perform(Operation::Quit, {save}); }
    std::shared_ptr<ExeList> OpenList(const std::string& path) override {
        return create<RemoteList>(Operation::OpenList, {path});
    }
    std::shared_ptr<ExeList> NewList() override { return create<RemoteList>(Operation::NewList); }
    void StartList() override { perform(Operation::StartList); }
    void HoldList() override { perform(Operation::HoldList); }
    void EndList() override { perform(Operation::EndList); }
    void Setpoint() override { perform(Operation::Setpoint); }
    void EnableOpenList(bool enable) override { perform(Operation::EnableOpenList, {enable}); }
    void EnableSaveList(bool enable) override { perform(Operation::EnableSaveList, {enable}); }
    void EnableNewList(bool enable) override { perform(Operation::EnableNewList, {enable}); }
    void ShowOnTop(bool onTop) override { perform(Operation::ShowOnTop, {onTop}); }
};

} // namespace

std::shared_ptr<Application> RemoteControl::createApplication() {
    const Binding control{m_channel, m_channel->connect(), 0};
    return objectOf<RemoteApplication>(control, invoke(control, Operation::CreateApplication),
                                       Operation::CreateApplication);
}

std::shared_ptr<ExeList> RemoteControl::createObject(const std::string& progId) {
    const Binding control{m_channel, m_channel->connect(), 0};
    return objectOf<RemoteList>(control, invoke(control, Operation::CreateObject, {progId}), Operation::CreateObject);
}

} // namespace quorlan::cnc
