#include "support/md5.h"

#include <openssl/evp.h>

namespace corvenhal::testing {

std::string ReferenceMd5(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += kDigits[digest[i] >> 4];
    out += kDigits[digest[i] & 15];
  }
  return out;
}

}  // namespace corvenhal::testing
