// The sample service pack and the edge packages derived from it.
#pragma once

#include "byte_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvath::patchkit {

// Deterministic text of exactly `size` bytes standing in for the product's data file.
Bytes make_data_file(std::uint64_t size, std::string_view version);
// The same text written to `path` as it is made; false when it cannot be written.
bool write_data_file(const std::string& path, std::uint64_t size, std::string_view version);

struct SampleInputs {
    std::vector<std::string> targets; // in the order property 7 lists them
    Bytes exe;                        // the new corvath.exe
};

struct SamplePackage {
    std::uint64_t size = 0;
    std::uint64_t data_size = 0;
};

// The sample package of exactly `size` bytes, one transform pair per target, written to `path`
// as it is made: a package of gigabytes needs a few megabytes of memory, and scratch files
// beside `path` of the payload's size.
std::optional<SamplePackage> build_sample_package(const SampleInputs& inputs, std::uint64_t size,
                                                  const std::string& path, std::string& error);

// A target list of exactly `length` characters: the real targets first, then made-up codes,
// then one shorter braced filler entry; nothing when `length` is too short for the targets.
std::optional<std::string> target_list_of_length(const std::vector<std::string>& targets,
                                                 std::size_t length);

// The small update for `targets` (products at version 1.1.1): it replaces corvath.dat with
// `data` and leaves the version as it is; a second pair per target does the same for 2.1.1
// ("<prefix>_01" and "<prefix>_01_211", each with its "#").
std::optional<Bytes> build_small_update_package(const std::vector<std::string>& targets,
                                                const Bytes& data, std::string& error);

struct EdgePackage {
    std::string file_name;
    Bytes bytes;
};

// Every edge package; `sample` is the finished sample package's first half (the truncated one).
std::optional<std::vector<EdgePackage>>
build_edge_packages(const SampleInputs& inputs, const Bytes& sample_half, std::string& error);

} // namespace corvath::patchkit
