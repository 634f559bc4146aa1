// What a program file is, read from its bytes, so that Tolvar can say before registering it: the
// processor, DLL or EXE, whether it registers itself, whether it is a .NET assembly, and which
// DLLs it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The exports by which a server registers and unregisters itself (looked up case-sensitively,
// as the loader does).
inline constexpr std::string_view kDllRegisterServer = "DllRegisterServer";
inline constexpr std::string_view kDllUnregisterServer = "DllUnregisterServer";
inline constexpr std::string_view kDllInstall = "DllInstall";

// Longest DLL name or forwarder text read whole; a longer one makes its directory invalid. Far
// beyond any module name the loader takes (MAX_PATH), and it keeps a hostile file's work small.
inline constexpr std::size_t kMaxNameLength = 512;

// What the loader appends to a forwarder's module that names no extension.
inline constexpr std::string_view kDllExtension = ".dll";

enum class PeMachine { X86, X64, Arm64, Other };

struct PeImage {
    PeMachine machine = PeMachine::Other;
    std::uint16_t machineCode = 0;   // the file header's Machine field as written
    bool is64Bit = false;            // PE32+ optional header
    bool isDll = false;              // IMAGE_FILE_DLL characteristic
    bool exportsRegister = false;    // DllRegisterServer among the exported names
    bool exportsUnregister = false;  // DllUnregisterServer
    bool exportsInstall = false;     // DllInstall
    bool hasClrHeader = false;       // a CLR (COM descriptor) directory: a .NET assembly
    // DLL names of the import directory, in order, as written: bytes of the ANSI code page, in
    // which the loader reads them. The list ends where the loader's does, at the first
    // descriptor without a name or without an address table. A name that equals an earlier one
    // without regard to ASCII case is dropped: the loader takes module names without regard to
    // case, so it is the same DLL.
    std::vector<std::string> imports;
    // DLL names of the delay-load import directory, up to the descriptor without a name, in the
    // same way; kept apart from `imports`, so a DLL may be in both.
    std::vector<std::string> delayImports;
    // Modules that the three exports above are forwarded to ("OTHER" of "OTHER.Func", with
    // ".dll" appended when the forwarder names no extension), so that a caller can resolve them
    // too; in the order of the export name table, duplicates dropped as for `imports`.
    std::vector<std::string> forwardedTo;

    bool operator==(const PeImage&) const = default;
};

// Nothing when the bytes are not a valid program file: no MZ or PE signature, an unknown
// optional header, a header, section, directory or name that lies outside the bytes (so a
// truncated file is none), sections out of address order, a DLL name that is empty or longer
// than kMaxNameLength, a forwarder without a module. Never reads outside `bytes`, and nothing
// past the headers and the sections' file data: bytes appended to a file change nothing.
//
// Exported names are read only as far as one of the three above could match, so a long
// decorated C++ name elsewhere in the table (4096 characters are allowed) is no fault.
std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> bytes);

// The processor a program file is for, from its first bytes alone (the headers' start); nothing
// when they are not a program file's, or too few.
std::optional<PeMachine> ReadPeMachine(std::span<const std::uint8_t> head);

}  // namespace tolvar
