// A module loaded from memory with length 0 carries its own size: walk the XM structure.
#include "music/player/player_internal.h"

#include <cstring>

namespace {

constexpr char XM_SIGNATURE[] = "Extended Module: ";
constexpr size_t XM_SIGNATURE_LENGTH = sizeof XM_SIGNATURE - 1;
constexpr size_t HEADER_SIZE_OFFSET = 60; // the header size counts from here
constexpr size_t PATTERN_COUNT_OFFSET = 70;
constexpr size_t INSTRUMENT_COUNT_OFFSET = 72;
constexpr size_t PATTERN_PACKED_SIZE_OFFSET = 7;
constexpr size_t INSTRUMENT_SAMPLE_COUNT_OFFSET = 27;
constexpr size_t INSTRUMENT_SAMPLE_HEADER_OFFSET = 29;
constexpr uint32_t MAX_PATTERNS = 256;
constexpr uint32_t MAX_INSTRUMENTS = 128;
constexpr uint32_t MAX_SAMPLES = 16;
constexpr uint32_t MAX_HEADER_SIZE = 65536; // larger header fields mean a damaged file
constexpr size_t MAX_MODULE_SIZE = size_t(1) << 30;

uint32_t Read16(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t Read32(const uint8_t *p) {
    return Read16(p) | Read16(p + 2) << 16;
}

} // namespace

size_t XmModuleSize(const uint8_t *data) {
    if (data == nullptr || memcmp(data, XM_SIGNATURE, XM_SIGNATURE_LENGTH) != 0)
        return 0;
    const uint32_t headerSize = Read32(data + HEADER_SIZE_OFFSET);
    const uint32_t patterns = Read16(data + PATTERN_COUNT_OFFSET);
    const uint32_t instruments = Read16(data + INSTRUMENT_COUNT_OFFSET);
    if (headerSize > MAX_HEADER_SIZE || patterns > MAX_PATTERNS || instruments > MAX_INSTRUMENTS)
        return 0;
    size_t at = HEADER_SIZE_OFFSET + headerSize;
    for (uint32_t i = 0; i < patterns; ++i) {
        const uint32_t size = Read32(data + at);
        if (size > MAX_HEADER_SIZE)
            return 0;
        at += size + Read16(data + at + PATTERN_PACKED_SIZE_OFFSET);
    }
    for (uint32_t i = 0; i < instruments; ++i) {
        const uint32_t size = Read32(data + at);
        const uint32_t samples = Read16(data + at + INSTRUMENT_SAMPLE_COUNT_OFFSET);
        if (size > MAX_HEADER_SIZE || samples > MAX_SAMPLES)
            return 0;
        if (samples == 0) {
            at += size;
            continue;
        }
        const uint32_t sampleHeaderSize = Read32(data + at + INSTRUMENT_SAMPLE_HEADER_OFFSET);
        if (sampleHeaderSize > MAX_HEADER_SIZE)
            return 0;
        at += size;
        size_t sampleData = 0;
        for (uint32_t s = 0; s < samples; ++s)
            sampleData += Read32(data + at + size_t(s) * sampleHeaderSize);
        at += size_t(samples) * sampleHeaderSize + sampleData;
        if (at > MAX_MODULE_SIZE)
            return 0;
    }
    return at;
}
