#pragma once
// Little-endian cursor over a byte buffer, for the binary mesh and skeleton
// formats. Every read checks the bytes left first: a read that would run past
// the end returns false and leaves the cursor where it was, so a loader can
// refuse a short file without ever touching memory beyond it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class BinaryReader {
  public:
    BinaryReader(const unsigned char* data, std::size_t size) : data(data), size(size) {}
    explicit BinaryReader(const std::vector<unsigned char>& bytes)
        : BinaryReader(bytes.data(), bytes.size()) {}

    std::size_t remaining() const { return size - offset; }
    std::size_t position() const { return offset; }

    bool readU32(std::uint32_t& value) {
        if (remaining() < 4) {
            return false;
        }
        const unsigned char* p = data + offset;
        value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        offset += 4;
        return true;
    }

    bool readF32(float& value) {
        std::uint32_t bits = 0;
        if (!readU32(bits)) {
            return false;
        }
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }

    // count consecutive floats; all or nothing.
    bool readF32s(float* values, std::size_t count) {
        if (remaining() / 4 < count) {
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            readF32(values[i]);
        }
        return true;
    }

    // A NUL-terminated string; the NUL is consumed but not stored. False when
    // no NUL is left in the buffer.
    bool readString(std::string& value) {
        if (remaining() == 0) {
            return false;
        }
        const void* nul = std::memchr(data + offset, 0, remaining());
        if (nul == nullptr) {
            return false;
        }
        const std::size_t length = static_cast<const unsigned char*>(nul) - (data + offset);
        value.assign(reinterpret_cast<const char*>(data + offset), length);
        offset += length + 1;
        return true;
    }

  private:
    const unsigned char* data;
    std::size_t size;
    std::size_t offset = 0;
};
