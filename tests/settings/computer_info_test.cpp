#include "settings/computer_info.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/automation.h"
#include "platform/encodings.h"
#include "platform/headless/headless_window_system.h"
#include "platform/portable/components/wbem.h"
#include "platform/portable/portable.h"
#include "settings/settings_window.h"
#include "support/temp_dir.h"

namespace corvenhal::settings {
namespace {

using namespace std::string_literals;
using platform::DisplayControllerSources;
using platform::headless::HeadlessWindow;
using platform::headless::HeadlessWindowSystem;

class FixedMachine final : public platform::MachineInfo {
 public:
  Text hostName;
  Bytes brand;
  std::uint64_t memory = 0;
  Text HostName() override { return hostName; }
  Bytes ProcessorBrand() override { return brand; }
  std::uint64_t PhysicalMemory() override { return memory; }
};

TEST(ComputerInfoTest, HostNameNeedsRoomFor15Characters) {
  struct Case {
    Text name, shown;
  } cases[] = {
      {"", ""},
      {"PC", "PC"},
      {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"},  // 15
      {"ABCDEFGHIJKLMNOP", ""},                // 16
      {"\xB2\xE2\xCA\xD4\xBB\xFA-01234567", "\xB2\xE2\xCA\xD4\xBB\xFA-01234567"},   // 15 bytes
      {"\xB2\xE2\xCA\xD4\xBB\xFA-012345678", ""},                                   // 16 bytes
  };
  for (const Case& c : cases) {
    FixedMachine m;
    m.hostName = c.name;
    EXPECT_EQ(HostNameLine(m), c.shown) << c.name;
  }
}

TEST(ComputerInfoTest, BrandFillsTheFirst48Of100Spaces) {
  const Bytes full = "Intel(R) Xeon(R) Platinum 8370C CPU @ 2.80GHz XX";  // 49: only 48 are taken
  const Bytes padded = "       Intel(R) Core(TM) i7-3770 CPU @ 3.40GHz";  // 47 bytes
  struct Case {
    const char* what;
    Bytes brand;
    Text line;
  } cases[] = {
      {"fills all 48 bytes", full.substr(0, 48), full.substr(0, 48) + std::string(52, ' ')},
      {"longer than 48", full, full.substr(0, 48) + std::string(52, ' ')},
      {"ends at its zero", "AMD Ryzen 7 5800X 8-Core Processor"s + std::string(14, '\0'),
       "AMD Ryzen 7 5800X 8-Core Processor"},
      {"leading spaces kept", padded + '\0', padded},
      {"zero in the middle", "Alpha\0Beta"s + std::string(38, 'x'), "Alpha"},
      {"unreadable", "", ""},
  };
  for (const Case& c : cases) {
    FixedMachine m;
    m.brand = c.brand;
    EXPECT_EQ(ProcessorLine(m), c.line) << c.what;
  }
}

TEST(ComputerInfoTest, MemoryInWholeMegabytes) {
  struct Case {
    std::uint64_t bytes;
    Text line;
  } cases[] = {
      {(16ull << 30) + (1ull << 20) - 1, "16384 MB"},
      {(1ull << 20) - 1, "0 MB"},
      {8ull << 40, "8388608 MB"},
      {0, ""},
  };
  for (const Case& c : cases) {
    FixedMachine m;
    m.memory = c.bytes;
    EXPECT_EQ(MemoryLine(m), c.line) << c.bytes;
  }
}

TEST(ComputerInfoTest, ThisMachineGivesItsFacts) {
  platform::MachineInfo& m = platform::portable::Machine();
  char host[HOST_NAME_MAX + 1] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(m.HostName(), host);
  Bytes brand = m.ProcessorBrand();
  EXPECT_EQ(brand.size(), 48u);
  EXPECT_GT(m.PhysicalMemory(), 0u);
  EXPECT_EQ(ProcessorLine(m).size(), text::AsText(brand).size() + (text::AsText(brand).size() == 48 ? 52 : 0));
}

// A sysfs PCI device directory with its class, vendor and device.
void Device(const testing::TempDir& sys, const std::string& address, const char* cls, const char* vendor,
            const char* device) {
  sys.Write("devices/" + address + "/class", std::string(cls) + "\n");
  sys.Write("devices/" + address + "/vendor", std::string(vendor) + "\n");
  sys.Write("devices/" + address + "/device", std::string(device) + "\n");
}

constexpr char kPciIds[] =
    "# test database\n"
    "1234  Foo Graphics Inc\n"
    "\t1111  Bar GPU\n"
    "8086  Intel Corporation\n"
    "\t1237  440FX - 82441FX PMC [Natoma]\n"
    "abcd  Baz Corp\n"
    "\t2222  Qux 3D [Render]\n";

class VideoControllerTest : public ::testing::Test {
 protected:
  VideoControllerTest() {
    sources_.pciDevices = (sys_.path() / "devices").string();
    sources_.pciIds = sys_.Write("pci.ids", kPciIds).string();
    Use(sources_);
  }
  ~VideoControllerTest() override {
    platform::RegisterComponent("WbemScripting.SWbemLocator", "{76A64158-CB41-11D1-8B02-00600806D9B6}",
                                [] { return platform::NewWbemLocatorComponent(); });
  }
  void Use(const DisplayControllerSources& sources) {
    platform::RegisterComponent("WbemScripting.SWbemLocator", "{76A64158-CB41-11D1-8B02-00600806D9B6}",
                                [sources] { return platform::NewWbemLocatorComponentFrom(sources); });
  }
  std::vector<Text> Query() {
    std::vector<Text> names;
    QueryVideoControllers([&](const Text& name) { names.push_back(name); });
    return names;
  }

  testing::TempDir sys_;
  DisplayControllerSources sources_;
  HeadlessWindowSystem windows_;
  platform::Services services_ = [this] {
    platform::Services s = platform::portable::DefaultServices();
    s.windows = &windows_;
    return s;
  }();
  platform::ScopedServices scope_{services_};
};

TEST_F(VideoControllerTest, TwoControllersEndWithTheSecondInTheLabel) {
  Device(sys_, "0000:00:00.0", "0x060000", "0x8086", "0x1237");  // a host bridge
  Device(sys_, "0000:01:00.0", "0x030200", "0xabcd", "0x2222");  // 3D controller
  Device(sys_, "0000:00:02.0", "0x030000", "0x1234", "0x1111");  // VGA, listed first
  sys_.Write("devices/0000:00:03.0/class", "0x030000\n");        // no vendor: skipped

  const Text first = "Foo Graphics Inc Bar GPU";
  const Text second = "Baz Corp Qux 3D [Render]";
  EXPECT_EQ(Query(), (std::vector<Text>{first, second}));

  // A click queued while the window is created is handled during the query.
  bool clicked = false;
  windows_.Post([&] { clicked = true; });
  std::shared_ptr<platform::Window> w = windows_.Open(SettingsWindowForm(), platform::WindowRole::kModal);
  int pumpsBefore = windows_.PumpCount();
  AttachSettingsWindow(*w);
  auto& window = static_cast<HeadlessWindow&>(*w);
  EXPECT_EQ(window.GetText(Controls().video), second);
  EXPECT_EQ(window.TextHistory(Controls().video), (std::vector<Text>{first, second}));
  EXPECT_TRUE(clicked);
  EXPECT_EQ(windows_.PumpCount() - pumpsBefore, 3);  // after each of the three fetches
}

TEST_F(VideoControllerTest, NoDisplayControllerLeavesTheLabelAsItWas) {
  Device(sys_, "0000:00:00.0", "0x060000", "0x8086", "0x1237");
  EXPECT_EQ(Query(), std::vector<Text>());

  DisplayControllerSources missing;
  missing.pciDevices = (sys_.path() / "nowhere").string();
  Use(missing);
  EXPECT_EQ(Query(), std::vector<Text>());

  // No locator at all.
  platform::RegisterComponent("WbemScripting.SWbemLocator", "{76A64158-CB41-11D1-8B02-00600806D9B6}",
                              [] { return std::shared_ptr<platform::Component>(); });
  EXPECT_EQ(Query(), std::vector<Text>());
}

TEST_F(VideoControllerTest, UnknownOrDamagedDatabaseGivesTheNumbers) {
  Device(sys_, "0000:00:02.0", "0x030000", "0x1234", "0x5678");
  Device(sys_, "0000:00:03.0", "0x038000", "0xfeed", "0x0001");
  EXPECT_EQ(Query(), (std::vector<Text>{"Foo Graphics Inc Device 5678", "Device feed:0001"}));

  // libpci gives up on a damaged database; the program goes on, and does not
  // read that database again.
  sources_.pciIds = sys_.Write("bad.ids", "garbage\n\tzz\n").string();
  Use(sources_);
  {
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler libpciKeepsTheDamagedFileOpen;
#endif
    EXPECT_EQ(Query(), (std::vector<Text>{"Device 1234:5678", "Device feed:0001"}));
  }
  sys_.Write("bad.ids", kPciIds);
  EXPECT_EQ(Query(), (std::vector<Text>{"Device 1234:5678", "Device feed:0001"}));
}

TEST_F(VideoControllerTest, LocatorAnswersOnlyTheVideoControllerQuery) {
  Device(sys_, "0000:00:02.0", "0x030000", "0x1234", "0x1111");
  platform::AutomationBridge bridge;
  platform::AutomationObject locator;
  ASSERT_TRUE(bridge.Create(locator, "WbemScripting.SWbemLocator"));
  EXPECT_TRUE(bridge.CallObject(locator, "ConnectServer", "remote-host", "root\\CIMV2").IsEmpty());
  EXPECT_TRUE(bridge.CallObject(locator, "ConnectServer", ".", "root\\default").IsEmpty());
  platform::AutomationObject services = bridge.CallObject(locator, "ConnectServer", ".", "root\\cimv2");
  ASSERT_FALSE(services.IsEmpty());
  EXPECT_TRUE(bridge.CallObject(services, "ExecQuery", "SELECT * FROM Win32_Processor").IsEmpty());
  EXPECT_FALSE(bridge.LastFailure().empty());
  platform::AutomationObject set = bridge.CallObject(services, "ExecQuery", "select *  from WIN32_VIDEOCONTROLLER");
  ASSERT_FALSE(set.IsEmpty());
  EXPECT_EQ(bridge.GetNumber(set, "Count"), 1);

  // The collection itself is no enumerator.
  platform::AutomationVariant item;
  EXPECT_FALSE(bridge.Next(set, item));
  EXPECT_FALSE(bridge.LastFailure().empty());
  platform::AutomationObject e = bridge.CallObject(set, "_NewEnum");
  ASSERT_TRUE(bridge.Next(e, item));
  platform::AutomationObject props = bridge.GetObject(item.AsObject(), "Properties_");
  EXPECT_EQ(bridge.GetText(bridge.CallObject(props, "Item", "Name"), "value"), "Foo Graphics Inc Bar GPU");
  EXPECT_TRUE(bridge.CallObject(props, "Item", "NoSuchProperty").IsEmpty());
  EXPECT_FALSE(bridge.Next(e, item));
  EXPECT_TRUE(item.IsEmpty());
  EXPECT_TRUE(bridge.LastFailure().empty());
}

}  // namespace
}  // namespace corvenhal::settings
