// tarvinel.dll under Wine: its natives, found by the names it exports, called as the Java virtual
// machine would (with a small stand-in for the JNI environment), load nusquel.dll by name and
// forward to the driver simulator.
#include <jni.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A Java byte array, and the parts of the JNI environment that the bridge uses.
struct ByteArray : _jbyteArray {
    std::vector<jbyte> bytes;
};

struct Thrown : _jclass {
    std::string className;
    std::string message;
};
Thrown thrown;

jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
    return static_cast<jsize>(static_cast<ByteArray*>(array)->bytes.size());
}

void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                const jbyte* from) {
    std::vector<jbyte>& bytes = static_cast<ByteArray*>(array)->bytes;
    for (jsize i = 0; i < length; ++i) bytes.at(static_cast<std::size_t>(start + i)) = from[i];
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    thrown.className = name;
    return &thrown;
}

jint JNICALL throwNew(JNIEnv*, jclass, const char* message) {
    thrown.message = message;
    return 0;
}

void JNICALL deleteLocalRef(JNIEnv*, jobject) {}

using StartRead = jint(JNICALL*)(JNIEnv*, jobject, jint, jint);
using CancelRead = jint(JNICALL*)(JNIEnv*, jobject);
using CollectRead = jint(JNICALL*)(JNIEnv*, jobject, jint, jbyteArray);
using SyncRead = jint(JNICALL*)(JNIEnv*, jobject, jint, jint, jbyteArray);

class BridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        functions.GetArrayLength = &getArrayLength;
        functions.SetByteArrayRegion = &setByteArrayRegion;
        functions.FindClass = &findClass;
        functions.ThrowNew = &throwNew;
        functions.DeleteLocalRef = &deleteLocalRef;
        env.functions = &functions;
        thrown = Thrown{};
        bridge = ::LoadLibraryA("tarvinel.dll");
        ASSERT_NE(bridge, nullptr);
        start = entry<StartRead>(TARVINEL_EXPORT_winStartLeAssincronoDQ4HN);
        cancel = entry<CancelRead>(TARVINEL_EXPORT_winCancelaLeituraDQ4HN);
        collect = entry<CollectRead>(TARVINEL_EXPORT_winLeAssincronoDQ4HN);
        sync = entry<SyncRead>(TARVINEL_EXPORT_winLeSincronoDQ4HN);
    }

    template <typename Entry>
    Entry entry(const char* name) {
        void* address = reinterpret_cast<void*>(::GetProcAddress(bridge, name));
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<Entry>(address);
    }

    static ByteArray array(std::size_t size, jbyte fill) {
        ByteArray a;
        a.bytes.assign(size, fill);
        return a;
    }

    // The simulator's bytes: byte i of a read on `port` is port * 7 + i.
    static std::vector<jbyte> pattern(int port, int length, std::size_t size) {
        std::vector<jbyte> bytes(size, 0);
        for (int i = 0; i < length; ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<jbyte>(port * 7 + i);
        return bytes;
    }

    JNINativeInterface_ functions{};
    JNIEnv env{};
    jobject receiver = nullptr;
    HMODULE bridge = nullptr;
    StartRead start = nullptr;
    CancelRead cancel = nullptr;
    CollectRead collect = nullptr;
    SyncRead sync = nullptr;
};

TEST_F(BridgeTest, ASynchronousReadOverwritesTheWholeArray) {
    ByteArray bytes = array(8, 0x55);
    EXPECT_EQ(sync(&env, receiver, 3, 5, &bytes), 5);
    EXPECT_EQ(bytes.bytes, pattern(3, 5, 8));

    ByteArray untouched = array(4, 0x55);
    EXPECT_EQ(sync(&env, receiver, 3, 70000, &untouched), -2) << "the driver's result, unchanged";
    EXPECT_EQ(untouched.bytes, std::vector<jbyte>(4, 0)) << "the cleared buffer comes back";
    EXPECT_TRUE(thrown.className.empty());
}

TEST_F(BridgeTest, AStartedReadIsCollectedOnceOrCancelled) {
    EXPECT_EQ(start(&env, receiver, 2, 4), 0);
    ByteArray bytes = array(6, 0x55);
    EXPECT_EQ(collect(&env, receiver, 2, &bytes), 4);
    EXPECT_EQ(bytes.bytes, pattern(2, 4, 6));
    EXPECT_EQ(collect(&env, receiver, 2, &bytes), -1);
    EXPECT_EQ(cancel(&env, receiver), -1);
    EXPECT_EQ(start(&env, receiver, 2, 4), 0);
    EXPECT_EQ(cancel(&env, receiver), 0);
    EXPECT_EQ(collect(&env, receiver, 2, &bytes), -4);
}

TEST_F(BridgeTest, ANullArrayRaisesNullPointerException) {
    EXPECT_EQ(sync(&env, receiver, 1, 1, nullptr), 0);
    EXPECT_EQ(thrown.className, "java/lang/NullPointerException");
}

}  // namespace
