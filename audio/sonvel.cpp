#include "audio/sonvel.h"

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "audio/base/version.h"
#include "audio/registration/class_registry.h"
#include "audio/wave/wave.h"

namespace sonvel {

const char* Version() {
    return EngineVersion();
}

}  // namespace sonvel

extern "C" {

const SonvelGuid kSonvelWaveClassId = {
    0xbb8ad211, 0xe684, 0x4e22, {0xa2, 0xd8, 0x2d, 0x89, 0xd6, 0x1f, 0x77, 0x2f}};
const SonvelGuid kSonvelUnknownInterfaceId = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const SonvelGuid kSonvelClassFactoryInterfaceId = {
    0x00000001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const SonvelGuid kSonvelWaveInterfaceId = {
    0x38654ac2, 0x9e71, 0x4817, {0xab, 0x1e, 0x10, 0x65, 0x46, 0x2e, 0xa1, 0x74}};

}  // extern "C"

namespace {

constexpr const char* kProgId = "Sonvel.Wave";
constexpr const char* kDescription = "Sonvel Wave control";

// Objects made by the factory plus server locks: the library may be unloaded
// only when both are zero.
std::atomic<int64_t> liveObjects{0};
std::atomic<int64_t> serverLocks{0};

bool SameGuid(const SonvelGuid* a, const SonvelGuid& b) {
    return a != nullptr && std::memcmp(a, &b, sizeof b) == 0;
}

std::string GuidText(const SonvelGuid& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.data1, guid.data2, guid.data3, guid.data4[0], guid.data4[1], guid.data4[2],
                  guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return text;
}

// An object of the library's own: an exported one may be copied into the
// host's executable at link time, and would name the host.
const char kLocalAnchor = 0;

// Where this library was loaded from, for the in-process server entry.
std::string LibraryPath() {
    Dl_info info{};
    if (::dladdr(&kLocalAnchor, &info) == 0 || info.dli_fname == nullptr ||
        info.dli_fname[0] != '/') {
        return {};
    }
    // The name the loader used (the versioned soname), not the file it
    // points to, so an update of the library keeps the entry valid.
    return info.dli_fname;
}

std::vector<sonvel::RegistryKeyEntry> ClassEntries(const std::string& library) {
    const std::string clsid = GuidText(kSonvelWaveClassId);
    const std::string classKey = "CLSID\\" + clsid;
    return {
        {kProgId, {{"", kDescription}}},
        {std::string(kProgId) + "\\CLSID", {{"", clsid}}},
        {classKey, {{"", kDescription}}},
        {classKey + "\\InprocServer32", {{"", library}, {"ThreadingModel", "Apartment"}}},
        {classKey + "\\ProgID", {{"", kProgId}}},
        {classKey + "\\Version", {{"", "1.1"}}},
    };
}

// ---- The Wave object made by the factory ----

struct WaveObject {
    SonvelWaveObject face;
    std::atomic<uint32_t> references{1};
};

WaveObject* AsWaveObject(SonvelUnknown* self) {
    return reinterpret_cast<WaveObject*>(self);
}

uint32_t WaveAddRef(SonvelUnknown* self) {
    return ++AsWaveObject(self)->references;
}

uint32_t WaveRelease(SonvelUnknown* self) {
    WaveObject* object = AsWaveObject(self);
    const uint32_t left = --object->references;
    if (left == 0) {
        delete static_cast<sonvel::Wave*>(object->face.wave);
        delete object;
        --liveObjects;
    }
    return left;
}

int32_t WaveQueryInterface(SonvelUnknown* self, const SonvelGuid* iid, void** object) {
    if (object == nullptr) {
        return kSonvelPointer;
    }
    *object = nullptr;
    if (!SameGuid(iid, kSonvelUnknownInterfaceId) && !SameGuid(iid, kSonvelWaveInterfaceId)) {
        return kSonvelNoInterface;
    }
    WaveAddRef(self);
    *object = self;
    return kSonvelOk;
}

const SonvelUnknownVtbl kWaveVtbl = {WaveQueryInterface, WaveAddRef, WaveRelease};

// ---- The class factory: one static object, counted as a server lock ----

int32_t FactoryQueryInterface(SonvelClassFactory* self, const SonvelGuid* iid, void** object);

uint32_t FactoryAddRef(SonvelClassFactory* /*self*/) {
    return static_cast<uint32_t>(++serverLocks);
}

uint32_t FactoryRelease(SonvelClassFactory* /*self*/) {
    return static_cast<uint32_t>(--serverLocks);
}

int32_t FactoryCreateInstance(SonvelClassFactory* /*self*/, SonvelUnknown* outer,
                              const SonvelGuid* iid, void** object) {
    if (object == nullptr) {
        return kSonvelPointer;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return kSonvelNoAggregation;
    }
    if (!SameGuid(iid, kSonvelUnknownInterfaceId) && !SameGuid(iid, kSonvelWaveInterfaceId)) {
        return kSonvelNoInterface;
    }
    auto* made = new (std::nothrow) WaveObject;
    if (made == nullptr) {
        return kSonvelOutOfMemory;
    }
    made->face.vtbl = &kWaveVtbl;
    made->face.wave = new (std::nothrow) sonvel::Wave(nullptr);
    if (made->face.wave == nullptr) {
        delete made;
        return kSonvelOutOfMemory;
    }
    ++liveObjects;
    *object = &made->face;
    return kSonvelOk;
}

int32_t FactoryLockServer(SonvelClassFactory* /*self*/, int32_t lock) {
    if (lock != 0) {
        ++serverLocks;
    } else {
        --serverLocks;
    }
    return kSonvelOk;
}

const SonvelClassFactoryVtbl kFactoryVtbl = {FactoryQueryInterface, FactoryAddRef, FactoryRelease,
                                             FactoryCreateInstance, FactoryLockServer};
SonvelClassFactory factory = {&kFactoryVtbl};

int32_t FactoryQueryInterface(SonvelClassFactory* self, const SonvelGuid* iid, void** object) {
    if (object == nullptr) {
        return kSonvelPointer;
    }
    *object = nullptr;
    if (!SameGuid(iid, kSonvelUnknownInterfaceId) &&
        !SameGuid(iid, kSonvelClassFactoryInterfaceId)) {
        return kSonvelNoInterface;
    }
    FactoryAddRef(self);
    *object = self;
    return kSonvelOk;
}

}  // namespace

extern "C" {

int32_t DllRegisterServer(void) {
    const std::string library = LibraryPath();
    if (library.empty()) {
        return kSonvelRegisterClassFailed;
    }
    return sonvel::WriteClassKeys(sonvel::ClassesHivePath(), ClassEntries(library)) == 0
               ? kSonvelOk
               : kSonvelRegisterClassFailed;
}

int32_t DllUnregisterServer(void) {
    std::vector<std::string> keys;
    for (const sonvel::RegistryKeyEntry& entry : ClassEntries({})) {
        keys.push_back(entry.path);
    }
    return sonvel::RemoveClassKeys(sonvel::ClassesHivePath(), keys) == 0
               ? kSonvelOk
               : kSonvelRegisterClassFailed;
}

int32_t DllGetClassObject(const SonvelGuid* classId, const SonvelGuid* interfaceId, void** object) {
    if (object == nullptr) {
        return kSonvelPointer;
    }
    *object = nullptr;
    if (!SameGuid(classId, kSonvelWaveClassId)) {
        return kSonvelClassNotAvailable;
    }
    return FactoryQueryInterface(&factory, interfaceId, object);
}

int32_t DllCanUnloadNow(void) {
    return liveObjects.load() == 0 && serverLocks.load() == 0 ? kSonvelOk : kSonvelFalse;
}

}  // extern "C"
