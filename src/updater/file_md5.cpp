#include "updater/file_md5.h"

#include <openssl/evp.h>

#include <memory>

#include "platform/services.h"
#include "platform/window.h"

namespace corvenhal::updater {
namespace {

struct DigestContextFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

Text UpperHex(const unsigned char* bytes, unsigned length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  Text out;
  out.reserve(length * 2);
  for (unsigned i = 0; i < length; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return out;
}

}  // namespace

Text FileMd5(const Text& path, const Md5Progress& progress) {
  platform::Services& services = platform::Current();
  // A missing file is refused by the open as well; no separate look-up.
  std::unique_ptr<platform::ChunkReader> reader = services.files->OpenChunks(path, kMd5ChunkSize);
  if (!reader) return Text();

  std::unique_ptr<EVP_MD_CTX, DigestContextFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1) return Text();

  const long long size = reader->Size();
  long long total = 0;
  // At least one read; the loop ends at the size read at the start, or earlier
  // when a read yields nothing (a file that shrank), so it never spins.
  for (;;) {
    std::string_view chunk;
    if (!reader->Next(chunk)) return Text();  // never the digest of part of a file
    total += static_cast<long long>(chunk.size());
    if (progress) {
      long long percent = size > 0 ? total * 100 / size : 0;
      progress(static_cast<int>(percent > 100 ? 100 : percent));
    }
    if (EVP_DigestUpdate(ctx.get(), chunk.data(), chunk.size()) != 1) return Text();
    if (services.windows) services.windows->PumpEvents();
    if (chunk.empty() || total >= size) break;
  }

  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1) return Text();
  return UpperHex(digest, length);
}

}  // namespace corvenhal::updater
