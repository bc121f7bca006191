// version read/write: the enciphered installed-version record.
// cipher encrypt/decrypt: the record's cipher over standard input.
#include "app/data_cipher.h"
#include "app/version_store.h"
#include "tool.h"

namespace corvenhal::tool {
namespace {

constexpr char kVersionUsage[] = "usage: version read [FILE] | version write TEXT [FILE] | version write --stdin [FILE]";
constexpr char kCipherUsage[] = "usage: cipher encrypt|decrypt --password P";

// The subcommand word is the first positional; options may come anywhere.
int Version(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"stdin", "raw"}, {})) return UsageError(args.Error());
  const auto& positionals = args.Positionals();
  const Text sub = positionals.empty() ? Text() : positionals[0];
  if (sub == "read") {
    if (positionals.size() > 2 || args.Has("stdin")) return UsageError(kVersionUsage);
    Text file = positionals.size() > 1 ? positionals[1] : Text(app::kVersionFileName);
    // A missing, empty or undecipherable record is an empty version.
    PrintBytes(app::ReadVersionRecord(file));
    return kOk;
  }
  if (sub == "write") {
    bool fromStdin = args.Has("stdin");
    size_t first = fromStdin ? 1 : 2;  // index of FILE
    if (positionals.size() < first || positionals.size() > first + 1) return UsageError(kVersionUsage);
    Bytes version = fromStdin ? ReadStdin() : positionals[1];
    Text file = positionals.size() > first ? positionals[first] : Text(app::kVersionFileName);
    return app::WriteVersionRecord(file, version) ? kOk : kFailed;
  }
  return UsageError(kVersionUsage);
}

int Cipher(const std::vector<std::string>& argv) {
  Args args;
  if (!args.Parse(argv, {"raw"}, {"password"})) return UsageError(args.Error());
  const auto& positionals = args.Positionals();
  auto password = args.Value("password");
  if (positionals.size() != 1 || !password) return UsageError(kCipherUsage);
  const Text& sub = positionals[0];
  if (sub == "encrypt") {
    PrintBytes(app::EncryptData(ReadStdin(), *password));
    return kOk;
  }
  if (sub == "decrypt") {
    // Every valid ciphertext holds at least one byte.
    Bytes plain = app::DecryptData(ReadStdin(), *password);
    if (plain.empty()) return kFailed;
    PrintBytes(plain);
    return kOk;
  }
  return UsageError(kCipherUsage);
}

}  // namespace

CORVENHAL_TOOL_COMMAND("version", "version read [FILE] | version write TEXT [FILE] | version write --stdin [FILE]",
                       Version);
CORVENHAL_TOOL_COMMAND("cipher", "cipher encrypt|decrypt --password P  (standard input to standard output)", Cipher);

}  // namespace corvenhal::tool
