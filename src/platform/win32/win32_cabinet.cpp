#include "platform/win32/win32_cabinet.h"

#include <windows.h>

#include <fcntl.h>
#include <fdi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"

// FDI hands its callbacks no context of their own. Every callback runs synchronously inside the FDI call
// that the adapter makes on this thread, so the callbacks of the running call are kept per thread for its
// duration.

struct Win32Cabinet::Context {
  HFDI handle = nullptr;
  ERF erf{};
  CabinetFileCallbacks* callbacks = nullptr;
  CabinetErrorRecord* record = nullptr;
};

namespace {

thread_local CabinetFileCallbacks* currentCallbacks = nullptr;
thread_local CabinetNotify* currentNotify = nullptr;

static_assert(CabinetFileCallbacks::kOpenWriteOnly == _O_WRONLY &&
              CabinetFileCallbacks::kOpenReadWrite == _O_RDWR &&
              CabinetFileCallbacks::kOpenCreate == _O_CREAT &&
              CabinetFileCallbacks::kOpenBinary == _O_BINARY);
static_assert(CabinetFileCallbacks::kSeekStart == SEEK_SET &&
              CabinetFileCallbacks::kSeekCurrent == SEEK_CUR && CabinetFileCallbacks::kSeekEnd == SEEK_END);
static_assert(static_cast<int>(CabinetError::userAbort) == FDIERROR_USER_ABORT &&
              static_cast<int>(CabinetNotificationType::enumerate) == fdintENUMERATE);

FNALLOC(Alloc) {
  return currentCallbacks->CabAlloc(cb);
}
FNFREE(Free) {
  currentCallbacks->CabFree(pv);
}
FNOPEN(Open) {
  return currentCallbacks->CabOpen(pszFile, oflag, pmode);
}
FNREAD(Read) {
  return currentCallbacks->CabRead(hf, pv, cb);
}
FNWRITE(Write) {
  return currentCallbacks->CabWrite(hf, pv, cb);
}
FNCLOSE(Close) {
  return currentCallbacks->CabClose(hf);
}
FNSEEK(Seek) {
  return currentCallbacks->CabSeek(hf, dist, seektype);
}

// A name stored without _A_NAME_IS_UTF is in the ANSI code page of the machine that made the cabinet,
// taken to be this one's; the setup's texts are UTF-8. A name that has no UTF-8 form stays as stored, and
// the wide call that would write it refuses it.
std::string NameAsUtf8(const char* stored, unsigned attributes) {
  const std::string name = stored != nullptr ? stored : "";
  const bool ascii = std::all_of(name.begin(), name.end(),
                                 [](char letter) { return static_cast<unsigned char>(letter) < 0x80; });
  if (ascii || (attributes & _A_NAME_IS_UTF) != 0) {
    return name;
  }
  return SystemAnsiToUtf8Text(name).value_or(name);
}

FNFDINOTIFY(Notify) {
  CabinetNotification notification;
  const std::string name = NameAsUtf8(pfdin->psz1, pfdin->attribs);
  notification.size = pfdin->cb;
  notification.name = pfdin->psz1 != nullptr ? name.c_str() : nullptr;
  notification.info = pfdin->psz2;
  notification.path = pfdin->psz3;
  notification.user = pfdin->pv;
  notification.file = pfdin->hf;
  notification.date = pfdin->date;
  notification.time = pfdin->time;
  notification.attributes = pfdin->attribs;
  notification.setId = pfdin->setID;
  notification.cabinetIndex = static_cast<std::uint16_t>(pfdin->iCabinet);
  notification.folderIndex = static_cast<std::uint16_t>(pfdin->iFolder);
  notification.error = static_cast<CabinetError>(pfdin->fdie);
  return currentNotify->CabNotify(static_cast<CabinetNotificationType>(fdint), notification);
}

// Sets the callbacks of one FDI call and hands the caller's error record to FDI and back.
class CallScope {
 public:
  CallScope(CabinetFileCallbacks& callbacks, CabinetNotify* notify, ERF& erf, CabinetErrorRecord& record)
      : erf_(erf), record_(record) {
    currentCallbacks = &callbacks;
    currentNotify = notify;
    erf_.erfOper = record_.oper;
    erf_.erfType = record_.type;
    erf_.fError = record_.error ? TRUE : FALSE;
  }
  ~CallScope() {
    record_.oper = erf_.erfOper;
    record_.type = erf_.erfType;
    record_.error = erf_.fError != FALSE;
    currentCallbacks = nullptr;
    currentNotify = nullptr;
  }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  ERF& erf_;
  CabinetErrorRecord& record_;
};

}  // namespace

Win32Cabinet::Win32Cabinet() = default;
Win32Cabinet::~Win32Cabinet() {
  for (auto& [key, context] : contexts_) {
    CabinetErrorRecord ignored;
    const CallScope scope(*context->callbacks, nullptr, context->erf, ignored);
    FDIDestroy(context->handle);
  }
}

CabinetContext Win32Cabinet::Create(CabinetFileCallbacks& callbacks, int cpuType,
                                    CabinetErrorRecord& record) {
  auto context = std::make_unique<Context>();
  context->callbacks = &callbacks;
  context->record = &record;
  {
    const CallScope scope(callbacks, nullptr, context->erf, record);
    context->handle = FDICreate(Alloc, Free, Open, Read, Write, Close, Seek, cpuType, &context->erf);
  }
  if (context->handle == nullptr) {
    return CabinetContext::none;
  }
  const auto key = static_cast<CabinetContext>(reinterpret_cast<std::uintptr_t>(context->handle));
  contexts_[key] = std::move(context);
  return key;
}

bool Win32Cabinet::Copy(CabinetContext context, const std::string& cabinetName,
                        const std::string& cabinetPath, int flags, CabinetNotify& notify, void* user) {
  const auto found = contexts_.find(context);
  if (found == contexts_.end()) {
    return false;
  }
  Context& open = *found->second;
  // FDICopy takes writable texts; it does not change them.
  std::vector<char> name(cabinetName.begin(), cabinetName.end());
  name.push_back('\0');
  std::vector<char> path(cabinetPath.begin(), cabinetPath.end());
  path.push_back('\0');
  const CallScope scope(*open.callbacks, &notify, open.erf, *open.record);
  return FDICopy(open.handle, name.data(), path.data(), flags, Notify, nullptr, user) != FALSE;
}

bool Win32Cabinet::Destroy(CabinetContext context) {
  const auto found = contexts_.find(context);
  if (found == contexts_.end()) {
    return false;
  }
  BOOL destroyed = FALSE;
  {
    Context& open = *found->second;
    const CallScope scope(*open.callbacks, nullptr, open.erf, *open.record);
    destroyed = FDIDestroy(open.handle);
  }
  contexts_.erase(found);
  return destroyed != FALSE;
}
