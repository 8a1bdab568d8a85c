#pragma once
// Sonvel, Orvane's audio engine: the Wave control, its devices, codecs and
// files. A host that links libsonvel.so uses wave.h (and sonvel_host.h for
// what it implements or feeds); a host that loads it at run time (dlopen)
// finds the class through the component registry and the four entry points
// below, which keep the binary layout of their Windows counterparts. These
// public headers include only each other and the standard library.

#include <cstdint>

#include "sonvel_api.h"

namespace sonvel {

// The library's version text, e.g. "1.1.0"; lets a host check which
// engine it loaded through its run path.
SONVEL_API const char* Version();

}  // namespace sonvel

extern "C" {

// A GUID in the platform's binary layout.
struct SonvelGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// Result codes, with the platform's numbers.
enum : int32_t {
    kSonvelOk = 0,                                                   // S_OK
    kSonvelFalse = 1,                                                // S_FALSE
    kSonvelNoInterface = static_cast<int32_t>(0x80004002u),          // E_NOINTERFACE
    kSonvelPointer = static_cast<int32_t>(0x80004003u),              // E_POINTER
    kSonvelOutOfMemory = static_cast<int32_t>(0x8007000Eu),          // E_OUTOFMEMORY
    kSonvelNoAggregation = static_cast<int32_t>(0x80040110u),        // CLASS_E_NOAGGREGATION
    kSonvelClassNotAvailable = static_cast<int32_t>(0x80040111u),    // CLASS_E_CLASSNOTAVAILABLE
    kSonvelRegisterClassFailed = static_cast<int32_t>(0x80040201u),  // SELFREG_E_CLASS
};

// The class "Sonvel.Wave" and the interfaces the factory hands out.
extern SONVEL_API const SonvelGuid kSonvelWaveClassId;
extern SONVEL_API const SonvelGuid kSonvelUnknownInterfaceId;       // IUnknown
extern SONVEL_API const SonvelGuid kSonvelClassFactoryInterfaceId;  // IClassFactory
extern SONVEL_API const SonvelGuid kSonvelWaveInterfaceId;          // _Wave

// An object counted by references, laid out as the platform's interfaces are:
// a pointer to a table of functions whose first entry takes the object.
struct SonvelUnknown;
struct SonvelUnknownVtbl {
    int32_t (*QueryInterface)(SonvelUnknown* self, const SonvelGuid* iid, void** object);
    uint32_t (*AddRef)(SonvelUnknown* self);
    uint32_t (*Release)(SonvelUnknown* self);
};
struct SonvelUnknown {
    const SonvelUnknownVtbl* vtbl;
};

struct SonvelClassFactory;
struct SonvelClassFactoryVtbl {
    int32_t (*QueryInterface)(SonvelClassFactory* self, const SonvelGuid* iid, void** object);
    uint32_t (*AddRef)(SonvelClassFactory* self);
    uint32_t (*Release)(SonvelClassFactory* self);
    // `outer` must be null. For kSonvelWaveInterfaceId the result is a
    // SonvelWaveObject; for IUnknown, the same object as a SonvelUnknown.
    int32_t (*CreateInstance)(SonvelClassFactory* self, SonvelUnknown* outer, const SonvelGuid* iid,
                              void** object);
    int32_t (*LockServer)(SonvelClassFactory* self, int32_t lock);
};
struct SonvelClassFactory {
    const SonvelClassFactoryVtbl* vtbl;
};

// A Wave made by the factory: its references and the control itself, which
// the host sites on its window (Wave::SetWindow) before InitC.
struct SonvelWaveObject {
    const SonvelUnknownVtbl* vtbl;
    void* wave;  // a sonvel::Wave*
};

// Writes the class entries ("Sonvel.Wave", its CLSID, the library's path)
// into the HKEY_CLASSES_ROOT hive of the user's settings store.
SONVEL_API int32_t DllRegisterServer(void);
// Removes them; other classes' entries stay.
SONVEL_API int32_t DllUnregisterServer(void);
// The class factory of `classId`, as interface `interfaceId`.
SONVEL_API int32_t DllGetClassObject(const SonvelGuid* classId, const SonvelGuid* interfaceId,
                                     void** object);
// kSonvelOk when no object made by the factory lives and no lock is held.
SONVEL_API int32_t DllCanUnloadNow(void);

}  // extern "C"
