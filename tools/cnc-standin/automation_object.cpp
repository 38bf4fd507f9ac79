#include "automation_object.h"

#include "automation.h"
#include "platform/error.h"
#include "server_state.h"

#include <new>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

namespace quorlan::standin {

namespace {

using cnc::Access;

template <typename Object>
using Invoker = HRESULT (*)(Object& object, const DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception,
                            UINT* badArgument);

// A row of the table as the object's IDispatch serves it.
template <typename Object> struct Member {
    std::string_view name;
    Access access;
    DISPID code; // the operation's code; the member's DISPID is the code of the first row of its name
    Invoker<Object> invoke;
};

// The argument at index (arguments come last to first in rgvarg), as the parameter takes it.
template <typename T> HRESULT argument(const DISPPARAMS& parameters, std::size_t index, T& value, UINT* badArgument) {
    const UINT at = parameters.cArgs - 1 - static_cast<UINT>(index);
    const HRESULT result = bridge::fromVariant(parameters.rgvarg[at], value);
    if (FAILED(result) && badArgument != nullptr) {
        *badArgument = at;
    }
    return result;
}

template <typename Result> HRESULT resultVariant(Result value, VARIANT* out) {
    if (out == nullptr) {
        return S_OK;
    }
    if constexpr (cnc::kIsControlObject<Result>) {
        // NewList may have no list to give: Nothing, as the control says it.
        IDispatch* object = nullptr;
        if (value && (object = newAutomationObject(std::move(value))) == nullptr) {
            return E_OUTOFMEMORY;
        }
        V_VT(out) = VT_DISPATCH;
        V_DISPATCH(out) = object;
        return S_OK;
    } else {
        return bridge::toVariant(value, *out);
    }
}

// The member called with the Invoke's arguments; a failure of the control is the exception of the
// call, with the control's error number and description.
template <typename Object, typename Result, typename... Parameters>
HRESULT perform(Object& object, Result (Object::*method)(Parameters...), const DISPPARAMS& parameters, VARIANT* result,
                EXCEPINFO* exception, UINT* badArgument) {
    if (parameters.cArgs != sizeof...(Parameters)) {
        return DISP_E_BADPARAMCOUNT;
    }
    std::tuple<std::remove_cvref_t<Parameters>...> arguments;
    HRESULT status = S_OK;
    [&]<std::size_t... index>(std::index_sequence<index...>) {
        ((status = SUCCEEDED(status) ? argument(parameters, index, std::get<index>(arguments), badArgument) : status),
         ...);
    }
    (std::index_sequence_for<Parameters...>{});
    if (FAILED(status)) {
        return status;
    }
    const auto call = [&object, method](auto&... values) { return (object.*method)(values...); };
    try {
        const std::lock_guard lock(simulatorLock());
        if constexpr (std::is_void_v<Result>) {
            std::apply(call, arguments);
            return S_OK;
        } else {
            return resultVariant(std::apply(call, arguments), result);
        }
    } catch (const platform::StationError& error) {
        bridge::raise(exception, error.number(), error.description(), kSource);
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// clang-format off
#define QUORLAN_STANDIN_MEMBER(code, object, operation, name, access, Result, method, ...) \
    Member<cnc::object>{bridge::dispatchName(name), Access::access, code, \
        [](cnc::object& target, const DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception, UINT* bad) { \
            return perform(target, &cnc::object::method, parameters, result, exception, bad); \
        }},
// clang-format on

template <typename Object> std::span<const Member<Object>> members();

template <> std::span<const Member<cnc::Application>> members() {
    static const Member<cnc::Application> table[] = {QUORLAN_APPLICATION_OPERATIONS(QUORLAN_STANDIN_MEMBER)};
    return table;
}

template <> std::span<const Member<cnc::ExeList>> members() {
    static const Member<cnc::ExeList> table[] = {QUORLAN_EXELIST_OPERATIONS(QUORLAN_STANDIN_MEMBER)};
    return table;
}

#undef QUORLAN_STANDIN_MEMBER

bool sameName(std::string_view name, const wchar_t* asked) {
    std::size_t i = 0;
    for (; i < name.size() && asked[i] != L'\0'; ++i) {
        const wchar_t a = asked[i] >= L'a' && asked[i] <= L'z' ? asked[i] - (L'a' - L'A') : asked[i];
        const char n = name[i] >= 'a' && name[i] <= 'z' ? static_cast<char>(name[i] - ('a' - 'A')) : name[i];
        if (a != static_cast<unsigned char>(n)) {
            return false;
        }
    }
    return i == name.size() && asked[i] == L'\0';
}

template <typename Object> const Member<Object>* memberNamed(const wchar_t* name) {
    for (const Member<Object>& member : members<Object>()) {
        if (sameName(member.name, name)) {
            return &member;
        }
    }
    return nullptr;
}

// The row that an Invoke of the DISPID means: the property's put for a put, else its get or the
// method (automation clients call a get as a method and a method as a get alike).
template <typename Object> const Member<Object>* memberInvoked(DISPID id, WORD flags) {
    const auto all = members<Object>();
    const Member<Object>* first = nullptr;
    for (const Member<Object>& member : all) {
        first = member.code == id ? &member : first;
    }
    if (first == nullptr) {
        return nullptr;
    }
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool get = (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
    for (const Member<Object>& member : all) {
        if (member.name == first->name &&
            ((put && member.access == Access::Put) || (get && member.access != Access::Put))) {
            return &member;
        }
    }
    return nullptr;
}

template <typename Object> class Automation final : public IDispatch {
public:
    explicit Automation(std::shared_ptr<Object> object) : m_object(std::move(object)) { holdServer(); }
    ~Automation() { releaseServer(); }
    Automation(const Automation&) = delete;
    Automation& operator=(const Automation&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        // Late binding only: the control's own dual interfaces are not served here.
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return DISP_E_BADINDEX;
    }
    // The member's name only: its parameters have no names to be asked by.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (names == nullptr || ids == nullptr) {
            return E_POINTER;
        }
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
        }
        if (count == 0) {
            return S_OK;
        }
        const Member<Object>* member = memberNamed<Object>(names[0]);
        if (member != nullptr) {
            ids[0] = member->code;
        }
        return member != nullptr && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT* badArgument) override {
        static DISPPARAMS none{nullptr, nullptr, 0, 0};
        const DISPPARAMS& given = parameters != nullptr ? *parameters : none;
        const Member<Object>* member = memberInvoked<Object>(id, flags);
        if (member == nullptr) {
            return DISP_E_MEMBERNOTFOUND;
        }
        // A put names its value DISPID_PROPERTYPUT; nothing else takes named arguments.
        const bool put = member->access == Access::Put;
        const bool namedRight =
            put ? given.cNamedArgs == 1 && given.rgdispidNamedArgs[0] == DISPID_PROPERTYPUT : given.cNamedArgs == 0;
        if (!namedRight) {
            return put ? DISP_E_PARAMNOTOPTIONAL : DISP_E_NONAMEDARGS;
        }
        if (result != nullptr) {
            VariantInit(result);
        }
        return member->invoke(*m_object, given, put ? nullptr : result, exception, badArgument);
    }

private:
    std::shared_ptr<Object> m_object;
    LONG m_references = 1;
};

template <typename Object> IDispatch* newObject(std::shared_ptr<Object> object) {
    return new (std::nothrow) Automation<Object>(std::move(object));
}

} // namespace

IDispatch* newAutomationObject(std::shared_ptr<cnc::Application> application) {
    return newObject(std::move(application));
}

IDispatch* newAutomationObject(std::shared_ptr<cnc::ExeList> list) {
    return newObject(std::move(list));
}

} // namespace quorlan::standin
