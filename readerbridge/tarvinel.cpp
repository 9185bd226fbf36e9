// tarvinel: the native methods of the Java class tarvinel. Each forwards its call to the reader
// driver library and returns the driver's result unchanged. The bridge keeps no state and takes
// no lock: every call loads the driver by name (the platform keeps the one loaded copy), resolves
// its entry and calls it on the caller's thread.
#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "DynamicLibrary.h"
#include "JniName.h"
#include "NusquelEntries.h"

#ifndef TARVINEL_JNI_PREFIX
#error "TARVINEL_JNI_PREFIX names the Java class (set by CMake from TARVINEL_JAVA_PACKAGE)"
#endif

namespace tarvinel {
namespace {

// Leaves a Java exception pending; the native returns at once afterwards.
void throwJava(JNIEnv* env, const char* className, const char* message) {
    jclass type = env->FindClass(className);
    if (type == nullptr) return;  // FindClass has left its own exception pending
    env->ThrowNew(type, message);
    env->DeleteLocalRef(type);
}

// The driver's entry `entryName`, or null with an UnsatisfiedLinkError pending that names the
// library or the entry.
template <typename Entry>
Entry driverEntry(JNIEnv* env, const char* entryName) {
    char fileName[64];
    kervale::platform::libraryFileName(kDriverBaseName, fileName, sizeof fileName);
    char message[160];
    void* library = kervale::platform::loadLibrary(fileName);
    if (library == nullptr) {
        std::snprintf(message, sizeof message, "reader driver %s cannot be loaded", fileName);
        throwJava(env, "java/lang/UnsatisfiedLinkError", message);
        return nullptr;
    }
    void* entry = kervale::platform::resolveEntry(library, entryName);
    if (entry == nullptr) {
        std::snprintf(message, sizeof message, "reader driver %s has no entry %s", fileName,
                      entryName);
        throwJava(env, "java/lang/UnsatisfiedLinkError", message);
        return nullptr;
    }
    return reinterpret_cast<Entry>(entry);
}

// A reading call: `read(entry, buffer)` fills a buffer of the array's length, which then
// overwrites the whole array, whatever the driver's result. The buffer starts cleared, so bytes
// the driver leaves alone come back as zeros rather than stale process memory, and it is released
// when the call ends: a driver must not keep its address.
template <typename Entry, typename Read>
jint readIntoArray(JNIEnv* env, jbyteArray array, const char* entryName, Read read) {
    if (array == nullptr) {
        throwJava(env, "java/lang/NullPointerException", "the array for the bytes read is null");
        return 0;
    }
    const Entry entry = driverEntry<Entry>(env, entryName);
    if (entry == nullptr) return 0;
    const jsize length = env->GetArrayLength(array);
    std::vector<unsigned char> buffer;
    try {
        // One byte at least, so that the driver is handed a valid address even for an empty array.
        buffer.assign(length > 0 ? static_cast<std::size_t>(length) : 1, 0);
    } catch (const std::bad_alloc&) {
        throwJava(env, "java/lang/OutOfMemoryError", "no memory for the read buffer");
        return 0;
    }
    const std::int32_t result = read(entry, buffer.data());
    env->SetByteArrayRegion(array, 0, length, reinterpret_cast<const jbyte*>(buffer.data()));
    return result;
}

}  // namespace
}  // namespace tarvinel

// Integer arguments that the driver receives by address point at local copies: whatever the
// driver writes there stays here.
extern "C" {

JNIEXPORT jint JNICALL JNI_NAME(TARVINEL_JNI_PREFIX, winStartLeAssincronoDQ4HN)(
    JNIEnv* env, jobject, jint a, jint b) {
    const auto start = tarvinel::driverEntry<tarvinel::StartRead>(env, tarvinel::kStartReadEntry);
    if (start == nullptr) return 0;
    std::int32_t bCopy = b;
    return start(a, &bCopy);
}

JNIEXPORT jint JNICALL JNI_NAME(TARVINEL_JNI_PREFIX, winCancelaLeituraDQ4HN)(JNIEnv* env, jobject) {
    const auto cancel =
        tarvinel::driverEntry<tarvinel::CancelRead>(env, tarvinel::kCancelReadEntry);
    if (cancel == nullptr) return 0;
    return cancel();
}

JNIEXPORT jint JNICALL JNI_NAME(TARVINEL_JNI_PREFIX, winLeAssincronoDQ4HN)(
    JNIEnv* env, jobject, jint a, jbyteArray array) {
    return tarvinel::readIntoArray<tarvinel::CollectRead>(
        env, array, tarvinel::kCollectReadEntry,
        [a](tarvinel::CollectRead collect, unsigned char* buffer) {
            std::int32_t aCopy = a;
            return collect(&aCopy, buffer);
        });
}

JNIEXPORT jint JNICALL JNI_NAME(TARVINEL_JNI_PREFIX, winLeSincronoDQ4HN)(
    JNIEnv* env, jobject, jint a, jint b, jbyteArray array) {
    return tarvinel::readIntoArray<tarvinel::SyncRead>(
        env, array, tarvinel::kSyncReadEntry,
        [a, b](tarvinel::SyncRead read, unsigned char* buffer) {
            std::int32_t bCopy = b;
            return read(a, &bCopy, buffer);
        });
}

}  // extern "C"
