// dlgtemplate.h - reading compiled resources: the entries of a .res file or
// of a PE executable's resource section, and dialog templates in both
// formats (DLGTEMPLATE and DLGTEMPLATEEX) with every field they hold.
//
// The dialog engine of the simulated PC runs its dialogs from these, and
// the tests compare the programs' compiled templates field by field.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

constexpr uint16_t kRtDialog = 5;

// A resource type or name, a menu, a window class or a control's title as
// a template stores it: nothing (0x0000), an ordinal (0xFFFF, n) or a
// UTF-16 string (kept here in UTF-8).
struct ResId {
    enum Kind { None, Ordinal, Name } kind = None;
    uint16_t ordinal = 0;
    std::string name;

    static ResId MakeOrdinal(uint16_t n);
    static ResId MakeName(const std::string &s);
    bool operator==(const ResId &o) const;
    bool operator!=(const ResId &o) const { return !(*this == o); }
    std::string ToString() const; // "#5", "\"DIALOG_COMPLETE\"", "none"
};
inline void PrintTo(const ResId &r, std::ostream *os) { *os << r.ToString(); }

// One resource with its header fields (the PE form knows only type, name,
// language and code page; the other fields stay 0).
struct ResourceEntry {
    ResId type;
    ResId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    uint32_t dataVersion = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    uint32_t codePage = 0; // PE only
    std::string data;
};

// The entries of a .res file (the leading empty entry left out). Returns
// nullopt, with a reason in *error, on a malformed file.
std::optional<std::vector<ResourceEntry>> ParseResFile(const std::string &bytes,
                                                       std::string *error = nullptr);

// The resources of a PE executable (its resource data directory).
std::optional<std::vector<ResourceEntry>> ParsePeResources(const std::string &bytes,
                                                           std::string *error = nullptr);

// The first entry of the type whose name matches, ignoring case as Windows
// does (resource names are stored in upper case); nullptr when none.
const ResourceEntry *FindResource(const std::vector<ResourceEntry> &entries, const ResId &type,
                                  const ResId &name);

struct DialogItem {
    uint32_t helpId = 0;  // extended only
    uint32_t exStyle = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;      // the WORD of the standard format, the DWORD of the extended one
    ResId windowClass;    // ordinal 0x0080 button, 0x0081 edit, 0x0082 static, ...
    ResId title;
    std::string creationData;
};

struct DialogTemplate {
    bool extended = false;
    uint16_t dlgVer = 0;     // extended only: 1
    uint16_t signature = 0;  // extended only: 0xFFFF
    uint32_t helpId = 0;     // extended only
    uint32_t exStyle = 0;
    uint32_t style = 0;
    uint16_t itemCount = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    ResId menu;
    ResId windowClass;
    std::string title;
    bool hasFont = false;    // DS_SETFONT or DS_SHELLFONT
    uint16_t pointSize = 0;
    uint16_t weight = 0;     // extended only
    uint8_t italic = 0;      // extended only
    uint8_t charset = 0;     // extended only
    std::string typeface;
    std::vector<DialogItem> items;
};

// Parse a dialog template of either format. Returns nullopt, with a reason
// in *error, when the bytes end early or the header is not a template.
std::optional<DialogTemplate> ParseDialogTemplate(const std::string &bytes,
                                                  std::string *error = nullptr);

} // namespace sim
