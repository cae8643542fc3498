#include "pack_run.h"

#include "deployment_sheet.h"
#include "pack_image.h"
#include "pack_resources.h"
#include "pack_signing.h"
#include "patch_record.h"
#include "pe_image.h"
#include "release_names.h"
#include "res_file.h"
#include "sha256.h"
#include "utf.h"

#include "msp/pack_check.h"
#include "msp/pack_detection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace corvath::pack {

namespace {

// Packs are written and read in blocks of this size: a few MiB of memory at any patch size.
constexpr std::size_t kBlockSize = 8u << 20;
constexpr std::size_t kSliceSize = 256u << 10;

void Say(const std::string& line) {
    std::printf("corvath-sp-pack: %s\n", line.c_str());
}

int Refuse(const std::string& line) {
    std::fflush(stdout);
    std::fprintf(stderr, "corvath-sp-pack: %s\n", line.c_str());
    return 1;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* OpenFile(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = OpenFile(path, false);
    if (file == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> block(1 << 16);
    bytes.clear();
    std::size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<long>(got));
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view text) {
    std::FILE* file = OpenFile(path, true);
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

bool EndsWithRes(const std::filesystem::path& path) {
    std::string extension = Utf8(path.extension());
    for (char& c : extension) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return extension == ".res";
}

std::optional<long long> SourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    const long long seconds = std::strtoll(text, &end, 10);
    if (*end != '\0') {
        return std::nullopt;
    }
    return seconds;
}

// A text option as the resources carry it; a refusal when it is not UTF-8.
std::optional<std::string> TextOption(const char* name, const std::optional<std::string>& value,
                                      std::optional<std::u16string>& text) {
    if (!value) {
        return std::nullopt;
    }
    text = utf16_from_utf8(*value);
    if (!text) {
        return std::string(name) + ": not UTF-8 text";
    }
    return std::nullopt;
}

// The records: the files given, or record 206 derived from the patch and the texts.
std::optional<std::string> MakeRecords(const PackOptions& options, const msp::PackCheck& check,
                                       std::uint64_t patchSize, PackFacts& facts) {
    std::uint16_t nextId = 206;
    for (const std::string& entry : options.records) {
        std::string file = entry;
        const auto equals = entry.find('=');
        if (equals != std::string::npos && equals > 0 &&
            entry.find_first_not_of("0123456789") == equals) {
            const unsigned long id = std::strtoul(entry.substr(0, equals).c_str(), nullptr, 10);
            if (id < 206 || id > 65535) {
                return "--record " + entry + ": record ids run from 206";
            }
            nextId = static_cast<std::uint16_t>(id);
            file = entry.substr(equals + 1);
        }
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(std::filesystem::path(std::u8string(file.begin(), file.end())),
                           bytes) ||
            bytes.empty()) {
            return "--record " + entry + ": cannot read the record (or it is empty)";
        }
        facts.records[nextId] = std::move(bytes);
        nextId = static_cast<std::uint16_t>(nextId + 1);
    }
    if (!options.records.empty() || options.no_records) {
        return std::nullopt;
    }

    PatchRecordFields fields;
    fields.product_code = check.detection.product_codes.empty()
                              ? std::string()
                              : check.detection.product_codes.front();
    fields.version = check.versions.target;
    fields.patch_code = check.patch_code;
    fields.package_size = patchSize;
    if (options.title) {
        fields.title = *options.title;
    } else if (check.display_name && is_single_line_ascii(*check.display_name) &&
               !check.display_name->empty()) {
        fields.title = *check.display_name;
        Say("title: \"" + fields.title + "\", the patch's DisplayName (--title to change)");
    } else {
        fields.title = "Corvath " + check.versions.target + " service pack";
        Say("title: \"" + fields.title + "\" (--title to change)");
    }
    if (options.description) {
        fields.description = *options.description;
    } else if (check.description && is_single_line_ascii(*check.description) &&
               !check.description->empty()) {
        fields.description = *check.description;
        Say("description: \"" + fields.description +
            "\", the patch's Description (--description to change)");
    } else {
        fields.description = "Brings Corvath to version " + check.versions.target + ".";
        Say("description: \"" + fields.description + "\" (--description to change)");
    }
    std::string error;
    auto record = format_patch_record(fields, error);
    if (!record) {
        return "record 206: " + error;
    }
    facts.records[206] = std::vector<std::uint8_t>(record->begin(), record->end());
    return std::nullopt;
}

std::optional<std::string> MakeTexts(const PackOptions& options, PackTexts& texts) {
    if (auto refusal = TextOption("--release", options.release, texts.release)) {
        return refusal;
    }
    if (!options.release_names.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!ReadWholeFile(options.release_names, bytes)) {
            return "--release-names " + Utf8(options.release_names) + ": cannot read it";
        }
        const std::string text(bytes.begin(), bytes.end());
        if (auto refusal = read_release_names(text, texts.release_by_language)) {
            return "--release-names " + Utf8(options.release_names) + ": " + *refusal;
        }
    }
    if (auto refusal = TextOption("--company", options.company, texts.company)) {
        return refusal;
    }
    if (auto refusal = TextOption("--product-name", options.product_name, texts.product_name)) {
        return refusal;
    }
    if (auto refusal =
            TextOption("--file-description", options.file_description, texts.file_description)) {
        return refusal;
    }
    if (auto refusal = TextOption("--copyright", options.copyright, texts.copyright)) {
        return refusal;
    }
    std::optional<std::string> date = options.build_date;
    if (!date) {
        if (const auto epoch = SourceDateEpoch()) {
            date = day_of_unix_time(*epoch);
        }
    }
    if (date) {
        texts.build_date = std::u16string(date->begin(), date->end());
    }
    return std::nullopt;
}

// The files an administrator needs beside the pack, named after it.
std::optional<std::string> WriteBesideFiles(const PackOptions& options,
                                            const msp::PackCheck& check, const PackFacts& facts) {
    const std::filesystem::path folder = options.output.parent_path();
    const std::string stem = Utf8(options.output.stem());
    SheetFacts sheet;
    sheet.pack_file_name = Utf8(options.output.filename());
    const auto first = facts.records.find(206);
    const std::string recordText = first == facts.records.end()
                                       ? std::string()
                                       : std::string(first->second.begin(), first->second.end());
    const auto title = recordText.find("PatchTitle=");
    if (title != std::string::npos) {
        sheet.title = recordText.substr(title + 11, recordText.find('\r', title) - title - 11);
    }
    sheet.sha256 = facts.sha256;
    sheet.patch_size = facts.patch_size;
    sheet.allows_removal = check.allows_removal;
    sheet.display_name = check.display_name;
    sheet.detection = check.detection;
    const std::pair<const char*, std::string> files[] = {
        {kSheetSuffix, deployment_sheet(sheet)},
        {kDetectionFactsSuffix, msp::detection_facts(check.detection)},
        {kDetectionScriptSuffix, msp::intune_detection_script(check.detection)},
        {kRequirementScriptSuffix, msp::intune_requirement_script(check.detection)},
    };
    for (const auto& [suffix, text] : files) {
        const std::filesystem::path path =
            folder / std::filesystem::path(std::u8string(stem.begin(), stem.end()) +
                                           std::u8string(suffix, suffix + std::strlen(suffix)));
        if (!WriteWholeFile(path, text)) {
            return "cannot write " + Utf8(path);
        }
    }
    return std::nullopt;
}

// Writes the pack to `path` in one pass over the patch. The resources after the patch are made
// again once its SHA-256 is known, with the same sizes.
std::optional<std::string> WritePack(const std::filesystem::path& path, bool asRes,
                                     const BaseImage& base, const ResourceTree& baseTree,
                                     PackFacts& facts, const PackTexts& texts,
                                     std::FILE* patch) {
    PackedResources packed;
    if (auto refusal = pack_resources(baseTree, facts, texts, packed)) {
        return refusal;
    }
    for (const std::string& line : packed.defaults_used) {
        Say(line);
    }
    PackLayout layout;
    if (!asRes) {
        if (auto refusal = lay_out_pack(base, packed.tree, layout)) {
            return refusal;
        }
    }

    PackOutput out;
    out.file = OpenFile(path, true);
    if (out.file == nullptr) {
        return "cannot create " + Utf8(path);
    }
    bool ok = false;
    if (asRes) {
        const std::vector<std::uint8_t> head = res_file_head(packed.tree);
        ok = write_pack_bytes(out, head.data(), head.size());
    } else {
        ok = write_pack_head(out, layout);
    }
    Sha256 hash;
    ok = sha256_begin(hash) && ok;
    std::vector<std::uint8_t> block(kBlockSize);
    std::uint64_t copied = 0;
    std::size_t got = 0;
    while (ok && (got = std::fread(block.data(), 1, block.size(), patch)) > 0) {
        // A slice at a time, so that the hash, the write and the checksum find it in the cache.
        for (std::size_t at = 0; ok && at < got; at += kSliceSize) {
            const std::size_t size = std::min(kSliceSize, got - at);
            ok = sha256_add(hash, block.data() + at, size) &&
                 write_pack_bytes(out, block.data() + at, size);
        }
        copied += got;
    }
    const std::string digest = sha256_end(hash);
    const bool readWhole = std::ferror(patch) == 0 && copied == facts.patch_size;
    if (ok && readWhole && !digest.empty()) {
        facts.sha256 = digest;
        PackedResources final;
        if (auto refusal = pack_resources(baseTree, facts, texts, final)) {
            std::fclose(out.file);
            return refusal;
        }
        ok = asRes ? write_res_tail(out, final.tree)
                   : write_pack_tail(out, base, layout, final.tree);
    }
    const bool closed = std::fclose(out.file) == 0;
    if (!readWhole) {
        return "the patch changed while it was packed, or could not be read: pack it again";
    }
    if (!ok || !closed || digest.empty()) {
        return "cannot write " + Utf8(path) + " (is the disk full?)";
    }
    return std::nullopt;
}

} // namespace

int run_packer(const PackOptions& options, const std::filesystem::path& packer_folder) {
    const std::filesystem::path basePath =
        options.base.empty() ? packer_folder / kBaseFileName : options.base;
    const bool asRes = EndsWithRes(basePath);
    if (asRes != EndsWithRes(options.output)) {
        return Refuse("a .res base makes a .res pack, and an .exe base an .exe pack");
    }

    std::vector<std::uint8_t> baseBytes;
    if (!ReadWholeFile(basePath, baseBytes)) {
        return Refuse(Utf8(basePath) + ": cannot read the base (--base names another)");
    }
    BaseImage base;
    ResourceTree baseTree;
    const auto unreadable = asRes ? read_res_file(baseBytes, baseTree)
                                  : read_base_image(std::move(baseBytes), base);
    if (unreadable) {
        return Refuse(Utf8(basePath) + ": " + *unreadable);
    }
    if (!asRes) {
        baseTree = base.resources;
    }
    if (auto refusal = base_refusal(baseTree)) {
        return Refuse(Utf8(basePath) + ": " + *refusal);
    }

    // The patch stays open from its check to its copy: what is packed is the file checked.
    std::FILE* patch = OpenFile(options.patch, false);
    if (patch == nullptr) {
        return Refuse(Utf8(options.patch) + ": cannot open the patch");
    }
    msp::VersionOptions versions;
    versions.target = options.target_version;
    versions.applicable = options.applicable_versions;
    const msp::PackCheck check = msp::check_pack_patch(options.patch, versions);
    for (const std::string& warning : check.warnings) {
        Say("warning: " + warning);
    }
    if (check.refusal) {
        std::fclose(patch);
        return Refuse(Utf8(options.patch) + ": " + *check.refusal);
    }
    for (const std::string& note : check.notes) {
        Say(note);
    }
    for (const std::string& line : msp::detection_summary(check.detection)) {
        Say(line);
    }

    std::error_code error;
    const std::uint64_t patchSize = std::filesystem::file_size(options.patch, error);
    PackFacts facts;
    facts.target_version = check.versions.target;
    facts.applicable_versions = check.versions.applicable;
    facts.patch_code = check.patch_code;
    facts.sha256 = std::string(64, '0');
    facts.upgraded_product_codes = check.versions.upgraded_products;
    facts.patch_size = static_cast<std::uint32_t>(patchSize);
    PackTexts texts;
    std::optional<std::string> refusal;
    if (error) {
        refusal = Utf8(options.patch) + ": cannot size the patch";
    }
    if (!refusal) {
        refusal = MakeRecords(options, check, patchSize, facts);
    }
    if (!refusal) {
        refusal = MakeTexts(options, texts);
    }
    if (!refusal && !options.sign_pkcs12.empty() && !can_sign()) {
        Say(*sign_image({}, {}, {}));
    }

    // Written under a new name and moved into place: a failure never leaves half a pack.
    std::filesystem::path partial = options.output;
    partial += ".partial";
    if (!refusal) {
        refusal = WritePack(partial, asRes, base, baseTree, facts, texts, patch);
    }
    std::fclose(patch);
    if (!refusal && base.had_signature) {
        Say("the base's signature does not cover the pack and was dropped: sign the pack");
    }
    std::filesystem::path finished = partial;
    if (!refusal && !options.sign_pkcs12.empty() && can_sign()) {
        SigningRequest request;
        request.pkcs12 = options.sign_pkcs12;
        request.timestamp_url = options.timestamp_url;
        request.time = SourceDateEpoch();
        finished = options.output;
        finished += ".signed";
        refusal = sign_image(request, partial, finished);
        std::filesystem::remove(partial, error);
    }
    if (!refusal) {
        std::filesystem::rename(finished, options.output, error);
        if (error) {
            // Where a rename does not replace a file (Windows' C runtime), the old pack goes first.
            std::filesystem::remove(options.output, error);
            std::filesystem::rename(finished, options.output, error);
        }
        if (error) {
            refusal = "cannot move the pack into place as " + Utf8(options.output);
        }
    }
    if (!refusal) {
        refusal = WriteBesideFiles(options, check, facts);
    }
    if (refusal) {
        std::filesystem::remove(partial, error);
        std::filesystem::remove(finished, error);
        return Refuse(*refusal);
    }
    Say("wrote " + Utf8(options.output));
    Say("brings " + facts.target_version + ", applies to " + facts.applicable_versions);
    Say("patch " + facts.patch_code + ", SHA-256 " + facts.sha256);
    return 0;
}

} // namespace corvath::pack
