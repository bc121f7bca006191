#include "app/version_store.h"

#include "app/data_cipher.h"
#include "platform/services.h"

namespace corvenhal::app {

Bytes ReadVersionRecord(const Text& path) {
  Bytes record;
  if (!platform::Current().files->ReadAll(path, record)) return {};
  return DecryptData(record, kVersionPassword);
}

bool WriteVersionRecord(const Text& path, std::string_view version) {
  return platform::Current().files->WriteAll(path, EncryptData(version, kVersionPassword));
}

Bytes ReadInstalledVersion() { return ReadVersionRecord(kVersionFileName); }

bool WriteInstalledVersion(std::string_view version) { return WriteVersionRecord(kVersionFileName, version); }

}  // namespace corvenhal::app
