// Machine-dependent JNI definitions for Windows, used with the JDK's jni.h.
// On 32-bit Windows every JNI function, JNI_CreateJavaVM included, uses __stdcall;
// getting this wrong corrupts the stack silently on every call. On x86_64 there is one
// calling convention and the compiler ignores __stdcall, so the same header serves both
// builds; jint stays 32 bits there too (long is 32 bits on 64-bit Windows).
#ifndef KARVO_JNI_MD_H
#define KARVO_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
