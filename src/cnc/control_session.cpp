#include "cnc/control_session.h"

#include "platform/error.h"

#include <utility>

namespace quorlan::cnc {

namespace {

using platform::StationError;
using protocol::Operation;
using protocol::Request;
using protocol::Value;

const Value kNothing{std::monostate{}};

std::string nameOf(const Request& request) {
    return std::string(protocol::operationName(request.operation));
}

template <typename T> const T& argument(const Request& request, std::size_t index, const char* kind) {
    const T* value = std::get_if<T>(&request.arguments.at(index));
    if (value == nullptr) {
        throw StationError(platform::errc::kTypeMismatch,
                           nameOf(request) + " takes " + kind + " as argument " + std::to_string(index + 1));
    }
    return *value;
}

bool boolean(const Request& request, std::size_t index = 0) {
    return argument<bool>(request, index, "a Boolean");
}
std::int32_t integer(const Request& request, std::size_t index = 0) {
    return argument<std::int32_t>(request, index, "an integer");
}
const std::string& text(const Request& request, std::size_t index = 0) {
    return argument<std::string>(request, index, "a text");
}

[[noreturn]] void unsupported(const Request& request, const char* object) {
    throw StationError(platform::errc::kNoSuchMethod, std::string(object) + " has no " + nameOf(request));
}

} // namespace

std::optional<std::string> ControlSession::answer(std::string_view requestBody) {
    const Request request = protocol::decodeRequest(requestBody);
    if (request.operation == Operation::Release) {
        m_applications.erase(request.object);
        m_lists.erase(request.object);
        return std::nullopt;
    }
    protocol::Reply reply;
    reply.call = request.call;
    try {
        reply.result = perform(request);
    } catch (const StationError& error) {
        reply.error = error.number() == 0 ? platform::errc::kAutomation : error.number();
        reply.description = error.description();
    }
    return protocol::encodeReply(reply);
}

Value ControlSession::perform(const Request& request) {
    if (const std::size_t expected = protocol::argumentCount(request.operation); request.arguments.size() != expected) {
        throw StationError(platform::errc::kWrongArguments,
                           nameOf(request) + " takes " + std::to_string(expected) + " argument(s)");
    }
    if (request.object == 0) {
        return performOnControl(request);
    }
    if (const auto application = m_applications.find(request.object); application != m_applications.end()) {
        // The object stays alive through the call even if the call releases it.
        const std::shared_ptr<Application> held = application->second;
        return performOnApplication(*held, request);
    }
    if (const auto list = m_lists.find(request.object); list != m_lists.end()) {
        const std::shared_ptr<ExeList> held = list->second;
        return performOnList(*held, request);
    }
    throw StationError(platform::errc::kAutomation,
                       "no object " + std::to_string(request.object) + " on this connection");
}

Value ControlSession::performOnControl(const Request& request) {
    switch (request.operation) {
    case Operation::CreateApplication:
        return keep(m_control.createApplication());
    case Operation::CreateObject:
        return keep(m_control.createObject(text(request)));
    default:
        unsupported(request, "The control");
    }
}

Value ControlSession::performOnApplication(Application& application, const Request& request) {
    switch (request.operation) {
    case Operation::ApplicationVisible:
        return application.Visible();
    case Operation::ApplicationSetVisible:
        application.SetVisible(boolean(request));
        return kNothing;
    case Operation::Connected:
        return application.Connected();
    case Operation::AccessLevel:
        return std::int32_t{application.AccessLevel()};
    case Operation::SetWindowState:
        application.SetWindowState(integer(request));
        return kNothing;
    case Operation::ListOpened:
        return std::int32_t{application.ListOpened()};
    case Operation::Quit:
        application.Quit(boolean(request));
        return kNothing;
    case Operation::OpenList:
        return keep(application.OpenList(text(request)));
    case Operation::NewList:
        return keep(application.NewList());
    case Operation::StartList:
        application.StartList();
        return kNothing;
    case Operation::HoldList:
        application.HoldList();
        return kNothing;
    case Operation::EndList:
        application.EndList();
        return kNothing;
    case Operation::Setpoint:
        application.Setpoint();
        return kNothing;
    case Operation::EnableOpenList:
        application.EnableOpenList(boolean(request));
        return kNothing;
    case Operation::EnableSaveList:
        application.EnableSaveList(boolean(request));
        return kNothing;
    case Operation::EnableNewList:
        application.EnableNewList(boolean(request));
        return kNothing;
    case Operation::ShowOnTop:
        application.ShowOnTop(boolean(request));
        return kNothing;
    default:
        unsupported(request, "The application");
    }
}

Value ControlSession::performOnList(ExeList& list, const Request& request) {
    switch (request.operation) {
    case Operation::ListInRun:
        return list.ListInRun();
    case Operation::ListVisible:
        return list.Visible();
    case Operation::ListSetVisible:
        list.SetVisible(boolean(request));
        return kNothing;
    case Operation::Columns:
        return std::int32_t{list.Columns()};
    case Operation::Rows:
        return list.Rows();
    case Operation::RepetitionCount:
        return list.RepetitionCount();
    case Operation::ExeRow:
        return list.ExeRow();
    case Operation::ColumnInfo:
        return list.ColumnInfo();
    case Operation::AddLine:
        return list.AddLine(text(request));
    case Operation::DelLine:
        return list.DelLine(integer(request));
    case Operation::GetLine:
        return list.GetLine(integer(request));
    case Operation::SetLine:
        list.SetLine(integer(request, 0), text(request, 1));
        return kNothing;
    case Operation::AppendList:
        return list.AppendList(text(request));
    case Operation::Clear:
        list.Clear();
        return kNothing;
    case Operation::ViewWorks:
        list.ViewWorks();
        return kNothing;
    case Operation::ViewWorksThrought:
        list.ViewWorksThrought();
        return kNothing;
    case Operation::CloseList:
        list.CloseList(boolean(request));
        return kNothing;
    default:
        unsupported(request, "The list");
    }
}

protocol::ObjectHandle ControlSession::keep(std::shared_ptr<Application> application) {
    if (!application) {
        return {};
    }
    const std::uint32_t handle = newHandle();
    m_applications.emplace(handle, std::move(application));
    return {handle};
}

protocol::ObjectHandle ControlSession::keep(std::shared_ptr<ExeList> list) {
    if (!list) {
        return {};
    }
    const std::uint32_t handle = newHandle();
    m_lists.emplace(handle, std::move(list));
    return {handle};
}

std::uint32_t ControlSession::newHandle() {
    if (objectCount() >= kMaxObjects) {
        throw StationError(platform::errc::kAutomation,
                           "more than " + std::to_string(kMaxObjects) + " objects held on one connection");
    }
    // Handle 0 stands for the control itself; a wrap past it skips to 1.
    if (++m_lastHandle == 0) {
        ++m_lastHandle;
    }
    return m_lastHandle;
}

} // namespace quorlan::cnc
