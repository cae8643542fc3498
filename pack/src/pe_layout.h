// Where the fields the packer reads and changes lie in a PE32+ image's headers.
#pragma once

#include <cstdint>

namespace corvath::pack::pe {

inline constexpr std::uint32_t kLfanewOffset = 0x3C;
inline constexpr std::uint32_t kSignature = 0x00004550; // "PE\0\0"

// COFF header, after the signature.
inline constexpr std::uint32_t kCoffOffset = 4;
inline constexpr std::uint32_t kNumberOfSections = 2;
inline constexpr std::uint32_t kPointerToSymbolTable = 8;
inline constexpr std::uint32_t kNumberOfSymbols = 12;
inline constexpr std::uint32_t kSizeOfOptionalHeader = 16;
inline constexpr std::uint32_t kCoffSize = 20;

// Optional header (PE32+), after the COFF header.
inline constexpr std::uint32_t kOptionalOffset = kCoffOffset + kCoffSize;
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;
inline constexpr std::uint32_t kSizeOfInitializedData = 8;
inline constexpr std::uint32_t kSectionAlignment = 32;
inline constexpr std::uint32_t kFileAlignment = 36;
inline constexpr std::uint32_t kSizeOfImage = 56;
inline constexpr std::uint32_t kSizeOfHeaders = 60;
inline constexpr std::uint32_t kCheckSum = 64;
inline constexpr std::uint32_t kNumberOfRvaAndSizes = 108;
inline constexpr std::uint32_t kDataDirectories = 112;

inline constexpr std::uint32_t kDirectoryResource = 2;
inline constexpr std::uint32_t kDirectorySecurity = 4;
inline constexpr std::uint32_t kDirectoryRelocation = 5;

// Section header.
inline constexpr std::uint32_t kSectionHeaderSize = 40;
inline constexpr std::uint32_t kVirtualSize = 8;
inline constexpr std::uint32_t kVirtualAddress = 12;
inline constexpr std::uint32_t kSizeOfRawData = 16;
inline constexpr std::uint32_t kPointerToRawData = 20;
inline constexpr std::uint32_t kCharacteristics = 36;
inline constexpr std::uint32_t kInitializedData = 0x40; // IMAGE_SCN_CNT_INITIALIZED_DATA

// The streamed resource starts on a page of the file, so a run can map the package from it.
inline constexpr std::uint32_t kPage = 4096;

} // namespace corvath::pack::pe
