#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace soil_climate::fuzz {

// Bytes served as a read-only file, so the fuzz targets drive the program's own readers.
class memory_file {
public:
    memory_file(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {
        // fmemopen refuses an empty buffer: serve one byte of white space instead.
        if (bytes_.empty()) {
            bytes_.push_back(' ');
        }
        file_ = fmemopen(bytes_.data(), bytes_.size(), "r");
    }
    ~memory_file() { std::fclose(file_); }
    memory_file(const memory_file&) = delete;
    memory_file& operator=(const memory_file&) = delete;

    std::FILE* get() const { return file_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::FILE* file_;
};

}  // namespace soil_climate::fuzz
