// What both ends of an automation call need: the control's members as IDispatch names them, the
// station's values as VARIANTs and back, and the station's error numbers as COM reports them. The
// bridge calls the control's server with these; the stand-in for that server answers with them.
#pragma once

#include "cnc/control_operations.h"

#include <ole2.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include <windows.h>

namespace quorlan::bridge {

// Holds one reference to a COM object and lets it go at the end.
template <typename Interface> class ComPtr {
public:
    ComPtr() = default;
    // Takes over a reference the caller holds.
    explicit ComPtr(Interface* object) : m_object(object) {}
    ComPtr(const ComPtr& other) : m_object(other.m_object) {
        if (m_object != nullptr) {
            m_object->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }
    ~ComPtr() {
        if (m_object != nullptr) {
            m_object->Release();
        }
    }

    Interface* get() const { return m_object; }
    Interface* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // For a call that hands out a reference: void** as CoCreateInstance and QueryInterface take it.
    void** out() {
        *this = ComPtr();
        return reinterpret_cast<void**>(&m_object);
    }

private:
    Interface* m_object = nullptr;
};

// A VARIANT that clears itself.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &m_value; }
    const VARIANT& operator*() const { return m_value; }

private:
    VARIANT m_value;
};

// The member's name as the object's IDispatch knows it: the table's name without the object's
// prefix ("Application.Visible" is the application's "Visible").
constexpr std::string_view dispatchName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

// The station's single-byte text (Windows-1252) as UTF-16 and back; a character the code page
// cannot write becomes "?".
std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);
// A new BSTR, or null when out of memory.
BSTR newBstr(std::string_view text);

// A member's arguments and results as VARIANTs. The values the interfaces take and give (Booleans,
// 16- and 32-bit integers, texts, lists of texts) go into a VARIANT of their own type; coming
// out, a VARIANT of another type is converted as automation converts it (VariantChangeType), so
// that a caller that passes a number as text is served as by the real control. Each conversion
// returns the HRESULT of a failed one (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, E_OUTOFMEMORY).
HRESULT toVariant(bool value, VARIANT& out);
HRESULT toVariant(std::int16_t value, VARIANT& out);
HRESULT toVariant(std::int32_t value, VARIANT& out);
HRESULT toVariant(std::string_view value, VARIANT& out);
HRESULT toVariant(const std::vector<std::string>& value, VARIANT& out);
HRESULT fromVariant(const VARIANT& in, bool& value);
HRESULT fromVariant(const VARIANT& in, std::int16_t& value);
HRESULT fromVariant(const VARIANT& in, std::int32_t& value);
HRESULT fromVariant(const VARIANT& in, std::string& value);
HRESULT fromVariant(const VARIANT& in, std::vector<std::string>& value);

// A station's error number as an automation server raises it: the HRESULT of a run-time error
// (facility FACILITY_CONTROL, the number as its code), as servers written in the control's own
// language do, so that their callers read the same number back.
HRESULT errorResult(int number);
// Fills the exception of a failed Invoke; the number comes back from errorNumber.
void raise(EXCEPINFO* exception, int number, std::string_view description, std::string_view source);

struct Failure {
    int number;
    std::string description;
};
// What a failed call means to the station: the error number a run-time error carries, or the one
// its callers know for the COM failure (a member that does not exist, a server that is gone...),
// and a description for the operator. exception is the Invoke's, for DISP_E_EXCEPTION.
Failure failureOf(HRESULT result, const EXCEPINFO* exception = nullptr);

} // namespace quorlan::bridge
