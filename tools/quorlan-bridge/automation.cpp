#include "automation.h"

#include "platform/cp1252.h"
#include "platform/error.h"

#include <cstdio>
#include <limits>

namespace quorlan::bridge {

namespace {

using platform::errc::kAutomation;

bool isHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(wchar_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The value converted as automation converts it, to the type wanted.
template <typename Read> HRESULT converted(const VARIANT& in, VARTYPE type, Read&& read) {
    Variant value;
    const HRESULT result = VariantChangeType(value.get(), const_cast<VARIANT*>(&in), 0, type);
    if (FAILED(result)) {
        return result;
    }
    read(*value);
    return S_OK;
}

std::string hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// What Windows says of a failure code, or nothing.
std::string systemText(HRESULT result) {
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::string text = length == 0 ? std::string() : fromWide(std::wstring_view(message, length));
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

int errorNumberOf(HRESULT result) {
    if (HRESULT_FACILITY(result) == FACILITY_CONTROL) {
        return HRESULT_CODE(result);
    }
    switch (result) {
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        return platform::errc::kNoSuchMethod;
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
        return platform::errc::kWrongArguments;
    case DISP_E_TYPEMISMATCH:
        return platform::errc::kTypeMismatch;
    case DISP_E_OVERFLOW:
        return platform::errc::kOverflow;
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
    case CO_E_SERVER_EXEC_FAILURE:
    case CO_E_APPNOTFOUND:
        return platform::errc::kCannotCreateObject;
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        return platform::errc::kServerUnavailable;
    default:
        return kAutomation;
    }
}

std::string bstrText(BSTR text) {
    return text == nullptr ? std::string() : fromWide(std::wstring_view(text, SysStringLen(text)));
}

} // namespace

std::wstring toWide(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char byte : text) {
        wide += static_cast<wchar_t>(platform::cp1252CodePoint(static_cast<unsigned char>(byte)));
    }
    return wide;
}

std::string fromWide(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A character beyond the first 65536 takes two units, and the code page has none of them.
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
            bytes += '?';
        } else {
            bytes += platform::cp1252Byte(static_cast<char32_t>(text[i])).value_or('?');
        }
    }
    return bytes;
}

BSTR newBstr(std::string_view text) {
    const std::wstring wide = toWide(text);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

HRESULT toVariant(bool value, VARIANT& out) {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT toVariant(std::int16_t value, VARIANT& out) {
    V_VT(&out) = VT_I2;
    V_I2(&out) = value;
    return S_OK;
}

HRESULT toVariant(std::int32_t value, VARIANT& out) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = value;
    return S_OK;
}

HRESULT toVariant(std::string_view value, VARIANT& out) {
    BSTR text = newBstr(value);
    if (text == nullptr) {
        return E_OUTOFMEMORY;
    }
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = text;
    return S_OK;
}

HRESULT toVariant(const std::vector<std::string>& value, VARIANT& out) {
    if (value.size() > std::numeric_limits<ULONG>::max()) {
        return E_OUTOFMEMORY;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(value.size()));
    if (array == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (LONG index = 0; index < static_cast<LONG>(value.size()); ++index) {
        BSTR text = newBstr(value[static_cast<std::size_t>(index)]);
        // The array keeps a copy of the text.
        const HRESULT result = text == nullptr ? E_OUTOFMEMORY : SafeArrayPutElement(array, &index, text);
        SysFreeString(text);
        if (FAILED(result)) {
            SafeArrayDestroy(array);
            return result;
        }
    }
    V_VT(&out) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&out) = array;
    return S_OK;
}

HRESULT fromVariant(const VARIANT& in, bool& value) {
    return converted(in, VT_BOOL, [&value](const VARIANT& v) { value = V_BOOL(&v) != VARIANT_FALSE; });
}

HRESULT fromVariant(const VARIANT& in, std::int16_t& value) {
    return converted(in, VT_I2, [&value](const VARIANT& v) { value = V_I2(&v); });
}

HRESULT fromVariant(const VARIANT& in, std::int32_t& value) {
    return converted(in, VT_I4, [&value](const VARIANT& v) { value = V_I4(&v); });
}

HRESULT fromVariant(const VARIANT& in, std::string& value) {
    return converted(in, VT_BSTR, [&value](const VARIANT& v) { value = bstrText(V_BSTR(&v)); });
}

HRESULT fromVariant(const VARIANT& in, std::vector<std::string>& value) {
    const VARTYPE element = V_VT(&in) & VT_TYPEMASK;
    if ((V_VT(&in) & VT_ARRAY) == 0 || (element != VT_BSTR && element != VT_VARIANT)) {
        return DISP_E_TYPEMISMATCH;
    }
    SAFEARRAY* array = (V_VT(&in) & VT_BYREF) != 0 ? *V_ARRAYREF(&in) : V_ARRAY(&in);
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        return DISP_E_TYPEMISMATCH;
    }
    std::vector<std::string> texts;
    for (LONG index = lower; index <= upper; ++index) {
        Variant item;
        HRESULT result = S_OK;
        if (element == VT_BSTR) {
            BSTR text = nullptr;
            result = SafeArrayGetElement(array, &index, &text);
            V_VT(item.get()) = VT_BSTR;
            V_BSTR(item.get()) = text;
        } else {
            result = SafeArrayGetElement(array, &index, item.get());
        }
        std::string text;
        if (FAILED(result) || FAILED(result = fromVariant(*item, text))) {
            return result;
        }
        texts.push_back(std::move(text));
    }
    value = std::move(texts);
    return S_OK;
}

HRESULT errorResult(int number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFF);
}

void raise(EXCEPINFO* exception, int number, std::string_view description, std::string_view source) {
    if (exception == nullptr) {
        return;
    }
    *exception = EXCEPINFO{};
    exception->scode = errorResult(number);
    exception->bstrDescription = newBstr(description);
    exception->bstrSource = newBstr(source);
}

Failure failureOf(HRESULT result, const EXCEPINFO* exception) {
    if (result == DISP_E_EXCEPTION && exception != nullptr) {
        const int number = exception->wCode != 0 ? exception->wCode : errorNumberOf(exception->scode);
        std::string description = bstrText(exception->bstrDescription);
        if (description.empty()) {
            description = number == kAutomation ? "the control's server failed the call (" + hex(exception->scode) + ")"
                                                : platform::describeError(number);
        }
        return {number, description};
    }
    const int number = errorNumberOf(result);
    const std::string text = systemText(result);
    return {number, (text.empty() ? "the control's server failed the call" : text) + " (" + hex(result) + ")"};
}

} // namespace quorlan::bridge
