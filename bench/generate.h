// generate.h - the inputs of the benchmarks, made up on the spot and the
// same on every run: a REGEDIT4 export of the size and shape of a Windows 98
// registry, and a class INF of a chosen size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

// A small fixed-seed generator, so that every run measures the same text.
class Numbers {
public:
    explicit Numbers(uint32_t seed) : state_(seed) {}
    uint32_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t state_;
};

inline std::string Hex(uint32_t v, int digits)
{
    char s[16];
    std::snprintf(s, sizeof s, "%0*X", digits, v);
    return std::string(s).substr(0, size_t(digits));
}

inline std::string Guid(Numbers &n)
{
    return "{" + Hex(n.Next(), 6) + Hex(n.Below(256), 2) + "-" + Hex(n.Next(), 4) + "-11CF-" +
           Hex(n.Next(), 4) + "-" + Hex(n.Next(), 6) + Hex(n.Next(), 6) + "}";
}

inline std::string HexBytes(Numbers &n, int count)
{
    std::string s = "hex:";
    for (int i = 0; i < count; i++) {
        if (i)
            s += ',';
        s += Hex(n.Below(256), 2);
    }
    return s;
}

// A REGEDIT4 export of about `bytes` bytes with what fills a Windows 98
// registry: mostly COM classes, interfaces and file types under
// SOFTWARE\Classes, then the device enumeration, the device classes and
// services, installed programs, and the per-user settings under
// HKEY_USERS. The driver's own keys are not in it; *keys counts the
// sections.
inline std::string Windows98Export(size_t bytes, size_t *keys = nullptr)
{
    Numbers n(98);
    std::string out = "REGEDIT4\r\n\r\n";
    size_t count = 0;
    auto section = [&](const std::string &path) {
        out += "[" + path + "]\r\n";
        count++;
    };
    auto value = [&](const std::string &name, const std::string &data) {
        out += (name.empty() ? std::string("@") : "\"" + name + "\"") + "=" + data + "\r\n";
    };
    auto text = [](const std::string &t) { return "\"" + t + "\""; };
    auto end = [&] { out += "\r\n"; };

    const std::string hklm = "HKEY_LOCAL_MACHINE";
    const std::string classes = hklm + "\\SOFTWARE\\Classes";
    const char *const deviceClasses[] = {"hdc", "CDROM", "Display", "Net", "System", "MEDIA",
                                         "Ports", "Keyboard", "Mouse", "Monitor", "DiskDrive", "fdc"};

    // A little fixed frame first: the enumeration and the classes the
    // programs walk, as on a machine without the driver.
    section(hklm + "\\Enum");
    end();
    for (int i = 0; i < 24; i++) {
        const std::string device = hklm + "\\Enum\\PCI\\VEN_" + Hex(0x1000 + n.Below(0x2000), 4) +
                                   "&DEV_" + Hex(n.Next(), 4) + "&SUBSYS_00000000&REV_0" +
                                   std::to_string(i % 8);
        section(device);
        end();
        section(device + "\\BUS_00&DEV_" + Hex(uint32_t(i), 2) + "&FUNC_00");
        value("DeviceDesc", text("PCI device " + std::to_string(i)));
        value("Class", text(deviceClasses[i % 12]));
        value("Driver", text(std::string(deviceClasses[i % 12]) + "\\\\000" + std::to_string(i % 10)));
        value("ConfigFlags", "hex:00,00,00,00");
        end();
    }
    for (int i = 0; i < 40; i++) {
        section(hklm + "\\Enum\\Root\\*PNP0C0" + Hex(uint32_t(i), 2) + "\\0000");
        value("DeviceDesc", text("System board resource " + std::to_string(i)));
        value("Class", text("System"));
        end();
    }
    for (int c = 0; c < 12; c++)
        for (int i = 0; i < 6; i++) {
            section(hklm + "\\System\\CurrentControlSet\\Services\\Class\\" + deviceClasses[c] + "\\000" +
                    std::to_string(i));
            value("DriverDesc", text(std::string("Standard ") + deviceClasses[c] + " driver"));
            value("InfPath", text("MACHINE.INF"));
            value("InfSection", text("NODRV"));
            value("DevLoader", text("*CONFIGMG"));
            end();
        }

    // Then the bulk, until the size is reached.
    for (uint32_t i = 0; out.size() < bytes; i++) {
        switch (i % 8) {
        case 0:
        case 1:
        case 2: { // a COM class
            const std::string clsid = classes + "\\CLSID\\" + Guid(n);
            section(clsid);
            value("", text("Component " + std::to_string(i)));
            value("AppID", text(Guid(n)));
            value("LocalizedString", text("@C:\\\\WINDOWS\\\\SYSTEM\\\\SHELL32.DLL,-" + std::to_string(i)));
            end();
            section(clsid + "\\InprocServer32");
            value("", text("C:\\\\WINDOWS\\\\SYSTEM\\\\COMP" + std::to_string(i % 900) + ".DLL"));
            value("ThreadingModel", text("Apartment"));
            end();
            break;
        }
        case 3: { // an interface
            const std::string iface = classes + "\\Interface\\" + Guid(n);
            section(iface);
            value("", text("IComponent" + std::to_string(i)));
            end();
            section(iface + "\\ProxyStubClsid32");
            value("", text("{00020424-0000-0000-C000-000000000046}"));
            end();
            break;
        }
        case 4: { // a file type
            const std::string type = "file" + std::to_string(i);
            section(classes + "\\." + Hex(i, 5));
            value("", text(type));
            end();
            section(classes + "\\" + type + "\\shell\\open\\command");
            value("", text("C:\\\\PROGRA~1\\\\APP" + std::to_string(i % 300) + "\\\\APP.EXE \\\"%1\\\""));
            end();
            break;
        }
        case 5: { // an installed program
            section(hklm + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App" + std::to_string(i));
            value("DisplayName", text("Application " + std::to_string(i)));
            value("UninstallString", text("C:\\\\WINDOWS\\\\UNINST.EXE -f" + std::to_string(i) + ".isu"));
            end();
            break;
        }
        case 6: { // a service or VxD
            section(hklm + "\\System\\CurrentControlSet\\Services\\VxD\\VXD" + std::to_string(i));
            value("StaticVxD", text("VXD" + std::to_string(i) + ".VXD"));
            value("Start", "hex:00");
            value("Settings", HexBytes(n, 24 + int(i % 40)));
            end();
            break;
        }
        default: { // a user's settings
            section("HKEY_USERS\\.DEFAULT\\Software\\Vendor" + std::to_string(i % 97) + "\\Product" +
                    std::to_string(i));
            value("Window", "dword:" + Hex(n.Next(), 8));
            value("LastFile", text("C:\\\\My Documents\\\\File" + std::to_string(i) + ".DOC"));
            end();
            break;
        }
        }
    }
    if (keys)
        *keys = count;
    return out;
}

// A class INF for hard-disk controllers of about `bytes` bytes: many
// manufacturers' model sections and install sections, the [ORV_HDC]
// section in the middle, [ControlFlags] and [Strings] at the end.
inline std::string ClassInf(size_t bytes)
{
    std::string body = "[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=hdc\r\nProvider=%Provider%\r\n\r\n"
                       "[Manufacturer]\r\n%Orvanic%=ORV_HDC\r\n\r\n";
    std::string strings = "[Strings]\r\nProvider=\"Windows\"\r\nOrvanic=\"Orvanic\"\r\n";
    auto vendor = [&](int v) {
        const std::string name = "VENDOR" + std::to_string(v);
        body += "[" + name + "_HDC]\r\n";
        for (int m = 0; m < 8; m++) {
            const std::string id = "PCI\\VEN_" + Hex(uint32_t(0x2000 + v), 4) + "&DEV_" + Hex(uint32_t(m), 4);
            body += "%" + id + ".DeviceDesc%=ESDI_PCI_IDE, " + id + "\r\n";
            strings += id + ".DeviceDesc=\"" + name + " IDE controller " + std::to_string(m) + "\"\r\n";
        }
        body += "\r\n[" + name + "_INSTALL]\r\nAddReg=ESDI_AddReg\r\nCopyFiles=IOS.CopyList\r\n"
                "DriverVer=01/01/1998,4.10.0.1998\r\n\r\n";
    };
    int v = 0;
    while (body.size() + strings.size() < bytes / 2)
        vendor(v++);
    body += "[ORV_HDC]\r\n%PCI\\VEN_1E6B&DEV_6417.DeviceDesc% = ESDI_PCI_IDE, PCI\\VEN_1E6B&DEV_6417\r\n\r\n";
    while (body.size() + strings.size() < bytes)
        vendor(v++);
    body += "[ControlFlags]\r\nExcludeFromSelect=*\r\n\r\n";
    return body + strings;
}

} // namespace bench
