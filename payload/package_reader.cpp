#include "payload/package_reader.h"

#include "payload/resource_store.h"
#include "platform/resources.h"
#include "platform/system.h"

#include <algorithm>

namespace payload {

bool ReadFully(platform::File& file, std::byte* buffer, std::size_t length) {
    constexpr std::uint32_t kErrorHandleEof = 38;
    while (length > 0) {
        std::size_t read = 0;
        if (!platform::ReadFromFile(file, buffer, length, read)) {
            return false;
        }
        if (read == 0) {
            platform::SetLastError(kErrorHandleEof);
            return false;
        }
        buffer += read;
        length -= read;
    }
    return true;
}

bool PackageReader::Open(std::uint32_t oneBlockLimit) {
    oneBlockLimit_ = oneBlockLimit;
    const platform::ResourceRef package = FindEmbeddedPackage();
    size_ = ResourceSize(package);
    view_ = ResourceBytes(package);
    done_ = 0;
    file_.Close();
    if (size_ == 0 || view_ == nullptr) {
        return false;
    }
    std::uint64_t offset = 0;
    if (size_ > oneBlockLimit_ && platform::OpenResourceFile(package, file_, offset)) {
        if (!platform::SeekTo(file_, offset)) {
            file_.Close();
        } else {
            buffer_.resize(kPackageBlock);
        }
    }
    return true;
}

bool PackageReader::Next(const std::byte*& block, std::size_t& length) {
    const std::uint64_t left = size_ - done_;
    length = static_cast<std::size_t>(
        std::min<std::uint64_t>(left, size_ <= oneBlockLimit_ ? size_ : kPackageBlock));
    if (length == 0) {
        block = nullptr;
        return true;
    }
    if (file_.IsOpen()) {
        if (!ReadFully(file_, buffer_.data(), length)) {
            return false;
        }
        block = buffer_.data();
    } else {
        block = view_ + done_;
    }
    done_ += length;
    return true;
}

} // namespace payload
