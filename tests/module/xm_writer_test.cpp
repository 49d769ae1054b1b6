// The XM writer: byte layout checked directly, and the same files read back through libxmp.
#include "tools/xmgen/xm_writer.h"

#include <gtest/gtest.h>
#include <xmp.h>

#include <cstring>
#include <stdexcept>

namespace {

// Two channels, two patterns of 4 rows, one looped 16-bit and one plain 8-bit instrument.
xm::Module TinyModule() {
    xm::Module m;
    m.name = "tiny";
    m.channels = 2;
    m.tempo = 3;
    m.bpm = 155;
    m.restart = 1;
    m.order = {1, 0, 1};
    m.patterns = {xm::EmptyPattern(4, 2), xm::EmptyPattern(4, 2)};
    m.patterns[0].At(0, 0) = {xm::XmNote(4, 0), 1, 0x40, 0x0C, 0x20}; // every field: raw form
    m.patterns[0].At(1, 1) = {xm::XmNote(3, 7), 2, 0, 0, 0};
    m.patterns[0].At(3, 0) = {xm::NOTE_OFF, 0, 0, 0, 0};
    m.patterns[1].At(2, 1) = {0, 0, 0, 0x0F, 0x06};

    xm::Instrument lead;
    lead.name = "lead";
    xm::Sample wave;
    wave.name = "saw";
    for (int i = 0; i < 64; ++i)
        wave.data.push_back(int16_t(i * 1000 - 32000));
    wave.loop = xm::Loop::Forward;
    wave.loopStart = 16;
    wave.loopLength = 32;
    wave.volume = 48;
    wave.finetune = -20;
    wave.relativeNote = 12;
    wave.panning = 200;
    lead.samples = {wave};
    lead.volumeEnvelope = {{{0, 64}, {10, 32}, {40, 0}}, true, 1, -1, -1};
    lead.panningEnvelope = {{{0, 0}, {8, 64}}, true, -1, 0, 1};
    lead.fadeout = 512;
    lead.vibratoType = 1;
    lead.vibratoDepth = 4;
    lead.vibratoRate = 8;

    xm::Instrument hit;
    hit.name = "hit";
    xm::Sample click;
    click.sixteenBit = false;
    click.data = {0, 0x7F00, -0x8000, 0x1200, -0x0100};
    click.loop = xm::Loop::PingPong;
    click.loopStart = 1;
    click.loopLength = 3;
    hit.samples = {click};
    m.instruments = {lead, hit};
    return m;
}

struct LoadedModule {
    xmp_context context = xmp_create_context();
    xmp_module_info info{};
    int status = -1;
    explicit LoadedModule(std::vector<uint8_t> bytes) {
        status = xmp_load_module_from_memory(context, bytes.data(), long(bytes.size()));
        if (status == 0)
            xmp_get_module_info(context, &info);
    }
    ~LoadedModule() {
        if (status == 0)
            xmp_release_module(context);
        xmp_free_context(context);
    }
    const xmp_event &Event(int pattern, int channel, int row) const {
        const xmp_module *m = info.mod;
        return m->xxt[m->xxp[pattern]->index[channel]]->event[row];
    }
};

TEST(XmWriter, LibxmpReadsBackEveryField) {
    const xm::Module source = TinyModule();
    LoadedModule loaded(xm::XmWrite(source));
    ASSERT_EQ(0, loaded.status);
    const xmp_module *m = loaded.info.mod;
    EXPECT_STREQ("tiny", m->name);
    EXPECT_EQ(2, m->chn);
    EXPECT_EQ(2 + 1, m->pat); // libxmp appends one blank pattern of its own
    EXPECT_EQ(2, m->ins);
    EXPECT_EQ(3, m->len);
    EXPECT_EQ(1, m->rst);
    EXPECT_EQ(3, m->spd);
    EXPECT_EQ(155, m->bpm);
    EXPECT_EQ(1, m->xxo[0]);
    EXPECT_EQ(0, m->xxo[1]);

    // libxmp counts notes from C-0 of its own octave numbering, 12 above the file's.
    const xmp_event &full = loaded.Event(0, 0, 0);
    EXPECT_EQ(49 + 12, full.note);
    EXPECT_EQ(1, full.ins);
    EXPECT_EQ(0x40 - 0x10 + 1, full.vol); // libxmp keeps volume + 1 so that 0 means none
    EXPECT_EQ(0x20, full.fxp);
    EXPECT_EQ(44 + 12, loaded.Event(0, 1, 1).note);
    EXPECT_EQ(2, loaded.Event(0, 1, 1).ins);
    EXPECT_EQ(XMP_KEY_OFF, loaded.Event(0, 0, 3).note);
    EXPECT_EQ(0x0F, loaded.Event(1, 1, 2).fxt);
    EXPECT_EQ(0x06, loaded.Event(1, 1, 2).fxp);
    EXPECT_EQ(0, loaded.Event(1, 0, 2).note);

    const xmp_instrument &lead = m->xxi[0];
    EXPECT_STREQ("lead", lead.name);
    ASSERT_EQ(1, lead.nsm);
    EXPECT_EQ(48, lead.sub[0].vol);
    EXPECT_EQ(12, lead.sub[0].xpo);
    EXPECT_EQ(-20, lead.sub[0].fin);
    EXPECT_EQ(200, lead.sub[0].pan);
    EXPECT_EQ(1, lead.sub[0].vwf);
    EXPECT_EQ(4 * 4, lead.sub[0].vde); // libxmp keeps vibrato depth in quarter steps
    EXPECT_EQ(8, lead.sub[0].vra);
    ASSERT_EQ(3, lead.aei.npt);
    EXPECT_EQ(XMP_ENVELOPE_ON | XMP_ENVELOPE_SUS, lead.aei.flg);
    EXPECT_EQ(1, lead.aei.sus);
    EXPECT_EQ(10, lead.aei.data[2]);
    EXPECT_EQ(32, lead.aei.data[3]);
    EXPECT_EQ(XMP_ENVELOPE_ON | XMP_ENVELOPE_LOOP, lead.pei.flg);
    EXPECT_EQ(1, lead.pei.lpe);

    const xmp_sample &wave = m->xxs[lead.sub[0].sid];
    EXPECT_EQ(64, wave.len);
    EXPECT_EQ(16, wave.lps);
    EXPECT_EQ(48, wave.lpe);
    EXPECT_EQ(XMP_SAMPLE_16BIT | XMP_SAMPLE_LOOP, wave.flg & 0x07);
    // Frames past the loop end are not compared: libxmp overwrites them with the loop's
    // start so that interpolation across the loop seam is smooth.
    const int16_t *pcm = reinterpret_cast<const int16_t *>(wave.data);
    for (int i = 0; i < 48; ++i)
        ASSERT_EQ(source.instruments[0].samples[0].data[i], pcm[i]) << "frame " << i;

    const xmp_sample &click = m->xxs[m->xxi[1].sub[0].sid];
    EXPECT_EQ(5, click.len);
    EXPECT_EQ(XMP_SAMPLE_LOOP | XMP_SAMPLE_LOOP_BIDIR, click.flg & 0x07);
    const int8_t *bytes = reinterpret_cast<const int8_t *>(click.data);
    const int8_t expected[5] = {0, 0x7F, -0x80, 0x12, -1};
    ASSERT_EQ(4, click.lpe);
    for (int i = 0; i < 4; ++i) // again only up to the loop end
        EXPECT_EQ(expected[i], bytes[i]) << "frame " << i;
}

TEST(XmWriter, InstrumentWithoutSamplesKeepsTheFileReadable) {
    xm::Module m = TinyModule();
    xm::Instrument silent;
    silent.name = "silent";
    m.instruments.insert(m.instruments.begin(), silent);
    m.patterns[0].At(0, 0).instrument = 2;
    m.patterns[0].At(1, 1).instrument = 3;
    const std::vector<uint8_t> bytes = xm::XmWrite(m);
    LoadedModule loaded(bytes);
    ASSERT_EQ(0, loaded.status);
    EXPECT_EQ(3, loaded.info.mod->ins);
    EXPECT_EQ(0, loaded.info.mod->xxi[0].nsm);
    EXPECT_STREQ("lead", loaded.info.mod->xxi[1].name);
    EXPECT_EQ(64, loaded.info.mod->xxs[loaded.info.mod->xxi[1].sub[0].sid].len);
}

TEST(XmWriter, RejectsModulesTheFormatCannotHold) {
    int line = 0;
    auto rejects = [&line](void (*breakIt)(xm::Module &)) {
        SCOPED_TRACE(++line);
        xm::Module m = TinyModule();
        breakIt(m);
        EXPECT_THROW(xm::XmWrite(m), std::invalid_argument);
    };
    rejects([](xm::Module &m) { m.order.push_back(2); });
    rejects([](xm::Module &m) { m.order.clear(); });
    rejects([](xm::Module &m) { m.restart = 3; });
    rejects([](xm::Module &m) { m.channels = 33; });
    rejects([](xm::Module &m) { m.patterns[1] = xm::EmptyPattern(4, 3); });
    rejects([](xm::Module &m) { m.patterns[1].cells.pop_back(); });
    rejects([](xm::Module &m) { m.patterns[0].At(0, 0).instrument = 3; });
    rejects([](xm::Module &m) { m.patterns[0].At(0, 0).note = 98; });
    rejects([](xm::Module &m) { m.name = "name of 21 characters"; });
    rejects([](xm::Module &m) { m.instruments[0].samples[0].loopLength = 49; });
    rejects([](xm::Module &m) { m.instruments[0].samples[0].loopLength = 0; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.points[1][0] = 0; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.points[1][1] = 65; });
    rejects([](xm::Module &m) { m.instruments[0].volumeEnvelope.sustain = 3; });
    rejects([](xm::Module &m) { m.instruments[0].panningEnvelope.loopEnd = -1; });
    rejects([](xm::Module &m) { m.instruments[0].noteToSample[10] = 1; });
    // The limits themselves are accepted.
    xm::Module m = TinyModule();
    m.name = "twenty characters ok";
    m.instruments[0].samples[0].loopLength = 48;
    EXPECT_NO_THROW(xm::XmWrite(m));
}

} // namespace
