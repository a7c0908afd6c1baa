#include "platform/win32/answering_wait.h"

namespace {

// How often the wait looks at the queue even when nothing woke it: Windows takes a thread that has not
// looked for five seconds for one that hangs.
constexpr DWORD kLookMs = 1000;

void AnswerQueue() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT) != FALSE) {
  }
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT) != FALSE) {
    DispatchMessageW(&message);
  }
}

}  // namespace

DWORD WaitAnswering(const HANDLE* handles, DWORD count, DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD slice = kLookMs;
    if (timeoutMs != INFINITE) {
      const ULONGLONG waited = GetTickCount64() - start;
      if (waited >= timeoutMs) {
        slice = 0;
      } else if (timeoutMs - waited < slice) {
        slice = static_cast<DWORD>(timeoutMs - waited);
      }
    }
    // Sent messages are answered inside the wait itself and by each look at the queue.
    const DWORD woken =
        MsgWaitForMultipleObjects(count, handles, FALSE, slice, QS_INPUT | QS_PAINT | QS_SENDMESSAGE);
    if (woken < WAIT_OBJECT_0 + count || woken == WAIT_FAILED) {
      return woken;
    }
    AnswerQueue();
    if (woken == WAIT_TIMEOUT && timeoutMs != INFINITE && GetTickCount64() - start >= timeoutMs) {
      return WAIT_TIMEOUT;
    }
  }
}
