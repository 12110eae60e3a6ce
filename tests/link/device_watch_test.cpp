// Finding a pulled USB adapter again in a fake /sys and /dev tree: by its by-id name, by its
// serial number under another kernel name, and never another adapter that took its place.
#include "link/device_watch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fake_serial_tree.h"
#include "temp_dir.h"

namespace zrd::link {
namespace {

using test::FakeSerialTree;
using Change = DeviceWatch::Change;

enum class OpenedBy { KernelName, ById };
enum class Found { None, OpenedPath, NewKernelName };

struct Return {
    const char* name;
    bool byId;        // the adapter has a /dev/serial/by-id name
    OpenedBy opened;  // how the port was opened
    bool sameSerial;  // the adapter that comes back is the one pulled
    Found found;
};

void PrintTo(const Return& r, std::ostream* os) {
    *os << r.name;
}

const Return kReturns[] = {
    {"by its by-id name, as opened", true, OpenedBy::ById, true, Found::OpenedPath},
    {"by its by-id name under another kernel name", true, OpenedBy::KernelName, true,
     Found::NewKernelName},
    {"by its serial number under another kernel name", false, OpenedBy::KernelName, true,
     Found::NewKernelName},
    {"not another adapter at the same path", false, OpenedBy::KernelName, false, Found::None},
};

class DeviceReturn : public ::testing::TestWithParam<Return> {};

TEST_P(DeviceReturn, IsFoundByWhatTellsItApart) {
    const Return& r = GetParam();
    test::TempDir dir;
    const std::string root = dir.file("system");
    FakeSerialTree::Adapter pulled = FakeSerialTree::ftdi("ttyUSB0", 16);
    if (!r.byId)
        pulled.byId.clear();
    auto tree = std::make_unique<FakeSerialTree>(root);
    tree->add(pulled);
    const std::string opened =
        r.opened == OpenedBy::ById ? tree->byId(pulled.byId) : tree->device(pulled.kernelName);
    DeviceWatch watch(identifyDevice(opened, tree->roots()), tree->roots());
    // Until the adapter is gone, and while it is away, nothing has come back.
    std::filesystem::remove_all(root);
    tree = std::make_unique<FakeSerialTree>(root);
    EXPECT_EQ(watch.look(), Change::None);
    EXPECT_FALSE(watch.where());

    // Plugged back in, the kernel gives it the next name while ttyUSB0 is another adapter's.
    FakeSerialTree::Adapter other = FakeSerialTree::ftdi("ttyUSB0", 16);
    other.serial = "B71133XY";
    other.byId = r.byId ? "usb-FTDI_FT232R_USB_UART_B71133XY-if00-port0" : "";
    tree->add(other);
    FakeSerialTree::Adapter back = pulled;
    back.kernelName = "ttyUSB1";
    if (r.sameSerial)
        tree->add(back);
    const Change change = watch.look();
    switch (r.found) {
        case Found::None:
            EXPECT_EQ(change, Change::None);
            EXPECT_FALSE(watch.where());
            return;
        case Found::OpenedPath:
            EXPECT_EQ(change, Change::Returned);
            EXPECT_EQ(watch.where(), opened);
            break;
        case Found::NewKernelName:
            EXPECT_EQ(change, Change::Returned);
            ASSERT_TRUE(watch.where());
            EXPECT_EQ(std::filesystem::canonical(*watch.where()),
                      std::filesystem::canonical(tree->device(back.kernelName)));
            break;
    }
    EXPECT_EQ(watch.look(), Change::None);
    std::filesystem::remove_all(root);
    EXPECT_EQ(watch.look(), Change::Vanished);
}

INSTANTIATE_TEST_SUITE_P(Returns, DeviceReturn, ::testing::ValuesIn(kReturns));

}  // namespace
}  // namespace zrd::link
