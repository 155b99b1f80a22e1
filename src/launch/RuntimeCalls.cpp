#include <windows.h>

#include "launch/RuntimeCalls.h"

#include <memory>

#include "support/WinHandles.h"

namespace karvo {
namespace {

constexpr const char* ThreadDumpClass = "com/karvo/runtime/ThreadDump";

// Shared by the caller and the calling thread; whichever lets go last frees it, so an
// abandoned call never writes into freed memory.
struct PendingCall {
    JavaVM* vm = nullptr;
    RuntimeCall call = RuntimeCall::DumpText;
    RuntimeAnswer answer;
    UniqueHandle done;
};

// A pending exception is the call's failure: it is cleared so the thread detaches cleanly.
bool failedWithException(JNIEnv* env, RuntimeAnswer& answer, const char* what) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionClear();
    answer.failure = std::string(what) + " threw an exception";
    return true;
}

void perform(JNIEnv* env, PendingCall& pending) {
    RuntimeAnswer& answer = pending.answer;
    jclass type = env->FindClass(ThreadDumpClass);
    if (!type) {
        env->ExceptionClear();
        answer.failure = "the runtime classes have no ThreadDump class";
        return;
    }
    if (pending.call == RuntimeCall::DeadlockedThreadCount) {
        jmethodID method = env->GetStaticMethodID(type, "deadlockedThreadCount", "()I");
        if (!method) {
            env->ExceptionClear();
            answer.failure = "ThreadDump has no deadlockedThreadCount";
            return;
        }
        answer.number = env->CallStaticIntMethod(type, method);
        failedWithException(env, answer, "deadlockedThreadCount");
        return;
    }
    if (pending.call == RuntimeCall::DumpToError) {
        jmethodID method = env->GetStaticMethodID(type, "printToError", "()V");
        if (!method) {
            env->ExceptionClear();
            answer.failure = "ThreadDump has no printToError";
            return;
        }
        env->CallStaticVoidMethod(type, method);
        failedWithException(env, answer, "printToError");
        return;
    }
    jmethodID method = env->GetStaticMethodID(type, "text", "()Ljava/lang/String;");
    if (!method) {
        env->ExceptionClear();
        answer.failure = "ThreadDump has no text";
        return;
    }
    auto text = static_cast<jstring>(env->CallStaticObjectMethod(type, method));
    if (failedWithException(env, answer, "text")) return;
    if (!text) {
        answer.failure = "ThreadDump.text returned nothing";
        return;
    }
    if (const char* chars = env->GetStringUTFChars(text, nullptr)) {
        answer.text = chars;
        env->ReleaseStringUTFChars(text, chars);
    } else {
        env->ExceptionClear();
        answer.failure = "the dump's text could not be read";
    }
    env->DeleteLocalRef(text);
}

DWORD WINAPI callThread(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<PendingCall>> owner(
        static_cast<std::shared_ptr<PendingCall>*>(parameter));
    PendingCall& pending = **owner;
    JNIEnv* env = nullptr;
    // A daemon thread: a call still running must never keep the VM from ending.
    if (pending.vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr) !=
            JNI_OK ||
        !env) {
        pending.answer.failure = "the VM refused to attach a thread";
    } else {
        perform(env, pending);
        pending.vm->DetachCurrentThread();
    }
    SetEvent(pending.done.get());
    return 0;
}

}  // namespace

RuntimeAnswer callRuntime(JavaVM* vm, RuntimeCall call, std::uint32_t waitMs) {
    // Until the VM is asked, a failure is this process's own and no sign of a hang.
    RuntimeAnswer none;
    none.answered = true;
    if (!vm) {
        none.failure = "the VM does not exist yet";
        return none;
    }
    auto pending = std::make_shared<PendingCall>();
    pending->vm = vm;
    pending->call = call;
    pending->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!pending->done) {
        none.failure = "no event for the call (" + std::to_string(GetLastError()) + ")";
        return none;
    }
    auto* threadShare = new std::shared_ptr<PendingCall>(pending);
    UniqueHandle thread(CreateThread(nullptr, 0, callThread, threadShare, 0, nullptr));
    if (!thread) {
        delete threadShare;
        none.failure = "no thread for the call (" + std::to_string(GetLastError()) + ")";
        return none;
    }
    if (WaitForSingleObject(pending->done.get(), waitMs) != WAIT_OBJECT_0) {
        none.answered = false;
        none.failure = "the VM did not answer within " + std::to_string(waitMs) + " ms";
        return none;
    }
    RuntimeAnswer answer = pending->answer;
    answer.answered = true;
    return answer;
}

}  // namespace karvo
