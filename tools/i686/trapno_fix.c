/* Preloaded into every process of the i686 test tier's Wine.
 *
 * qemu user mode delivers faults with the trap number in the signal context
 * set to -1. 32-bit Wine decides what a fault was from that number: with -1
 * an access violation turns into an illegal instruction, a division by zero
 * into a floating-point error, and guard pages (stack growth, IsBadReadPtr)
 * are not recognised. This library wraps sigaction() for the fault signals
 * and, before Wine's handler runs, puts back the trap number the Linux kernel
 * would have reported, derived from the signal and its si_code. A context
 * that already carries a real trap number is left alone.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stddef.h>
#include <string.h>
#include <sys/ucontext.h>

enum {
  TRAP_DIVIDE = 0, TRAP_DEBUG = 1, TRAP_BREAKPOINT = 3, TRAP_INVALID_OPCODE = 6,
  TRAP_PROTECTION = 13, TRAP_PAGE_FAULT = 14, TRAP_X87 = 16, TRAP_ALIGNMENT = 17,
  TRAP_SIMD = 19
};

typedef int (*sigaction_fn)(int, const struct sigaction*, struct sigaction*);

/* The handlers the program asked for, one per signal number. */
static struct sigaction wanted[_NSIG];
static volatile sig_atomic_t have_wanted[_NSIG];

static int is_fault_signal(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGTRAP;
}

/* An unmasked x87 exception pending means the x87 unit raised the signal;
 * otherwise an SSE instruction did. */
static int x87_exception_pending(const ucontext_t* uc) {
  const struct _libc_fpstate* fp = uc->uc_mcontext.fpregs;
  if (!fp) return 1;
  return ((fp->sw & ~fp->cw) & 0x3f) != 0;
}

static int trapno_for(int sig, const siginfo_t* info, const ucontext_t* uc) {
  switch (sig) {
    case SIGSEGV:
      /* Page faults carry MAPERR/ACCERR; the kernel reports a general
       * protection fault (privileged instruction, bad segment) as SI_KERNEL. */
      return info->si_code == SI_KERNEL ? TRAP_PROTECTION : TRAP_PAGE_FAULT;
    case SIGBUS:
      return info->si_code == BUS_ADRALN ? TRAP_ALIGNMENT : TRAP_PAGE_FAULT;
    case SIGILL:
      return info->si_code == ILL_PRVOPC ? TRAP_PROTECTION : TRAP_INVALID_OPCODE;
    case SIGFPE:
      if (info->si_code == FPE_INTDIV) return TRAP_DIVIDE;
      return x87_exception_pending(uc) ? TRAP_X87 : TRAP_SIMD;
    case SIGTRAP:
      /* int3 arrives as SI_KERNEL, single steps and debug registers as
       * TRAP_TRACE / TRAP_BRKPT / TRAP_HWBKPT. */
      return info->si_code == SI_KERNEL ? TRAP_BREAKPOINT : TRAP_DEBUG;
  }
  return -1;
}

static void fixing_handler(int sig, siginfo_t* info, void* context) {
  ucontext_t* uc = context;
  if (uc && (int)uc->uc_mcontext.gregs[REG_TRAPNO] == -1) {
    uc->uc_mcontext.gregs[REG_TRAPNO] = trapno_for(sig, info, uc);
    /* A write fault sets bit 1 of the error code; qemu leaves it 0, which
     * reads as "read": keep whatever it did report. */
  }
  if (!have_wanted[sig]) return;
  if (wanted[sig].sa_flags & SA_SIGINFO)
    wanted[sig].sa_sigaction(sig, info, context);
  else
    wanted[sig].sa_handler(sig);
}

static sigaction_fn real_sigaction(void) {
  static sigaction_fn fn;
  if (!fn) fn = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
  return fn;
}

int sigaction(int sig, const struct sigaction* act, struct sigaction* old) {
  sigaction_fn real = real_sigaction();
  if (!real) return -1;
  if (sig <= 0 || sig >= _NSIG || !is_fault_signal(sig)) return real(sig, act, old);

  struct sigaction previous;
  int had = have_wanted[sig];
  if (had) previous = wanted[sig];
  if (!act) {
    int rc = real(sig, NULL, old);
    if (rc == 0 && old && had) *old = previous;
    return rc;
  }
  if (act->sa_handler == SIG_DFL || act->sa_handler == SIG_IGN) {
    have_wanted[sig] = 0;
    int rc = real(sig, act, old);
    if (rc == 0 && old && had) *old = previous;
    return rc;
  }
  struct sigaction ours = *act;
  ours.sa_flags |= SA_SIGINFO;
  ours.sa_sigaction = fixing_handler;
  wanted[sig] = *act;
  have_wanted[sig] = 1;
  int rc = real(sig, &ours, old);
  if (rc != 0) {
    have_wanted[sig] = had;
    if (had) wanted[sig] = previous;
  } else if (old && had) {
    *old = previous;
  }
  return rc;
}
