#include "com_control.h"

#include "automation.h"
#include "cnc/control_protocol.h"
#include "platform/error.h"

#include <map>
#include <type_traits>
#include <variant>
#include <vector>

namespace quorlan::bridge {

namespace {

namespace protocol = cnc::protocol;
using cnc::Access;
// The table's rows name the interfaces without their namespace.
using cnc::Application;
using cnc::ExeList;
using cnc::Operation;
using platform::StationError;
using protocol::Value;

[[noreturn]] void failed(HRESULT result, EXCEPINFO* exception = nullptr) {
    if (exception != nullptr && exception->pfnDeferredFillIn != nullptr) {
        exception->pfnDeferredFillIn(exception);
    }
    Failure failure = failureOf(result, exception);
    if (exception != nullptr) {
        SysFreeString(exception->bstrSource);
        SysFreeString(exception->bstrDescription);
        SysFreeString(exception->bstrHelpFile);
    }
    throw StationError(failure.number, std::move(failure.description));
}

[[noreturn]] void wrongKind(Operation operation) {
    throw StationError(platform::errc::kAutomation, "the CNC control answered " +
                                                        std::string(protocol::operationName(operation)) +
                                                        " with a value of the wrong kind");
}

template <typename Interface> class ComObject;

// The Invoke's result as the member's result: an object of the control is held by reference.
template <typename Result> Result resultOf(const VARIANT& value, Operation operation) {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (cnc::kIsControlObject<Result>) {
        // NewList may answer Nothing: no list yet.
        if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL ||
            ((V_VT(&value) == VT_DISPATCH || V_VT(&value) == VT_UNKNOWN) && V_UNKNOWN(&value) == nullptr)) {
            return nullptr;
        }
        ComPtr<IDispatch> object;
        if ((V_VT(&value) != VT_DISPATCH && V_VT(&value) != VT_UNKNOWN) ||
            FAILED(V_UNKNOWN(&value)->QueryInterface(IID_IDispatch, object.out()))) {
            wrongKind(operation);
        }
        return std::make_shared<ComObject<typename Result::element_type>>(std::move(object));
    } else {
        Result result{};
        if (FAILED(fromVariant(value, result))) {
            wrongKind(operation);
        }
        return result;
    }
}

HRESULT argumentVariant(const Value& value, VARIANT& out) {
    return std::visit(
        [&out](const auto& held) -> HRESULT {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, bool> || std::is_same_v<Held, std::int32_t> ||
                          std::is_same_v<Held, std::string>) {
                return toVariant(held, out);
            } else {
                return DISP_E_TYPEMISMATCH; // the interfaces take no other kind of argument
            }
        },
        value);
}

// The arguments of one Invoke, last to first as IDispatch takes them, cleared at the end.
class Arguments {
public:
    explicit Arguments(const std::vector<Value>& values) : m_variants(values.size()) {
        for (VARIANT& variant : m_variants) {
            VariantInit(&variant);
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (const HRESULT result = argumentVariant(values[i], m_variants[values.size() - 1 - i]); FAILED(result)) {
                clear();
                failed(result);
            }
        }
    }
    ~Arguments() { clear(); }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    DISPPARAMS parameters(bool put) {
        static DISPID propertyPut = DISPID_PROPERTYPUT;
        return {m_variants.data(), put ? &propertyPut : nullptr, static_cast<UINT>(m_variants.size()), put ? 1u : 0u};
    }

private:
    void clear() {
        for (VARIANT& variant : m_variants) {
            VariantClear(&variant);
        }
    }

    std::vector<VARIANT> m_variants;
};

class Dispatch {
public:
    explicit Dispatch(ComPtr<IDispatch> object) : m_object(std::move(object)) {}

    template <typename Result> Result call(Operation operation, const std::vector<Value>& values) {
        const cnc::OperationInfo& info = *cnc::describe(operation);
        const DISPID id = idOf(dispatchName(info.name));
        Arguments arguments(values);
        const bool put = info.access == Access::Put;
        DISPPARAMS parameters = arguments.parameters(put);
        const WORD flags = put                          ? DISPATCH_PROPERTYPUT
                           : info.access == Access::Get ? DISPATCH_PROPERTYGET
                                                        : DISPATCH_METHOD;
        Variant result;
        EXCEPINFO exception{};
        UINT badArgument = 0;
        const HRESULT status = m_object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                                put ? nullptr : result.get(), &exception, &badArgument);
        if (FAILED(status)) {
            failed(status, &exception);
        }
        return resultOf<Result>(*result, operation);
    }

private:
    // Asked once per member: the DISPID stays what it is for the object's life.
    DISPID idOf(std::string_view name) {
        if (const auto known = m_ids.find(name); known != m_ids.end()) {
            return known->second;
        }
        std::wstring wide = toWide(name);
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT result = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (result == DISP_E_UNKNOWNNAME) {
            throw StationError(platform::errc::kNoSuchMethod, "the control's object has no member " +
                                                                  std::string(name) +
                                                                  "; this version of the control does not offer it");
        }
        if (FAILED(result)) {
            failed(result);
        }
        m_ids.emplace(name, id);
        return id;
    }

    ComPtr<IDispatch> m_object;
    std::map<std::string_view, DISPID> m_ids;
};

class ComObjectBase {
protected:
    explicit ComObjectBase(ComPtr<IDispatch> object) : m_dispatch(std::move(object)) {}

    template <typename Result> Result forward(Operation operation, std::vector<Value> arguments) {
        return m_dispatch.call<Result>(operation, arguments);
    }

private:
    Dispatch m_dispatch;
};

template <> class ComObject<cnc::Application> final : public cnc::Application, private ComObjectBase {
public:
    explicit ComObject(ComPtr<IDispatch> object) : ComObjectBase(std::move(object)) {}
    QUORLAN_APPLICATION_OPERATIONS(QUORLAN_FORWARD_MEMBER)
};

template <> class ComObject<cnc::ExeList> final : public cnc::ExeList, private ComObjectBase {
public:
    explicit ComObject(ComPtr<IDispatch> object) : ComObjectBase(std::move(object)) {}
    QUORLAN_EXELIST_OPERATIONS(QUORLAN_FORWARD_MEMBER)
};

// The object of the class, named by "{...}" or a ProgID, as the control's object of that kind.
template <typename Interface>
std::shared_ptr<Interface> created(const std::string& name, DWORD context, const char* what) {
    const std::wstring wide = toWide(name);
    CLSID id{};
    HRESULT result =
        !wide.empty() && wide.front() == L'{' ? CLSIDFromString(wide.c_str(), &id) : CLSIDFromProgID(wide.c_str(), &id);
    ComPtr<IDispatch> object;
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(id, nullptr, context, IID_IDispatch, object.out());
    }
    if (FAILED(result)) {
        const Failure failure = failureOf(result);
        throw StationError(
            failure.number == platform::errc::kAutomation ? platform::errc::kCannotCreateObject : failure.number,
            std::string("the control's ") + what + " (" + name + ") cannot be created: " + failure.description);
    }
    return std::make_shared<ComObject<Interface>>(std::move(object));
}

} // namespace

std::shared_ptr<cnc::Application> ComControl::createApplication() {
    return created<cnc::Application>(m_classes.application, m_classes.context, "Application");
}

std::shared_ptr<cnc::ExeList> ComControl::createObject(const std::string& progId) {
    if (progId != cnc::kExeListProgId) {
        throw StationError(platform::errc::kCannotCreateObject, "only the control's list (" +
                                                                    std::string(cnc::kExeListProgId) +
                                                                    ") is created here, not " + progId);
    }
    return created<cnc::ExeList>(m_classes.list, m_classes.context, "list");
}

} // namespace quorlan::bridge
