// dlgtemplate.cpp - .res files, PE resource sections and dialog templates.
#include "dlgtemplate.h"

#include <cctype>

namespace sim {

ResId ResId::MakeOrdinal(uint16_t n)
{
    ResId r;
    r.kind = Ordinal;
    r.ordinal = n;
    return r;
}

ResId ResId::MakeName(const std::string &s)
{
    ResId r;
    r.kind = Name;
    r.name = s;
    return r;
}

bool ResId::operator==(const ResId &o) const
{
    if (kind != o.kind)
        return false;
    if (kind == Ordinal)
        return ordinal == o.ordinal;
    if (kind == Name)
        return name == o.name;
    return true;
}

std::string ResId::ToString() const
{
    if (kind == Ordinal)
        return "#" + std::to_string(ordinal);
    if (kind == Name)
        return "\"" + name + "\"";
    return "none";
}

namespace {

void AppendUtf8(std::string &out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Little-endian reads over a byte string, every one checked against its end.
class Reader {
public:
    Reader(const std::string &bytes, size_t pos = 0) : b_(bytes), pos_(pos) {}

    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    void Seek(size_t p)
    {
        if (p > b_.size())
            ok_ = false;
        else
            pos_ = p;
    }
    // Skip to the next multiple of 4, counted from base.
    void AlignDword(size_t base = 0) { Seek(base + ((pos_ - base + 3) & ~size_t(3))); }

    uint8_t U8()
    {
        if (!Have(1))
            return 0;
        return uint8_t(b_[pos_++]);
    }
    uint16_t U16()
    {
        uint16_t lo = U8();
        uint16_t hi = U8();
        return uint16_t(lo | hi << 8);
    }
    uint32_t U32()
    {
        uint32_t lo = U16();
        uint32_t hi = U16();
        return lo | hi << 16;
    }
    int16_t S16() { return int16_t(U16()); }

    std::string Bytes(size_t n)
    {
        if (!Have(n))
            return {};
        std::string s = b_.substr(pos_, n);
        pos_ += n;
        return s;
    }

    // A NUL-terminated UTF-16 string, returned in UTF-8.
    std::string Sz()
    {
        std::string out;
        while (ok_) {
            uint32_t c = U16();
            if (!ok_ || c == 0)
                break;
            if (c >= 0xD800 && c < 0xDC00) {
                uint32_t lo = U16();
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
            }
            AppendUtf8(out, c);
        }
        return out;
    }

    // A counted UTF-16 string (PE resource names).
    std::string Counted()
    {
        std::string out;
        uint16_t n = U16();
        for (uint16_t i = 0; i < n && ok_; i++)
            AppendUtf8(out, U16());
        return out;
    }

    // 0x0000 nothing, 0xFFFF then an ordinal, else a string.
    ResId Id()
    {
        size_t start = pos_;
        uint16_t first = U16();
        if (first == 0x0000)
            return ResId();
        if (first == 0xFFFF)
            return ResId::MakeOrdinal(U16());
        pos_ = start;
        return ResId::MakeName(Sz());
    }

    // A control's title: 0xFFFF then an ordinal, else a string (an empty
    // one is the lone 0x0000).
    ResId Title()
    {
        size_t start = pos_;
        if (U16() == 0xFFFF)
            return ResId::MakeOrdinal(U16());
        pos_ = start;
        return ResId::MakeName(Sz());
    }

private:
    bool Have(size_t n)
    {
        if (!ok_ || b_.size() - pos_ < n) {
            ok_ = false;
            return false;
        }
        return true;
    }

    const std::string &b_;
    size_t pos_;
    bool ok_ = true;
};

template <typename T>
std::optional<T> Fail(std::string *error, const std::string &why)
{
    if (error)
        *error = why;
    return std::nullopt;
}

std::string Upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::optional<std::vector<ResourceEntry>> ParseResFile(const std::string &bytes,
                                                       std::string *error)
{
    std::vector<ResourceEntry> entries;
    Reader r(bytes);

    while (r.ok() && r.pos() < bytes.size()) {
        size_t start = r.pos();
        uint32_t dataSize = r.U32();
        uint32_t headerSize = r.U32();
        ResourceEntry e;
        e.type = r.Id();
        e.name = r.Id();
        r.AlignDword();
        e.dataVersion = r.U32();
        e.memoryFlags = r.U16();
        e.language = r.U16();
        e.version = r.U32();
        e.characteristics = r.U32();
        if (!r.ok() || headerSize < 32 || r.pos() > start + headerSize)
            return Fail<std::vector<ResourceEntry>>(error, "resource header at offset " +
                                                               std::to_string(start) + " is cut short");
        r.Seek(start + headerSize);
        e.data = r.Bytes(dataSize);
        if (!r.ok())
            return Fail<std::vector<ResourceEntry>>(error, "resource data at offset " +
                                                               std::to_string(start) + " is cut short");
        // The padding after the last entry may be left out.
        if (((r.pos() + 3) & ~size_t(3)) >= bytes.size())
            r.Seek(bytes.size());
        else
            r.AlignDword();
        // The leading entry with no type and no data only marks the format.
        if (!(e.type.kind == ResId::Ordinal && e.type.ordinal == 0 && dataSize == 0))
            entries.push_back(std::move(e));
    }
    return entries;
}

namespace {

struct PeImage {
    const std::string &bytes;
    struct Section {
        uint32_t va, size, raw, rawSize;
    };
    std::vector<Section> sections;

    // File offset of an RVA, or SIZE_MAX.
    size_t Offset(uint32_t rva) const
    {
        for (const Section &s : sections) {
            uint32_t span = s.size > s.rawSize ? s.size : s.rawSize;
            if (rva >= s.va && rva - s.va < span && rva - s.va < s.rawSize)
                return size_t(s.raw) + (rva - s.va);
        }
        return SIZE_MAX;
    }
};

// One level of the resource directory tree: its entries as (id, offset, isDirectory).
struct DirEntry {
    ResId id;
    uint32_t offset;
    bool directory;
};

bool ReadDirectory(const std::string &bytes, size_t base, size_t at, std::vector<DirEntry> &out)
{
    Reader r(bytes, 0);
    r.Seek(base + at + 12);
    uint16_t named = r.U16();
    uint16_t ids = r.U16();
    for (int i = 0; i < named + ids && r.ok(); i++) {
        uint32_t name = r.U32();
        uint32_t target = r.U32();
        DirEntry e;
        if (name & 0x80000000u) {
            Reader n(bytes, 0);
            n.Seek(base + (name & 0x7FFFFFFFu));
            e.id = ResId::MakeName(n.Counted());
            if (!n.ok())
                return false;
        } else {
            e.id = ResId::MakeOrdinal(uint16_t(name));
        }
        e.directory = (target & 0x80000000u) != 0;
        e.offset = target & 0x7FFFFFFFu;
        out.push_back(e);
    }
    return r.ok();
}

} // namespace

std::optional<std::vector<ResourceEntry>> ParsePeResources(const std::string &bytes,
                                                           std::string *error)
{
    using Result = std::vector<ResourceEntry>;
    Reader r(bytes);
    if (r.U16() != 0x5A4D)
        return Fail<Result>(error, "not an MZ executable");
    r.Seek(0x3C);
    uint32_t pe = r.U32();
    r.Seek(pe);
    if (r.U32() != 0x00004550)
        return Fail<Result>(error, "no PE signature");
    r.U16(); // machine
    uint16_t sectionCount = r.U16();
    r.Seek(pe + 20);
    uint16_t optionalSize = r.U16();
    size_t optional = pe + 24;
    r.Seek(optional);
    uint16_t magic = r.U16();
    size_t dirs;
    if (magic == 0x10B)
        dirs = optional + 96;
    else if (magic == 0x20B)
        dirs = optional + 112;
    else
        return Fail<Result>(error, "unknown optional header");
    r.Seek(dirs - 4);
    uint32_t dirCount = r.U32();
    if (dirCount < 3)
        return Result();
    r.Seek(dirs + 2 * 8);
    uint32_t rsrcRva = r.U32();
    r.U32(); // size
    PeImage image{bytes, {}};
    r.Seek(optional + optionalSize);
    for (int i = 0; i < sectionCount && r.ok(); i++) {
        size_t s = r.pos();
        r.Seek(s + 8);
        PeImage::Section sec;
        sec.size = r.U32();
        sec.va = r.U32();
        sec.rawSize = r.U32();
        sec.raw = r.U32();
        image.sections.push_back(sec);
        r.Seek(s + 40);
    }
    if (!r.ok())
        return Fail<Result>(error, "PE headers cut short");
    if (rsrcRva == 0)
        return Result();
    size_t base = image.Offset(rsrcRva);
    if (base == SIZE_MAX)
        return Fail<Result>(error, "resource directory outside every section");

    Result entries;
    std::vector<DirEntry> types;
    if (!ReadDirectory(bytes, base, 0, types))
        return Fail<Result>(error, "resource directory cut short");
    for (const DirEntry &t : types) {
        std::vector<DirEntry> names;
        if (!t.directory || !ReadDirectory(bytes, base, t.offset, names))
            return Fail<Result>(error, "resource type directory malformed");
        for (const DirEntry &n : names) {
            std::vector<DirEntry> langs;
            if (!n.directory || !ReadDirectory(bytes, base, n.offset, langs))
                return Fail<Result>(error, "resource name directory malformed");
            for (const DirEntry &l : langs) {
                Reader d(bytes, 0);
                d.Seek(base + l.offset);
                uint32_t rva = d.U32();
                uint32_t size = d.U32();
                ResourceEntry e;
                e.type = t.id;
                e.name = n.id;
                e.language = l.id.ordinal;
                e.codePage = d.U32();
                size_t at = image.Offset(rva);
                if (!d.ok() || l.directory || at == SIZE_MAX)
                    return Fail<Result>(error, "resource data entry malformed");
                Reader data(bytes, 0);
                data.Seek(at);
                e.data = data.Bytes(size);
                if (!data.ok())
                    return Fail<Result>(error, "resource data cut short");
                entries.push_back(std::move(e));
            }
        }
    }
    return entries;
}

const ResourceEntry *FindResource(const std::vector<ResourceEntry> &entries, const ResId &type,
                                  const ResId &name)
{
    for (const ResourceEntry &e : entries) {
        if (e.type != type || e.name.kind != name.kind)
            continue;
        if (name.kind == ResId::Ordinal ? e.name.ordinal == name.ordinal
                                        : Upper(e.name.name) == Upper(name.name))
            return &e;
    }
    return nullptr;
}

std::optional<DialogTemplate> ParseDialogTemplate(const std::string &bytes, std::string *error)
{
    DialogTemplate t;
    Reader r(bytes);
    constexpr uint32_t kDsSetFont = 0x40; // also part of DS_SHELLFONT

    if (bytes.size() >= 4 && uint8_t(bytes[0]) == 1 && bytes[1] == 0 &&
        uint8_t(bytes[2]) == 0xFF && uint8_t(bytes[3]) == 0xFF) {
        t.extended = true;
        t.dlgVer = r.U16();
        t.signature = r.U16();
        t.helpId = r.U32();
        t.exStyle = r.U32();
        t.style = r.U32();
    } else {
        t.style = r.U32();
        t.exStyle = r.U32();
    }
    t.itemCount = r.U16();
    t.x = r.S16();
    t.y = r.S16();
    t.cx = r.S16();
    t.cy = r.S16();
    t.menu = r.Id();
    t.windowClass = r.Id();
    t.title = r.Sz();
    t.hasFont = (t.style & kDsSetFont) != 0;
    if (t.hasFont) {
        t.pointSize = r.U16();
        if (t.extended) {
            t.weight = r.U16();
            t.italic = r.U8();
            t.charset = r.U8();
        }
        t.typeface = r.Sz();
    }
    if (!r.ok())
        return Fail<DialogTemplate>(error, "dialog header cut short");

    for (int i = 0; i < t.itemCount; i++) {
        DialogItem item;
        r.AlignDword();
        if (t.extended) {
            item.helpId = r.U32();
            item.exStyle = r.U32();
            item.style = r.U32();
        } else {
            item.style = r.U32();
            item.exStyle = r.U32();
        }
        item.x = r.S16();
        item.y = r.S16();
        item.cx = r.S16();
        item.cy = r.S16();
        item.id = t.extended ? r.U32() : r.U16();
        item.windowClass = r.Id();
        item.title = r.Title();
        uint16_t extra = r.U16();
        item.creationData = r.Bytes(extra);
        if (!r.ok())
            return Fail<DialogTemplate>(error, "dialog item " + std::to_string(i + 1) +
                                                   " cut short");
        t.items.push_back(std::move(item));
    }
    return t;
}

} // namespace sim
