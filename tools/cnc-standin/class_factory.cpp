#include "class_factory.h"

#include "automation.h"
#include "automation_object.h"
#include "platform/error.h"
#include "server_state.h"

namespace quorlan::standin {

namespace {

// Creates the object as the simulated control's factory does, so that the journal reads
// "CreateApplication" and "CreateObject Koridan.ExeList" as with cnc-sim.
using Create = IDispatch* (*)();

IDispatch* createApplication() {
    const std::lock_guard lock(simulatorLock());
    return newAutomationObject(simulator().createApplication());
}

IDispatch* createList() {
    const std::lock_guard lock(simulatorLock());
    return newAutomationObject(simulator().createObject(cnc::kExeListProgId));
}

class ClassObject final : public IClassFactory {
public:
    explicit ClassObject(Create create) : m_create(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        IDispatch* object = nullptr;
        try {
            object = m_create();
        } catch (const platform::StationError& error) {
            // No exception information travels with a creation: the number alone says what failed.
            return bridge::errorResult(error.number());
        } catch (...) {
            return E_UNEXPECTED;
        }
        if (object == nullptr) {
            return E_OUTOFMEMORY;
        }
        const HRESULT result = object->QueryInterface(iid, out);
        object->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            holdServer();
        } else {
            releaseServer();
        }
        return S_OK;
    }

private:
    Create m_create;
};

} // namespace

IClassFactory* classObject(REFCLSID classId) {
    static ClassObject application(createApplication);
    static ClassObject list(createList);
    if (IsEqualCLSID(classId, kApplicationClass)) {
        return &application;
    }
    if (IsEqualCLSID(classId, kExeListClass)) {
        return &list;
    }
    return nullptr;
}

} // namespace quorlan::standin
