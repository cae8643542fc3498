// corvath-probe <product code>: what msi.dll knows about one product, for the Wine tests.
//
// Prints, one per line: state=, VersionString=, ProductName=, Language=, then one patch= line per
// MsiEnumPatchesW entry in enumeration order, each followed by what MsiGetPatchInfoExW tells of
// it for the machine: patch-state=, patch-uninstallable=, patch-displayname=. A product that is not
// installed gives state=-1 and empty values; that is an answer, not an error, so the exit code is
// still 0. Exit 1 means msi.dll failed in a way that makes the listing incomplete, exit 2 a wrong
// command line.
//
// Output is UTF-8 with "\n" line ends: stdout is switched to binary so the C runtime adds no "\r".
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <msi.h>

#include <cstdio>
#include <string>

namespace {

enum class Lookup { Found, Absent, Failed };

struct LookupResult {
    Lookup lookup;
    std::wstring value;
};

bool IsBracedGuid(const char* text) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: msi.dll rejects anything else with
    // ERROR_INVALID_PARAMETER, which would otherwise read as a failed query.
    const char pattern[] = "{00000000-0000-0000-0000-000000000000}";
    for (size_t i = 0; i < sizeof(pattern) - 1; ++i) {
        const char c = text[i];
        if (c == '\0') {
            return false;
        }
        const bool want_hex = pattern[i] == '0';
        const bool is_hex =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (want_hex ? !is_hex : c != pattern[i]) {
            return false;
        }
    }
    return text[sizeof(pattern) - 1] == '\0';
}

std::wstring Widen(const char* ascii) {
    std::wstring wide;
    for (const char* c = ascii; *c != '\0'; ++c) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    }
    return wide;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

// Unknown product or property is an empty value; anything else means the answer is unreliable.
LookupResult GetProductInfo(const std::wstring& product_code, const wchar_t* property) {
    std::wstring buffer(64, L'\0');
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const UINT rc = MsiGetProductInfoW(product_code.c_str(), property, buffer.data(), &length);
        if (rc == ERROR_MORE_DATA) {
            buffer.assign(static_cast<size_t>(length) + 1, L'\0');
            continue;
        }
        if (rc == ERROR_SUCCESS) {
            buffer.resize(length);
            return {Lookup::Found, buffer};
        }
        if (rc == ERROR_UNKNOWN_PRODUCT || rc == ERROR_UNKNOWN_PROPERTY) {
            return {Lookup::Absent, {}};
        }
        std::fprintf(stderr, "corvath-probe: MsiGetProductInfoW(%s) failed: %u\n",
                     ToUtf8(property).c_str(), rc);
        return {Lookup::Failed, {}};
    }
}

void PrintLine(const char* key, const std::wstring& value) {
    std::printf("%s=%s\n", key, ToUtf8(value).c_str());
}

// An answer that is not there reads as an empty value: the line is always printed.
void PrintPatchInfo(const std::wstring& product_code, const wchar_t* patch_code) {
    const struct {
        const char* key;
        const wchar_t* property;
    } fields[] = {
        {"patch-state", INSTALLPROPERTY_PATCHSTATE},
        {"patch-uninstallable", INSTALLPROPERTY_UNINSTALLABLE},
        {"patch-displayname", INSTALLPROPERTY_DISPLAYNAME},
    };
    for (const auto& field : fields) {
        wchar_t value[512] = {};
        DWORD length = 512;
        MsiGetPatchInfoExW(patch_code, product_code.c_str(), nullptr, MSIINSTALLCONTEXT_MACHINE,
                           field.property, value, &length);
        PrintLine(field.key, value);
    }
}

// Returns false when the enumeration stopped on an error rather than at its end.
bool PrintPatches(const std::wstring& product_code) {
    std::wstring transforms(256, L'\0');
    for (DWORD index = 0;;) {
        wchar_t patch_code[39] = {};
        DWORD transforms_length = static_cast<DWORD>(transforms.size());
        const UINT rc = MsiEnumPatchesW(product_code.c_str(), index, patch_code, transforms.data(),
                                        &transforms_length);
        if (rc == ERROR_MORE_DATA) {
            // Same index again with room for the transform list.
            transforms.assign(static_cast<size_t>(transforms_length) + 1, L'\0');
            continue;
        }
        if (rc == ERROR_NO_MORE_ITEMS || rc == ERROR_UNKNOWN_PRODUCT) {
            return true;
        }
        if (rc != ERROR_SUCCESS) {
            std::fprintf(stderr, "corvath-probe: MsiEnumPatchesW(index %lu) failed: %u\n",
                         static_cast<unsigned long>(index), rc);
            return false;
        }
        PrintLine("patch", patch_code);
        PrintPatchInfo(product_code, patch_code);
        ++index;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !IsBracedGuid(argv[1])) {
        std::fprintf(stderr, "usage: corvath-probe {PRODUCT-CODE-GUID}\n");
        return 2;
    }
    _setmode(_fileno(stdout), _O_BINARY);
    const std::wstring product_code = Widen(argv[1]);

    std::printf("state=%d\n", static_cast<int>(MsiQueryProductStateW(product_code.c_str())));
    bool complete = true;
    const struct {
        const char* key;
        const wchar_t* property;
    } fields[] = {
        {"VersionString", INSTALLPROPERTY_VERSIONSTRING},
        {"ProductName", INSTALLPROPERTY_PRODUCTNAME},
        {"Language", INSTALLPROPERTY_LANGUAGE},
    };
    for (const auto& field : fields) {
        const LookupResult result = GetProductInfo(product_code, field.property);
        complete = complete && result.lookup != Lookup::Failed;
        PrintLine(field.key, result.value);
    }
    complete = PrintPatches(product_code) && complete;
    std::fflush(stdout);
    return complete ? 0 : 1;
}
