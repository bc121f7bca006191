#include "platform/services.h"

#include "platform/portable/portable.h"

namespace corvenhal::platform {

Services& Current() {
  static Services services = portable::DefaultServices();
  return services;
}

}  // namespace corvenhal::platform

namespace corvenhal::platform {

bool FileSystem::WriteAll(const Text& path, std::string_view bytes) {
  std::unique_ptr<FileWriter> writer = BeginReplace(path);
  return writer && writer->Write(bytes) && writer->Commit();
}

std::unique_ptr<ChunkReader> FileSystem::OpenChunks(const Text&, size_t) { return nullptr; }

bool FileSystem::IsInside(const Text&, const Text&) { return false; }

}  // namespace corvenhal::platform
