// walks_fuzz.cpp - the registry walks of the installed-driver record and of
// the enumeration clean-up, over a registry tree built from the input.
//
// The input is a little program that adds keys under the branches the
// programs walk (and beside them), with names of any length up to and past
// the 128-character buffers, and values "Class", "Driver", "InfPath" and
// "PortDriver" of any size up to and past theirs; and INF files.
//
// Properties:
// - the record holds, for each branch, the first subkey (in enumeration
//   order, before the first name too long for the buffer) whose name holds
//   the chip's device ID, and the driver key its "Driver" value names,
//   exactly as the rules give them, worked out here on their own;
// - deleting the record's keys deletes those keys and nothing else;
// - the clean-up deletes only what its table names (the subkeys of
//   CHILD0000, CHILD0001 and of the class hdc, the SCSI branch, the PCI
//   devices whose first instance is of class "hdc"), and all of it up to the
//   first name too long to read.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "cleanup.h"
#include "cmdline.h"
#include "fuzz_text.h"
#include "record.h"
#include "machine.h"
#include "sim.h"

namespace {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
const std::string kPci = "Enum\\PCI";
const std::string kChild0 = "Enum\\MF\\CHILD0000";
const std::string kChild1 = "Enum\\MF\\CHILD0001";
const std::string kScsi = "Enum\\SCSI";
const std::string kHdc = kClass + "\\hdc";

const char *const kBranches[] = {
    "Enum\\PCI", "Enum\\MF\\CHILD0000", "Enum\\MF\\CHILD0001", "Enum\\SCSI",
    "System\\CurrentControlSet\\Services\\Class\\hdc", "System\\CurrentControlSet\\Services\\Class\\CDROM",
    "Enum\\ESDI", "SOFTWARE\\ORV", "Enum\\MF", "System\\CurrentControlSet\\Services\\Class",
};
const char *const kNames[] = {
    "VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01",
    "VEN_1E6B&DEV_6407&SUBSYS_00000000&REV_01",
    "PCI&VEN_1E6B&DEV_6417&SUBSYS_00000000&REV_01&BUS_00&DEV_07&FUNC_01",
    "BUS_00&DEV_07&FUNC_01", "0000", "0001", "hdc", "6417", "6407", "ESDI_506",
};
const char *const kValueNames[] = {"Class", "Driver", "InfPath", "PortDriver", "DeviceDesc"};
const char *const kTexts[] = {"hdc", "HDC", "hdc\\0000", "hdc\\0001", "CDROM\\0000", "k6417.mpd",
                              "k6407.mpd", "kqide.mpd", "oem1.inf", "mshdc.inf", "hdc ", "\\"};

template <size_t N> const char *Pick(FuzzedDataProvider &in, const char *const (&table)[N])
{
    return table[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// A key name: a known one, one of a chosen length (perhaps with a device ID
// in it), or any bytes but a backslash and a NUL.
std::string Name(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return Pick(in, kNames);
    case 1: {
        std::string name(in.ConsumeIntegralInRange<size_t>(1, 200), 'N');
        std::string id = in.ConsumeBool() ? "6417" : "6407";
        size_t at = in.ConsumeIntegralInRange<size_t>(0, name.size());
        if (in.ConsumeBool() && at + id.size() <= name.size())
            name.replace(at, id.size(), id);
        return name;
    }
    default: {
        std::string name = in.ConsumeRandomLengthString(200);
        for (char &c : name)
            if (c == '\\' || c == '\0')
                c = '_';
        return name.empty() ? "_" : name;
    }
    }
}

sim::Value Data(FuzzedDataProvider &in)
{
    std::string text;
    if (in.ConsumeBool()) {
        text = Pick(in, kTexts);
    } else {
        text = in.ConsumeRandomLengthString(300);
        if (in.ConsumeBool())
            text += std::string(in.ConsumeIntegralInRange<size_t>(0, 300), 'v');
    }
    return in.ConsumeBool() ? sim::Sz(text) : sim::Binary(text);
}

void Build(FuzzedDataProvider &in, sim::Pc &pc)
{
    std::vector<std::string> keys(std::begin(kBranches), std::end(kBranches));
    for (int i = 0; i < 5; i++)
        pc.AddKey(kHklm + keys[size_t(i)]);
    while (in.remaining_bytes() > 0 && keys.size() < 400) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            const std::string parent = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
            keys.push_back(parent + "\\" + Name(in));
            pc.AddKey(kHklm + keys.back());
            break;
        }
        case 1: {
            const std::string key = keys[in.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
            const char *name = Pick(in, kValueNames);
            pc.SetValue(kHklm + key, name, Data(in));
            break;
        }
        case 2: {
            std::string file = in.ConsumeBool() ? "C:\\WINDOWS\\INF\\" : "C:\\WINDOWS\\INF\\OTHER\\";
            file += in.ConsumeBool() ? "oem1.inf" : "mshdc.inf";
            pc.AddFile(file, in.ConsumeBool() ? "CopyFiles\r\nk6417.mpd\r\nk6407.mpd\r\n" : "[Version]\r\n");
            break;
        }
        default:
            pc.AddKey(kHklm + Pick(in, kBranches));
            break;
        }
    }
}

// The subkey names of key that a 128-character buffer reads, in order: up to
// the first one too long.
std::vector<std::string> Readable(const sim::Pc &pc, const std::string &key)
{
    std::vector<std::string> names;
    for (const std::string &name : pc.Subkeys(kHklm + key)) {
        if (name.size() >= 128)
            break;
        names.push_back(name);
    }
    return names;
}

// A value as the programs read it into a buffer of size bytes: missing or
// longer gives nothing; the text ends at its first NUL.
bool ValueText(const sim::Pc &pc, const std::string &key, const char *name, size_t size, std::string *text)
{
    std::optional<sim::Value> v = pc.GetValue(kHklm + key, name);
    if (!v || v->data.size() > size)
        return false;
    *text = v->data.substr(0, v->data.find('\0'));
    return true;
}

struct Slot {
    std::string device, driver;
    bool found = false;
};

std::string DriverKeyOf(const sim::Pc &pc, const std::string &key)
{
    std::string driver;
    if (!pc.HasKey(kHklm + key) || !ValueText(pc, key, "Driver", 128, &driver))
        return "";
    while (!driver.empty() && driver.back() == ' ')
        driver.pop_back();
    // Nothing but backslashes names no key below the class branch.
    std::string path = kClass + "\\" + driver;
    return driver.find_first_not_of('\\') == std::string::npos || path.size() > 127 ? "" : path;
}

Slot ExpectedSlot(const sim::Pc &pc, const std::string &branch, const char *id, bool instance)
{
    Slot s;
    for (const std::string &name : Readable(pc, branch)) {
        if (name.find(id) == std::string::npos)
            continue;
        if (branch.size() + 1 + name.size() <= 127) {
            s.device = branch + "\\" + name;
            s.found = true;
        }
        break;
    }
    if (!s.found)
        return s;
    if (!instance) {
        s.driver = DriverKeyOf(pc, s.device);
    } else {
        std::vector<std::string> first = pc.Subkeys(kHklm + s.device);
        if (!first.empty() && first[0].size() < 128 && s.device.size() + 1 + first[0].size() <= 127)
            s.driver = DriverKeyOf(pc, s.device + "\\" + first[0]);
    }
    return s;
}

bool IsHdcDevice(const sim::Pc &pc, const std::string &device)
{
    std::string path = kPci + "\\" + device;
    std::vector<std::string> instances = pc.Subkeys(kHklm + path);
    if (path.size() > 127 || instances.empty() || instances[0].size() >= 128)
        return false;
    path += "\\" + instances[0];
    std::string cls;
    return path.size() <= 127 && ValueText(pc, path, "Class", 128, &cls) && cls == "hdc";
}

// A key path as the registry resolves it: empty components dropped.
std::string Resolved(const std::string &path)
{
    std::string out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        if (end > at)
            out += (out.empty() ? "" : "\\") + path.substr(at, end - at);
        at = end + 1;
    }
    return fuzz::Upper(out);
}

std::set<std::string> Deleted(const sim::RunResult &run)
{
    std::set<std::string> keys;
    const std::string prefix = "change deleted key " + kHklm;
    for (const std::string &c : run.changes) {
        FUZZ_CHECK(c.rfind(prefix, 0) == 0, c);
        keys.insert(fuzz::Upper(c.substr(prefix.size())));
    }
    return keys;
}

std::string Listing(const std::set<std::string> &keys)
{
    std::string s;
    for (const std::string &k : keys)
        s += k + "\n";
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool remover = in.ConsumeBool();
    const ChipIndex chip = in.ConsumeBool() ? 1 : 0;
    sim::Pc pc;
    Build(in, pc);

    // The record and the deletion of its keys.
    const Slot expected[3] = {ExpectedSlot(pc, kPci, ChipDeviceIds[chip], true),
                              ExpectedSlot(pc, kChild0, ChipDeviceIds[chip], false),
                              ExpectedSlot(pc, kChild1, ChipDeviceIds[chip], false)};
    InstalledDriverRecord record;
    bool collected = false;
    sim::RunResult removal = pc.Invoke([&] {
        ProgramState = ProgramStateData{};
        ProgramState.Program = remover ? PROGRAM_REMOVE : PROGRAM_SETUP;
        ProgramState.Variant = chip == 1 ? K6417 : K6407;
        SelectVariantTexts();
        CollectInstalledDriver(&record, chip);
        collected = true;
        DeleteDeviceKeys(&record);
    });
    FUZZ_CHECK(collected || (remover && removal.exitedViaExitProcess));
    FUZZ_CHECK(pc.impl().keyHandles.empty());
    if (!collected) {
        FUZZ_CHECK(removal.changes.empty());
        return 0;
    }
    std::set<std::string> allowed;
    for (int i = 0; i < 3; i++) {
        const DeviceSlot &got = record.Slots[i];
        FUZZ_CHECK(got.Found == (expected[i].found ? 1 : 0), std::to_string(i));
        FUZZ_CHECK(got.DeviceKey == expected[i].device, std::to_string(i) + ": " + got.DeviceKey);
        FUZZ_CHECK(got.DriverKey == expected[i].driver, std::to_string(i) + ": " + got.DriverKey);
        if (got.Found)
            allowed.insert(Resolved(got.DeviceKey));
        if (got.DriverKey[0])
            allowed.insert(Resolved(got.DriverKey));
    }
    const std::string inf = record.InfFile;
    FUZZ_CHECK(inf.empty() || (pc.File(inf).has_value() && inf.rfind("C:\\WINDOWS\\inf\\", 0) == 0), inf);
    // A driver key lies below the class branch, never at it or above it.
    const std::string classBranch = fuzz::Upper(kClass) + "\\";
    for (const std::string &k : Deleted(removal)) {
        FUZZ_CHECK(allowed.count(k), k + " is not in the record:\n" + Listing(allowed));
        FUZZ_CHECK(k.rfind("ENUM\\", 0) == 0 || k.rfind(classBranch, 0) == 0, k);
    }

    // The clean-up over what is left.
    std::set<std::string> named, kept;
    for (const std::string &branch : {kChild0, kChild1, kHdc})
        for (const std::string &name : Readable(pc, branch))
            named.insert(fuzz::Upper(branch + "\\" + name));
    if (pc.HasKey(kHklm + kScsi))
        named.insert(fuzz::Upper(kScsi));
    for (const std::string &device : Readable(pc, kPci))
        if (IsHdcDevice(pc, device))
            named.insert(fuzz::Upper(kPci + "\\" + device));
    sim::RunResult cleanup = pc.Invoke([] { ClearDeviceEnumeration(); });
    FUZZ_CHECK(pc.impl().keyHandles.empty());
    const std::set<std::string> deleted = Deleted(cleanup);
    for (const std::string &k : deleted)
        FUZZ_CHECK(named.count(k), k + " is not in the table:\n" + Listing(named));
    for (const std::string &k : named)
        FUZZ_CHECK(deleted.count(k), k + " was left:\n" + Listing(deleted));
    return 0;
}
