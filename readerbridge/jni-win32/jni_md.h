/*
 * The machine-dependent part of jni.h for Windows, for cross builds that take jni.h from a JDK of
 * the build machine (whose own jni_md.h describes that machine). Natives use the stdcall
 * convention; a build that lists its exports in a .def file defines JNIEXPORT as empty.
 */
#ifndef TARVINEL_JNI_MD_H
#define TARVINEL_JNI_MD_H

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint; /* 32 bits on Windows, as the JNI requires */
typedef __int64 jlong;
typedef signed char jbyte;

#endif /* TARVINEL_JNI_MD_H */
