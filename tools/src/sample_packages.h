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

struct SampleInputs {
    std::vector<std::string> targets; // in the order property 7 lists them
    Bytes exe;                        // the new corvath.exe
};

struct SamplePackage {
    Bytes package;
    std::uint64_t data_size = 0;
};

// The sample package of exactly `size` bytes, one transform pair per target.
std::optional<SamplePackage> build_sample_package(const SampleInputs& inputs, std::uint64_t size,
                                                  std::string& error);

// A target list of exactly `length` characters: the real targets first, then made-up codes,
// then one shorter braced filler entry; nothing when `length` is too short for the targets.
std::optional<std::string> target_list_of_length(const std::vector<std::string>& targets,
                                                 std::size_t length);

struct EdgePackage {
    std::string file_name;
    Bytes bytes;
};

// Every edge package; `sample` is the finished sample package (truncated for one of them).
std::optional<std::vector<EdgePackage>>
build_edge_packages(const SampleInputs& inputs, const Bytes& sample, std::string& error);

} // namespace corvath::patchkit
