// The Windows processes the tests run in must raise the exceptions Windows
// raises: a fault in plug-in code under test has to show up as what it is
// (the 32-bit tier runs under an emulator that needs help with this).
#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct Raised {
  DWORD code = 0;
  ULONG_PTR operation = ~ULONG_PTR{0};  // access violations: 0 read, 1 write
  ULONG_PTR address = 0;
};

Raised g_raised;
DWORD g_faulting_thread = 0;
volatile int g_sink = 0;
void* g_read_only_page = nullptr;

[[noreturn]] void WINAPI EndFaultingThread() { ExitThread(0); }

// Records the first-chance exception of the faulting thread and ends that
// thread instead of resuming at the fault.
LONG CALLBACK RecordAndEndThread(EXCEPTION_POINTERS* e) {
  if (GetCurrentThreadId() != g_faulting_thread) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD* r = e->ExceptionRecord;
  g_raised.code = r->ExceptionCode;
  if (r->NumberParameters >= 2) {
    g_raised.operation = r->ExceptionInformation[0];
    g_raised.address = r->ExceptionInformation[1];
  }
#ifdef _WIN64
  e->ContextRecord->Rsp = (e->ContextRecord->Rsp & ~DWORD64{15}) - 8;  // as after a call
  e->ContextRecord->Rip = reinterpret_cast<DWORD64>(&EndFaultingThread);
#else
  e->ContextRecord->Eip = reinterpret_cast<DWORD>(&EndFaultingThread);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

DWORD WINAPI RunFault(void* fault) {
  reinterpret_cast<void (*)()>(fault)();
  return 0;
}

Raised Raise(void (*fault)()) {
  g_raised = Raised{};
  void* handler = AddVectoredExceptionHandler(1, RecordAndEndThread);
  HANDLE thread = CreateThread(nullptr, 0, RunFault, reinterpret_cast<void*>(fault), CREATE_SUSPENDED, &g_faulting_thread);
  EXPECT_NE(nullptr, thread);
  if (thread) {
    ResumeThread(thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
    CloseHandle(thread);
  }
  RemoveVectoredExceptionHandler(handler);
  return g_raised;
}

class StructuredExceptions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { g_read_only_page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY); }
  static void TearDownTestSuite() { VirtualFree(g_read_only_page, 0, MEM_RELEASE); }
};

TEST_F(StructuredExceptions, FaultsArriveAsTheExceptionsWindowsRaises) {
  struct Case {
    const char* what;
    void (*fault)();
    DWORD code;
    bool checkAccess;
    ULONG_PTR operation;
  };
  const Case cases[] = {
      {"read through null", [] { g_sink = *static_cast<volatile int*>(nullptr); }, EXCEPTION_ACCESS_VIOLATION, true, 0},
      {"write to a read-only page", [] { *static_cast<volatile int*>(g_read_only_page) = 1; },
       EXCEPTION_ACCESS_VIOLATION, true, 1},
      {"integer division by zero", [] { volatile int zero = 0; g_sink = 7 / zero; }, EXCEPTION_INT_DIVIDE_BY_ZERO, false, 0},
      {"undefined instruction", [] { __builtin_trap(); }, EXCEPTION_ILLEGAL_INSTRUCTION, false, 0},
      {"breakpoint", [] { DebugBreak(); }, EXCEPTION_BREAKPOINT, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Raised r = Raise(c.fault);
    EXPECT_EQ(c.code, r.code) << std::hex << r.code;
    if (c.checkAccess) {
      EXPECT_EQ(c.operation, r.operation);
      EXPECT_EQ(c.operation ? reinterpret_cast<ULONG_PTR>(g_read_only_page) : 0u, r.address);
    }
  }
}

// IsBadReadPtr and friends probe by faulting; the guard page below a thread's
// committed stack grows it on the first touch.
DWORD WINAPI TouchDeepStack(void*) {
  volatile char frame[600 * 1024];
  for (size_t i = 0; i < sizeof frame; i += 4096) frame[sizeof frame - 1 - i] = 1;
  return frame[sizeof frame - 1] + 41;
}

TEST_F(StructuredExceptions, ProbesAndStackGrowthWork) {
  int local = 0;
  EXPECT_TRUE(IsBadReadPtr(nullptr, 4));
  EXPECT_FALSE(IsBadReadPtr(&local, sizeof local));
  EXPECT_TRUE(IsBadWritePtr(g_read_only_page, 4));
  EXPECT_FALSE(IsBadReadPtr(g_read_only_page, 4));

  HANDLE thread = CreateThread(nullptr, 1024 * 1024, TouchDeepStack, nullptr, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(nullptr, thread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 20000));
  DWORD exit_code = 0;
  GetExitCodeThread(thread, &exit_code);
  CloseHandle(thread);
  EXPECT_EQ(42u, exit_code);
}

}  // namespace
