// pe.h - a small reader of 32-bit PE images: the header fields and the
// import table that the Windows 95 checks look at.
#ifndef IDE_TESTS_PE_H
#define IDE_TESTS_PE_H

#include <cstdint>
#include <string>
#include <vector>

struct PeImport {
    std::string Dll;
    std::string Function; // empty when imported by ordinal
    bool ByOrdinal = false;
    uint32_t Ordinal = 0;
};

struct PeImage {
    uint32_t Machine = 0;
    uint32_t Subsystem = 0;
    uint32_t MajorOsVersion = 0;
    uint32_t MinorOsVersion = 0;
    uint32_t MajorSubsystemVersion = 0;
    uint32_t MinorSubsystemVersion = 0;
    bool HasDelayImports = false;
    std::vector<PeImport> Imports;
};

// Parse a PE32 image. On failure returns false and says why in error.
bool ParsePeImage(const std::vector<uint8_t> &bytes, PeImage *image, std::string *error);

#endif
