#include "steps/actions/package_fetched.h"

#include "steps/actions/file_written.h"

ActionResult BeforeFetching(InstallRecord& record, const std::string& package) {
  return BeforeWritingFile(&record, package);
}

ActionResult BeforeFetchingPart(InstallRecord& record, const std::string& part) {
  return BeforeMakingFile(&record, part);
}

void PackageFetched(InstallRecord& record, const std::string& package) {
  static_cast<void>(FileWritten(&record, package));
}
