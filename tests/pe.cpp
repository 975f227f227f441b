// pe.cpp - see pe.h. Every read is bounds-checked: a damaged file gives an
// error, never a crash.
#include "pe.h"

#include <stdexcept>

namespace {

constexpr uint16_t kOptionalMagicPe32 = 0x10b;
constexpr uint32_t kImportDirectory = 1;
constexpr uint32_t kDelayImportDirectory = 13;
constexpr uint32_t kOrdinalFlag = 0x80000000u;

struct Section {
    uint32_t VirtualAddress, VirtualSize, RawOffset, RawSize;
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t> &bytes) : bytes_(bytes) {}

    uint32_t U8(size_t at) const { return Need(at, 1), bytes_[at]; }
    uint32_t U16(size_t at) const { return Need(at, 2), bytes_[at] | bytes_[at + 1] << 8; }
    uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }

    std::string CString(size_t at) const
    {
        std::string text;
        while (U8(at) != 0)
            text += static_cast<char>(bytes_[at++]);
        return text;
    }

private:
    void Need(size_t at, size_t n) const
    {
        if (at > bytes_.size() || bytes_.size() - at < n)
            throw std::runtime_error("read past the end of the file at " + std::to_string(at));
    }
    const std::vector<uint8_t> &bytes_;
};

size_t FileOffset(const std::vector<Section> &sections, uint32_t rva)
{
    for (const Section &s : sections) {
        uint32_t size = s.VirtualSize > s.RawSize ? s.VirtualSize : s.RawSize;
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < size) {
            if (rva - s.VirtualAddress >= s.RawSize)
                throw std::runtime_error("RVA lies in a section's uninitialised tail");
            return s.RawOffset + (rva - s.VirtualAddress);
        }
    }
    throw std::runtime_error("RVA " + std::to_string(rva) + " lies in no section");
}

void ReadImports(const Reader &r, const std::vector<Section> &sections, uint32_t directoryRva,
                 PeImage *image)
{
    for (size_t d = FileOffset(sections, directoryRva);; d += 20) {
        uint32_t lookup = r.U32(d), nameRva = r.U32(d + 12), thunks = r.U32(d + 16);
        if (lookup == 0 && nameRva == 0 && thunks == 0)
            break;
        std::string dll = r.CString(FileOffset(sections, nameRva));
        // The lookup table when present; the address table holds the same
        // entries in an image that has not been bound.
        for (size_t t = FileOffset(sections, lookup ? lookup : thunks);; t += 4) {
            uint32_t entry = r.U32(t);
            if (entry == 0)
                break;
            PeImport import;
            import.Dll = dll;
            if (entry & kOrdinalFlag) {
                import.ByOrdinal = true;
                import.Ordinal = entry & 0xFFFF;
            } else {
                import.Function = r.CString(FileOffset(sections, entry) + 2); // after the hint
            }
            image->Imports.push_back(import);
        }
    }
}

void Parse(const Reader &r, PeImage *image)
{
    if (r.U16(0) != 0x5A4D)
        throw std::runtime_error("no MZ header");
    size_t pe = r.U32(0x3C);
    if (r.U32(pe) != 0x00004550)
        throw std::runtime_error("no PE signature");
    size_t coff = pe + 4;
    image->Machine = r.U16(coff);
    uint32_t sectionCount = r.U16(coff + 2);
    uint32_t optionalSize = r.U16(coff + 16);
    size_t opt = coff + 20;
    if (r.U16(opt) != kOptionalMagicPe32)
        throw std::runtime_error("not a PE32 optional header");
    image->MajorOsVersion = r.U16(opt + 40);
    image->MinorOsVersion = r.U16(opt + 42);
    image->MajorSubsystemVersion = r.U16(opt + 48);
    image->MinorSubsystemVersion = r.U16(opt + 50);
    image->Subsystem = r.U16(opt + 68);
    uint32_t directoryCount = r.U32(opt + 92);

    std::vector<Section> sections;
    for (size_t s = opt + optionalSize, i = 0; i < sectionCount; i++, s += 40)
        sections.push_back({r.U32(s + 12), r.U32(s + 8), r.U32(s + 20), r.U32(s + 16)});

    auto directoryRva = [&](uint32_t index) {
        return index < directoryCount ? r.U32(opt + 96 + 8 * index) : 0;
    };
    image->HasDelayImports = directoryRva(kDelayImportDirectory) != 0;
    if (directoryRva(kImportDirectory) != 0)
        ReadImports(r, sections, directoryRva(kImportDirectory), image);
}

} // namespace

bool ParsePeImage(const std::vector<uint8_t> &bytes, PeImage *image, std::string *error)
{
    *image = PeImage();
    try {
        Parse(Reader(bytes), image);
        return true;
    } catch (const std::exception &e) {
        *error = e.what();
        return false;
    }
}
