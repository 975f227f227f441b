// probe_test.cpp - the controller probe over the simulated PCI bus.
#include <gtest/gtest.h>

#include <vector>

#include "probe.h"
#include "sim.h"

namespace {

struct PciDevice {
    int bus, device, function;
    uint16_t vendor, id;
};

struct ProbeCase {
    const char *name;
    std::vector<PciDevice> devices;
    ChipIndex expected;
};

const ProbeCase kProbeCases[] = {
    {"empty bus", {}, CHIP_NONE},
    {"controllers' own IDs do not count",
     {{0, 5, 0, 0x1E6B, 0x6407}, {0, 6, 0, 0x1E6B, 0x6417}},
     CHIP_NONE},
    {"K6407 marker", {{0, 3, 0, 0x1E6B, 0x3C81}}, 0},
    {"K6417 marker at device 31", {{0, 31, 0, 0x1E6B, 0x3C91}}, 1},
    {"marker at function 1", {{0, 4, 1, 0x1E6B, 0x3C91}}, CHIP_NONE},
    {"marker on bus 1", {{1, 4, 0, 0x1E6B, 0x3C81}}, CHIP_NONE},
    {"marker device ID of another vendor", {{0, 4, 0, 0x8086, 0x3C91}}, CHIP_NONE},
    {"both markers: device 18 decides",
     {{0, 7, 0, 0x1E6B, 0x3C91}, {0, 18, 0, 0x1E6B, 0x3C81}},
     0},
    {"both markers, the other way round",
     {{0, 7, 0, 0x1E6B, 0x3C81}, {0, 18, 0, 0x1E6B, 0x3C91}},
     1},
    {"other devices of the vendor change nothing",
     {{0, 2, 0, 0x1E6B, 0x3C91}, {0, 5, 0, 0x1E6B, 0x6417}, {0, 9, 0, 0x8086, 0x7111},
      {0, 20, 0, 0x1E6B, 0x1234}},
     1},
};

void PrintTo(const ProbeCase &c, std::ostream *os) { *os << c.name; }

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTable, FindsTheMarkerAndReadsEveryDeviceOfBusZero)
{
    const ProbeCase &c = GetParam();
    SCOPED_TRACE(c.name);
    sim::Pc pc;
    for (const PciDevice &d : c.devices)
        pc.AddPciDevice(d.bus, d.device, d.function, d.vendor, d.id);

    ChipIndex chip = 99;
    pc.ResetPortCounts();
    pc.Invoke([&] { chip = ProbeController(); });

    EXPECT_EQ(chip, c.expected);
    EXPECT_EQ(pc.PciAddressWrites(), 32);
    EXPECT_EQ(pc.PciDataReads(), 32);
    EXPECT_EQ(pc.LastPciAddress(), 0x8000F800u);
}

INSTANTIATE_TEST_SUITE_P(Probe, ProbeTable, ::testing::ValuesIn(kProbeCases));

} // namespace
