// A reader driver for the bridge's tests, built as libnusquel.so in a folder of its own. It
// records each call and does what the test steers it to do; the Java class NusquelRecorder
// steers it and reads the record back through the native methods at the end of this file.
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "JniName.h"
#include "NusquelEntries.h"

namespace {

enum Entry : std::int32_t { kStart = 1, kCancel = 2, kCollect = 3, kSync = 4 };

struct Steering {
    std::int32_t result = 0;
    std::int32_t fillCount = 0;  // bytes written at the start of the buffer
    unsigned char fillByte = 0;
    std::int32_t writeBack = 0;  // written through the address of an int argument
};

struct Call {
    std::int32_t entry = 0;
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t bufferWasClear = 0;  // the bytes about to be filled were all 0 on entry
    std::int32_t calls = 0;           // calls of any entry so far
};

std::mutex recordMutex;
Steering steering;
Call lastCall;
std::int32_t calls = 0;

// Records the call, fills the buffer as steered, and hands back the steering for the rest.
Steering record(std::int32_t entry, std::int32_t a, std::int32_t b, unsigned char* buffer) {
    const std::lock_guard lock(recordMutex);
    lastCall = {entry, a, b, 0, ++calls};
    if (buffer != nullptr) {
        unsigned char* end = buffer + steering.fillCount;
        lastCall.bufferWasClear = std::all_of(buffer, end, [](unsigned char c) { return c == 0; });
        std::fill(buffer, end, steering.fillByte);
    }
    return steering;
}

}  // namespace

extern "C" {

JNIEXPORT std::int32_t NUSQUEL_CALL WinStartLeAssincronoDq4Hn(std::int32_t a, std::int32_t* b) {
    const Steering s = record(kStart, a, *b, nullptr);
    *b = s.writeBack;
    return s.result;
}

JNIEXPORT std::int32_t NUSQUEL_CALL WinCancelaLeituraDq4Hn() {
    return record(kCancel, 0, 0, nullptr).result;
}

JNIEXPORT std::int32_t NUSQUEL_CALL WinLeAssincronoDq4Hn(std::int32_t* a, unsigned char* buffer) {
    const Steering s = record(kCollect, *a, 0, buffer);
    *a = s.writeBack;
    return s.result;
}

JNIEXPORT std::int32_t NUSQUEL_CALL WinLeSincronoDq4Hn(std::int32_t a, std::int32_t* b,
                                                       unsigned char* buffer) {
    const Steering s = record(kSync, a, *b, buffer);
    *b = s.writeBack;
    return s.result;
}

JNIEXPORT void JNICALL JNI_NAME(NUSQUEL_RECORDER_JNI_PREFIX, steer)(
    JNIEnv*, jclass, jint result, jint fillCount, jint fillByte, jint writeBack) {
    const std::lock_guard lock(recordMutex);
    steering = {result, fillCount, static_cast<unsigned char>(fillByte), writeBack};
}

JNIEXPORT jintArray JNICALL JNI_NAME(NUSQUEL_RECORDER_JNI_PREFIX, lastCall)(JNIEnv* env, jclass) {
    Call call;
    {
        const std::lock_guard lock(recordMutex);
        call = lastCall;
        call.calls = calls;
    }
    const jint values[] = {call.entry, call.a, call.b, call.bufferWasClear, call.calls};
    const jsize count = sizeof values / sizeof values[0];
    jintArray array = env->NewIntArray(count);
    if (array != nullptr) env->SetIntArrayRegion(array, 0, count, values);
    return array;
}

}  // extern "C"
