#include "tools/xmgen/xm_writer.h"

#include <stdexcept>

namespace xm {

namespace {

constexpr uint16_t XM_VERSION = 0x0104;
constexpr uint32_t HEADER_SIZE = 276; // counted from the header-size field itself
constexpr uint32_t PATTERN_HEADER_SIZE = 9;
constexpr uint32_t INSTRUMENT_HEADER_SIZE = 263;
constexpr uint32_t EMPTY_INSTRUMENT_HEADER_SIZE = 29;
constexpr uint32_t SAMPLE_HEADER_SIZE = 40;
constexpr size_t MODULE_NAME_LENGTH = 20;
constexpr size_t TRACKER_NAME_LENGTH = 20;
constexpr size_t INSTRUMENT_NAME_LENGTH = 22;
constexpr size_t SAMPLE_NAME_LENGTH = 22;
constexpr size_t ORDER_TABLE_LENGTH = 256;
constexpr size_t MAX_INSTRUMENTS = 128;
constexpr size_t MAX_SAMPLES_PER_INSTRUMENT = 16;
constexpr uint8_t PACKED_CELL = 0x80;
constexpr uint8_t SAMPLE_TYPE_16BIT = 0x10;
constexpr uint16_t MAX_ENVELOPE_VALUE = 64;

void Fail(const std::string &what) {
    throw std::invalid_argument("XmWrite: " + what);
}

void Put8(std::vector<uint8_t> &out, unsigned value) {
    out.push_back(uint8_t(value));
}

void Put16(std::vector<uint8_t> &out, unsigned value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// Fixed-width text field, padded with zeros; a text that does not fit is an error rather
// than silently cut.
void PutText(std::vector<uint8_t> &out, const std::string &text, size_t width, const char *what) {
    if (text.size() > width)
        Fail(std::string(what) + " \"" + text + "\" longer than " + std::to_string(width));
    out.insert(out.end(), text.begin(), text.end());
    out.insert(out.end(), width - text.size(), 0);
}

void CheckPattern(const Module &module, const Pattern &pattern, size_t index) {
    const std::string name = "pattern " + std::to_string(index);
    if (pattern.rows < 1 || pattern.rows > MAX_ROWS)
        Fail(name + " has " + std::to_string(pattern.rows) + " rows");
    if (pattern.channels != module.channels)
        Fail(name + " has " + std::to_string(pattern.channels) + " channels, module " +
             std::to_string(module.channels));
    if (pattern.cells.size() != size_t(pattern.rows) * size_t(pattern.channels))
        Fail(name + " cell count does not match rows x channels");
    for (const Cell &cell : pattern.cells) {
        if (cell.note > NOTE_OFF)
            Fail(name + " has note byte " + std::to_string(cell.note));
        if (cell.instrument > module.instruments.size())
            Fail(name + " names instrument " + std::to_string(cell.instrument));
    }
}

// Each cell is either five raw bytes or a flag byte (0x80 | which fields follow) and the
// fields present. A raw note byte never has bit 7 set, which keeps the two forms apart.
void PutPattern(std::vector<uint8_t> &out, const Pattern &pattern) {
    std::vector<uint8_t> packed;
    for (const Cell &cell : pattern.cells) {
        const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                   cell.param};
        uint8_t flags = PACKED_CELL;
        for (int i = 0; i < 5; ++i)
            if (fields[i] != 0)
                flags |= uint8_t(1 << i);
        if (flags == 0x9F) {
            packed.insert(packed.end(), fields, fields + 5);
            continue;
        }
        packed.push_back(flags);
        for (int i = 0; i < 5; ++i)
            if (fields[i] != 0)
                packed.push_back(fields[i]);
    }
    if (packed.size() > 0xFFFF)
        Fail("packed pattern larger than 65535 bytes");
    Put32(out, PATTERN_HEADER_SIZE);
    Put8(out, 0); // packing type
    Put16(out, unsigned(pattern.rows));
    Put16(out, unsigned(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
}

void CheckEnvelope(const Envelope &envelope, const std::string &name) {
    const int count = int(envelope.points.size());
    if (count > MAX_ENVELOPE_POINTS)
        Fail(name + " has more than 12 points");
    if (envelope.on && count == 0)
        Fail(name + " is on but has no points");
    for (int i = 0; i < count; ++i) {
        if (envelope.points[i][1] > MAX_ENVELOPE_VALUE)
            Fail(name + " value above 64");
        if (i > 0 && envelope.points[i][0] <= envelope.points[i - 1][0])
            Fail(name + " ticks do not rise");
    }
    if (envelope.sustain >= count)
        Fail(name + " sustain point outside the envelope");
    if ((envelope.loopStart < 0) != (envelope.loopEnd < 0))
        Fail(name + " loop needs both a start and an end");
    if (envelope.loopStart >= 0 &&
        (envelope.loopEnd >= count || envelope.loopStart > envelope.loopEnd))
        Fail(name + " loop outside the envelope");
}

void PutEnvelopePoints(std::vector<uint8_t> &out, const Envelope &envelope) {
    for (int i = 0; i < MAX_ENVELOPE_POINTS; ++i) {
        const bool used = i < int(envelope.points.size());
        Put16(out, used ? envelope.points[i][0] : 0);
        Put16(out, used ? envelope.points[i][1] : 0);
    }
}

unsigned EnvelopeType(const Envelope &envelope) {
    return (envelope.on ? 1u : 0u) | (envelope.sustain >= 0 ? 2u : 0u) |
           (envelope.loopStart >= 0 ? 4u : 0u);
}

void CheckSample(const Sample &sample, const std::string &name) {
    if (sample.volume > 64)
        Fail(name + " volume above 64");
    if (sample.loop == Loop::None)
        return;
    if (sample.loopLength == 0)
        Fail(name + " loops over no frames");
    if (uint64_t(sample.loopStart) + sample.loopLength > sample.data.size())
        Fail(name + " loop runs past the end of the data");
}

void PutSampleHeader(std::vector<uint8_t> &out, const Sample &sample) {
    const uint32_t frameBytes = sample.sixteenBit ? 2 : 1;
    const bool looped = sample.loop != Loop::None;
    Put32(out, uint32_t(sample.data.size()) * frameBytes);
    Put32(out, looped ? sample.loopStart * frameBytes : 0);
    Put32(out, looped ? sample.loopLength * frameBytes : 0);
    Put8(out, sample.volume);
    Put8(out, uint8_t(sample.finetune));
    unsigned type = sample.loop == Loop::Forward ? 1u : sample.loop == Loop::PingPong ? 2u : 0u;
    if (sample.sixteenBit)
        type |= SAMPLE_TYPE_16BIT;
    Put8(out, type);
    Put8(out, sample.panning);
    Put8(out, uint8_t(sample.relativeNote));
    Put8(out, 0); // reserved
    PutText(out, sample.name, SAMPLE_NAME_LENGTH, "sample name");
}

// Sample data are stored as differences between neighbouring values, wrapping.
void PutSampleData(std::vector<uint8_t> &out, const Sample &sample) {
    int previous = 0;
    for (int16_t value : sample.data) {
        if (sample.sixteenBit) {
            Put16(out, unsigned(value - previous) & 0xFFFF);
            previous = value;
        } else {
            const int byte = value >> 8;
            Put8(out, unsigned(byte - previous) & 0xFF);
            previous = byte;
        }
    }
}

void PutInstrument(std::vector<uint8_t> &out, const Instrument &instrument, size_t index) {
    const std::string name = "instrument " + std::to_string(index + 1);
    if (instrument.samples.size() > MAX_SAMPLES_PER_INSTRUMENT)
        Fail(name + " has more than 16 samples");
    for (uint8_t s : instrument.noteToSample)
        if (!instrument.samples.empty() && s >= instrument.samples.size())
            Fail(name + " maps a note to a missing sample");
    CheckEnvelope(instrument.volumeEnvelope, name + " volume envelope");
    CheckEnvelope(instrument.panningEnvelope, name + " panning envelope");
    for (size_t s = 0; s < instrument.samples.size(); ++s)
        CheckSample(instrument.samples[s], name + " sample " + std::to_string(s));

    const size_t start = out.size();
    const bool empty = instrument.samples.empty();
    Put32(out, empty ? EMPTY_INSTRUMENT_HEADER_SIZE : INSTRUMENT_HEADER_SIZE);
    PutText(out, instrument.name, INSTRUMENT_NAME_LENGTH, "instrument name");
    Put8(out, 0); // type
    Put16(out, unsigned(instrument.samples.size()));
    if (empty)
        return; // the rest of the header exists only for instruments with samples
    Put32(out, SAMPLE_HEADER_SIZE);
    out.insert(out.end(), instrument.noteToSample.begin(), instrument.noteToSample.end());
    PutEnvelopePoints(out, instrument.volumeEnvelope);
    PutEnvelopePoints(out, instrument.panningEnvelope);
    const Envelope *envelopes[2] = {&instrument.volumeEnvelope, &instrument.panningEnvelope};
    for (const Envelope *e : envelopes)
        Put8(out, unsigned(e->points.size()));
    for (const Envelope *e : envelopes) {
        Put8(out, e->sustain >= 0 ? unsigned(e->sustain) : 0);
        Put8(out, e->loopStart >= 0 ? unsigned(e->loopStart) : 0);
        Put8(out, e->loopEnd >= 0 ? unsigned(e->loopEnd) : 0);
    }
    for (const Envelope *e : envelopes)
        Put8(out, EnvelopeType(*e));
    Put8(out, instrument.vibratoType);
    Put8(out, instrument.vibratoSweep);
    Put8(out, instrument.vibratoDepth);
    Put8(out, instrument.vibratoRate);
    Put16(out, instrument.fadeout);
    out.resize(start + INSTRUMENT_HEADER_SIZE, 0); // reserved tail of the header

    for (const Sample &sample : instrument.samples)
        PutSampleHeader(out, sample);
    for (const Sample &sample : instrument.samples)
        PutSampleData(out, sample);
}

} // namespace

Pattern EmptyPattern(int rows, int channels) {
    Pattern pattern;
    pattern.rows = rows;
    pattern.channels = channels;
    pattern.cells.assign(size_t(rows > 0 ? rows : 0) * size_t(channels > 0 ? channels : 0), Cell{});
    return pattern;
}

std::vector<uint8_t> XmWrite(const Module &module) {
    if (module.channels < 1 || module.channels > MAX_CHANNELS)
        Fail("channel count " + std::to_string(module.channels));
    if (module.order.empty() || module.order.size() > ORDER_TABLE_LENGTH)
        Fail("order table length " + std::to_string(module.order.size()));
    if (module.restart < 0 || size_t(module.restart) >= module.order.size())
        Fail("restart position outside the order table");
    if (module.patterns.empty() || module.patterns.size() > 256)
        Fail("pattern count " + std::to_string(module.patterns.size()));
    if (module.instruments.size() > MAX_INSTRUMENTS)
        Fail("more than 128 instruments");
    if (module.tempo < 1 || module.tempo > 31)
        Fail("tempo " + std::to_string(module.tempo));
    if (module.bpm < 32 || module.bpm > 255)
        Fail("BPM " + std::to_string(module.bpm));
    for (uint8_t entry : module.order)
        if (entry >= module.patterns.size())
            Fail("order entry " + std::to_string(entry) + " names no pattern");
    for (size_t p = 0; p < module.patterns.size(); ++p)
        CheckPattern(module, module.patterns[p], p);

    std::vector<uint8_t> out;
    const std::string id = "Extended Module: ";
    out.insert(out.end(), id.begin(), id.end());
    PutText(out, module.name, MODULE_NAME_LENGTH, "module name");
    Put8(out, 0x1A);
    PutText(out, module.tracker, TRACKER_NAME_LENGTH, "tracker name");
    Put16(out, XM_VERSION);
    Put32(out, HEADER_SIZE);
    Put16(out, unsigned(module.order.size()));
    Put16(out, unsigned(module.restart));
    Put16(out, unsigned(module.channels));
    Put16(out, unsigned(module.patterns.size()));
    Put16(out, unsigned(module.instruments.size()));
    Put16(out, module.flags);
    Put16(out, unsigned(module.tempo));
    Put16(out, unsigned(module.bpm));
    out.insert(out.end(), module.order.begin(), module.order.end());
    out.insert(out.end(), ORDER_TABLE_LENGTH - module.order.size(), 0);

    for (const Pattern &pattern : module.patterns)
        PutPattern(out, pattern);
    for (size_t i = 0; i < module.instruments.size(); ++i)
        PutInstrument(out, module.instruments[i], i);
    return out;
}

} // namespace xm
