#pragma once

#include <windows.h>

// Waits for one of the handles as WaitForMultipleObjects does (WAIT_OBJECT_0 + its index, WAIT_TIMEOUT
// or WAIT_FAILED), while the calling thread's windows keep answering: a thread that owns windows and
// waits without retrieving its messages holds up every program that broadcasts to it (installers send
// WM_SETTINGCHANGE) and is shown "Not responding" after five seconds. Messages sent to the thread's
// windows are answered and they are painted; input (keys, clicks) is taken from the queue and dropped,
// so that nothing the person does reaches the dialog in the middle of a run. Other posted messages stay
// queued for the dialog's loop.
DWORD WaitAnswering(const HANDLE* handles, DWORD count, DWORD timeoutMs);
