#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "link/port_info.h"

namespace zrd::test {

// A /sys and /dev tree under a folder, laid out as the kernel lays out USB serial adapters: the
// USB device with its ids, the interface, the usb-serial port with its latency timer (FTDI), the
// tty class entry, the /dev node and its /dev/serial/by-id link.
class FakeSerialTree {
public:
    struct Adapter {
        std::string kernelName;  // "ttyUSB0", "ttyACM0"
        std::string driver;      // "ftdi_sio", "cdc_acm"
        std::string vendorId;
        std::string productId;
        std::string manufacturer;
        std::string product;
        std::string serial;
        std::optional<int> latencyMs;  // a usb-serial port has a latency timer
        std::string byId;              // name under /dev/serial/by-id; empty for none
    };

    explicit FakeSerialTree(const std::string& root) : m_root(root) {
        std::filesystem::create_directories(m_root + "/dev/serial/by-id");
        std::filesystem::create_directories(m_root + "/sys/class/tty");
        std::filesystem::create_directories(m_root + "/sys/bus/usb-serial/devices");
    }

    void add(const Adapter& a) {
        namespace fs = std::filesystem;
        const int n = ++m_count;
        const fs::path usb = fs::path(m_root) / "sys/devices/pci0000:00/0000:00:14.0/usb1" /
                             ("1-" + std::to_string(n));
        const fs::path interface = usb / ("1-" + std::to_string(n) + ":1.0");
        const bool usbSerial = a.latencyMs.has_value();
        // cdc_acm puts the tty below the interface; usb-serial drivers put a port folder between.
        const fs::path port = usbSerial ? interface / a.kernelName : interface;
        const fs::path tty = port / "tty" / a.kernelName;
        fs::create_directories(tty);
        write(usb / "idVendor", a.vendorId);
        write(usb / "idProduct", a.productId);
        write(usb / "manufacturer", a.manufacturer);
        write(usb / "product", a.product);
        write(usb / "serial", a.serial);
        const fs::path drivers = fs::path(m_root) / "sys/bus" / (usbSerial ? "usb-serial" : "usb") /
                                 "drivers" / a.driver;
        fs::create_directories(drivers);
        fs::create_symlink(drivers, port / "driver");
        fs::create_symlink(tty, fs::path(m_root) / "sys/class/tty" / a.kernelName);
        fs::create_symlink(port, tty / "device");
        if (usbSerial) {
            write(port / "latency_timer", std::to_string(*a.latencyMs));
            fs::create_symlink(port,
                               fs::path(m_root) / "sys/bus/usb-serial/devices" / a.kernelName);
        }
        write(device(a.kernelName), "");
        if (!a.byId.empty())
            fs::create_symlink("../../" + a.kernelName, byId(a.byId));
    }

    [[nodiscard]] link::SystemRoots roots() const {
        link::SystemRoots roots{m_root + "/sys", m_root + "/dev", m_root + "/proc"};
        // Simulators running beside the test are not part of the tree.
        roots.simulators = {m_root + "/run"};
        return roots;
    }
    [[nodiscard]] std::string device(const std::string& kernelName) const {
        return m_root + "/dev/" + kernelName;
    }
    [[nodiscard]] std::string byId(const std::string& name) const {
        return m_root + "/dev/serial/by-id/" + name;
    }
    [[nodiscard]] std::string latencyFile(const std::string& kernelName) const {
        return m_root + "/sys/bus/usb-serial/devices/" + kernelName + "/latency_timer";
    }

    // An FTDI adapter at the kernel's default latency of 16 ms.
    static Adapter ftdi(const std::string& kernelName, int latencyMs) {
        return {kernelName, "ftdi_sio", "0403",
                "6001",     "FTDI",     "FT232R USB UART",
                "A50285BI", latencyMs,  "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
    }

private:
    static void write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file) << text << (text.empty() ? "" : "\n");
    }

    std::string m_root;
    int m_count = 0;
};

}  // namespace zrd::test
