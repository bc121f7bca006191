#include "platform/portable/components/wbem.h"

// libpci's header declares no C linkage of its own.
extern "C" {
#include <pci/pci.h>
}

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <utility>

#include "platform/encodings.h"

namespace corvenhal::platform {
namespace {

using Code = InvokeStatus::Code;
using Properties = std::vector<std::pair<std::u16string, std::u16string>>;

bool IsRead(InvokeKind kind) { return kind != InvokeKind::kPropertyPut; }

InvokeStatus NoSuchMember() { return InvokeStatus::Fail(Code::kUnknownName); }

// A read-only member that takes at most `maxArgs` arguments.
InvokeStatus CheckRead(InvokeKind kind, const std::vector<ComValue>& args, size_t maxArgs) {
  if (!IsRead(kind)) return InvokeStatus::Fail(Code::kMemberNotFound);
  if (args.size() > maxArgs) return InvokeStatus::Fail(Code::kBadParamCount);
  return InvokeStatus::Ok();
}

// An optional text argument: missing or empty both read as empty text.
InvokeStatus OptionalText(const std::vector<ComValue>& args, size_t i, std::u16string& out) {
  out.clear();
  if (i >= args.size() || args[i].type == ComValue::Type::kEmpty) return InvokeStatus::Ok();
  return ArgText(args[i], out);
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) { return SameMember(a, b); }

std::vector<std::u16string> Words(std::u16string_view s) {
  std::vector<std::u16string> words;
  std::u16string word;
  for (char16_t c : s) {
    if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

// --- PCI names ---

thread_local std::jmp_buf* pciEscape = nullptr;

// libpci reports a damaged database through its error hook, which must not
// return; the default one ends the process. Jump back to the lookup instead.
[[noreturn]] void PciError(char*, ...) { std::longjmp(*pciEscape, 1); }
void PciQuiet(char*, ...) {}

// Databases that libpci gave up on in this run. Its escape leaves the file it
// was reading open, so a damaged one is not read again.
bool IsDamaged(const std::string& path, bool mark = false) {
  static std::mutex mutex;
  static std::set<std::string> damaged;
  std::lock_guard<std::mutex> lock(mutex);
  if (mark) damaged.insert(path);
  return damaged.count(path) != 0;
}

class PciNames {
 public:
  explicit PciNames(std::string idsPath) : idsPath_(std::move(idsPath)), access_(pci_alloc()) {
    access_->error = PciError;
    access_->warning = PciQuiet;
    access_->debug = PciQuiet;
    if (!idsPath_.empty()) pci_set_name_list_path(access_, idsPath_.data(), 0);
  }
  ~PciNames() { pci_cleanup(access_); }
  PciNames(const PciNames&) = delete;
  PciNames& operator=(const PciNames&) = delete;

  // "Vendor Device" as the database names them, the numbers where it does not.
  std::string Name(unsigned vendor, unsigned device) {
    char buffer[256];
    char* name = nullptr;
    if (!broken_ && !IsDamaged(idsPath_)) name = Lookup(buffer, sizeof buffer, vendor, device);
    if (name) return name;
    std::snprintf(buffer, sizeof buffer, "Device %04x:%04x", vendor, device);
    return buffer;
  }

 private:
  // Nothing with a destructor may live in this frame: a damaged database
  // longjmps out of libpci back to the setjmp.
  char* Lookup(char* buffer, int size, unsigned vendor, unsigned device) {
    std::jmp_buf escape;
    std::jmp_buf* saved = pciEscape;
    pciEscape = &escape;
    char* name = nullptr;
    if (setjmp(escape) == 0) {
      name = pci_lookup_name(access_, buffer, size, PCI_LOOKUP_VENDOR | PCI_LOOKUP_DEVICE | PCI_LOOKUP_NO_HWDB,
                             vendor, device);
    } else {
      name = nullptr;
      broken_ = true;
      IsDamaged(idsPath_, true);
    }
    pciEscape = saved;
    return name;
  }

  std::string idsPath_;
  pci_access* access_;
  bool broken_ = false;
};

// A sysfs attribute such as "0x030000"; false when unreadable.
bool ReadHex(const std::filesystem::path& file, unsigned long& value) {
  std::ifstream in(file);
  std::string text;
  if (!(in >> text)) return false;
  try {
    size_t used = 0;
    value = std::stoul(text, &used, 16);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

// --- The objects ---

// One property of an object: "Value" (also the default), "Name".
class PropertyComponent final : public Component {
 public:
  PropertyComponent(std::u16string name, std::u16string value) : name_(std::move(name)), value_(std::move(value)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    bool value = member.empty() || SameMember(member, u"Value");
    if (!value && !SameMember(member, u"Name")) return NoSuchMember();
    if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
    result = ComValue::Str(value ? value_ : name_);
    return InvokeStatus::Ok();
  }

 private:
  std::u16string name_, value_;
};

// "Properties_" of an object: "Item"(name) (also the default), "Count".
class PropertySetComponent final : public Component {
 public:
  explicit PropertySetComponent(Properties properties) : properties_(std::move(properties)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Count")) {
      if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
      result = ComValue::I4(static_cast<std::int32_t>(properties_.size()));
      return InvokeStatus::Ok();
    }
    if (!member.empty() && !SameMember(member, u"Item")) return NoSuchMember();
    if (InvokeStatus st = CheckRead(kind, args, 2); !st.ok()) return st;
    if (args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string name;
    if (InvokeStatus st = ArgText(args[0], name); !st.ok()) return st;
    for (const auto& [n, v] : properties_) {
      if (EqualsIgnoreCase(n, name)) {
        result = ComValue::Obj(std::make_shared<PropertyComponent>(n, v));
        return InvokeStatus::Ok();
      }
    }
    return InvokeStatus::Fail(Code::kException, "not found");
  }

 private:
  Properties properties_;
};

// One instance: "Properties_", and each property read by its own name.
class ObjectComponent final : public Component {
 public:
  explicit ObjectComponent(Properties properties) : properties_(std::move(properties)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Properties_")) {
      if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
      result = ComValue::Obj(std::make_shared<PropertySetComponent>(properties_));
      return InvokeStatus::Ok();
    }
    for (const auto& [n, v] : properties_) {
      if (!SameMember(member, n)) continue;
      if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
      result = ComValue::Str(v);
      return InvokeStatus::Ok();
    }
    return NoSuchMember();
  }

 private:
  Properties properties_;
};

class EnumComponent final : public EnumeratorComponent {
 public:
  explicit EnumComponent(std::shared_ptr<const std::vector<Properties>> items) : items_(std::move(items)) {}

  InvokeStatus Invoke(std::u16string_view, InvokeKind, std::vector<ComValue>&, ComValue&) override {
    return NoSuchMember();
  }

  bool Next(ComValue& item) override {
    if (next_ >= items_->size()) return false;
    item = ComValue::Obj(std::make_shared<ObjectComponent>((*items_)[next_++]));
    return true;
  }

 private:
  std::shared_ptr<const std::vector<Properties>> items_;
  size_t next_ = 0;
};

// What "ExecQuery" gives: "Count", "ItemIndex"(i), "_NewEnum".
class ObjectSetComponent final : public Component {
 public:
  explicit ObjectSetComponent(std::vector<Properties> items)
      : items_(std::make_shared<const std::vector<Properties>>(std::move(items))) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (SameMember(member, u"Count")) {
      if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
      result = ComValue::I4(static_cast<std::int32_t>(items_->size()));
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"_NewEnum")) {
      if (InvokeStatus st = CheckRead(kind, args, 0); !st.ok()) return st;
      result = ComValue::Obj(std::make_shared<EnumComponent>(items_));
      return InvokeStatus::Ok();
    }
    if (SameMember(member, u"ItemIndex")) {
      if (InvokeStatus st = CheckRead(kind, args, 1); !st.ok()) return st;
      if (args.size() != 1) return InvokeStatus::Fail(Code::kBadParamCount);
      std::int32_t i;
      if (InvokeStatus st = ArgInt(args[0], i); !st.ok()) return st;
      if (i < 0 || static_cast<size_t>(i) >= items_->size()) return InvokeStatus::Fail(Code::kException, "not found");
      result = ComValue::Obj(std::make_shared<ObjectComponent>((*items_)[static_cast<size_t>(i)]));
      return InvokeStatus::Ok();
    }
    return NoSuchMember();
  }

 private:
  std::shared_ptr<const std::vector<Properties>> items_;
};

// The instances of Win32_VideoController.
std::vector<Properties> VideoControllers(const DisplayControllerSources& sources) {
  std::vector<Properties> items;
  int n = 0;
  for (const std::u16string& name : ListDisplayControllers(sources)) {
    std::u16string id = u"VideoController" + Utf8ToUtf16(std::to_string(++n));
    items.push_back({{u"Name", name}, {u"Caption", name}, {u"Description", name}, {u"DeviceID", id}});
  }
  return items;
}

// What "ConnectServer" gives: "ExecQuery"(query[, language, flags, context]).
// The query is WQL's "SELECT * FROM class" for the classes this build knows.
class ServicesComponent final : public Component {
 public:
  explicit ServicesComponent(DisplayControllerSources sources) : sources_(std::move(sources)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (!SameMember(member, u"ExecQuery")) return NoSuchMember();
    if (InvokeStatus st = CheckRead(kind, args, 4); !st.ok()) return st;
    if (args.empty()) return InvokeStatus::Fail(Code::kBadParamCount);
    std::u16string query, language;
    if (InvokeStatus st = ArgText(args[0], query); !st.ok()) return st;
    if (InvokeStatus st = OptionalText(args, 1, language); !st.ok()) return st;
    if (!language.empty() && !EqualsIgnoreCase(language, u"WQL")) {
      return InvokeStatus::Fail(Code::kException, "invalid query language");
    }
    std::vector<std::u16string> words = Words(query);
    if (words.size() != 4 || !EqualsIgnoreCase(words[0], u"SELECT") || words[1] != u"*" ||
        !EqualsIgnoreCase(words[2], u"FROM")) {
      return InvokeStatus::Fail(Code::kException, "invalid query");
    }
    if (!EqualsIgnoreCase(words[3], u"Win32_VideoController")) return InvokeStatus::Fail(Code::kException, "invalid class");
    result = ComValue::Obj(std::make_shared<ObjectSetComponent>(VideoControllers(sources_)));
    return InvokeStatus::Ok();
  }

 private:
  DisplayControllerSources sources_;
};

// "ConnectServer"([server, namespace, user, password, locale, authority,
// security flags, context]): this computer's root\CIMV2 only.
class LocatorComponent final : public Component {
 public:
  explicit LocatorComponent(DisplayControllerSources sources) : sources_(std::move(sources)) {}

  InvokeStatus Invoke(std::u16string_view member, InvokeKind kind, std::vector<ComValue>& args,
                      ComValue& result) override {
    if (!SameMember(member, u"ConnectServer")) return NoSuchMember();
    if (InvokeStatus st = CheckRead(kind, args, 8); !st.ok()) return st;
    std::u16string server, space;
    if (InvokeStatus st = OptionalText(args, 0, server); !st.ok()) return st;
    if (InvokeStatus st = OptionalText(args, 1, space); !st.ok()) return st;
    if (!server.empty() && server != u"." && !EqualsIgnoreCase(server, u"localhost")) {
      return InvokeStatus::Fail(Code::kException, "the RPC server is unavailable");
    }
    if (!space.empty() && !EqualsIgnoreCase(space, u"root\\CIMV2") && !EqualsIgnoreCase(space, u"root/CIMV2")) {
      return InvokeStatus::Fail(Code::kException, "invalid namespace");
    }
    result = ComValue::Obj(std::make_shared<ServicesComponent>(sources_));
    return InvokeStatus::Ok();
  }

 private:
  DisplayControllerSources sources_;
};

}  // namespace

std::vector<std::u16string> ListDisplayControllers(const DisplayControllerSources& sources) {
  namespace fs = std::filesystem;
  std::vector<fs::path> devices;
  std::error_code ec;
  for (fs::directory_iterator it(sources.pciDevices, ec), end; !ec && it != end; it.increment(ec)) {
    devices.push_back(it->path());
  }
  std::sort(devices.begin(), devices.end());
  std::vector<std::u16string> names;
  PciNames pci(sources.pciIds);
  for (const fs::path& device : devices) {
    unsigned long pciClass = 0, vendor = 0, id = 0;
    if (!ReadHex(device / "class", pciClass) || (pciClass >> 16) != 0x03) continue;
    if (!ReadHex(device / "vendor", vendor) || !ReadHex(device / "device", id)) continue;
    names.push_back(Utf8ToUtf16(pci.Name(static_cast<unsigned>(vendor), static_cast<unsigned>(id))));
  }
  return names;
}

std::shared_ptr<Component> NewWbemLocatorComponentFrom(const DisplayControllerSources& sources) {
  return std::make_shared<LocatorComponent>(sources);
}

std::shared_ptr<Component> NewWbemLocatorComponent() { return NewWbemLocatorComponentFrom(DisplayControllerSources()); }

}  // namespace corvenhal::platform
