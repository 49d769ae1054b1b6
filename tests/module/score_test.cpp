// The score notation: what a track string turns into, and the mistakes it refuses.
#include "tools/xmgen/score.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const std::vector<score::KitSound> KIT = {{'k', 2, 49}, {'s', 6, 61}};

TEST(ScoreNotes, NamesMapToTheCellsNoteNumbers) {
    EXPECT_EQ(1, score::ParseNote("C0"));
    EXPECT_EQ(49, score::ParseNote("C4"));
    EXPECT_EQ(50, score::ParseNote("C#4"));
    EXPECT_EQ(58, score::ParseNote("A4"));
    EXPECT_EQ(48, score::ParseNote("Cb4")); // flat crosses the octave boundary downwards
    EXPECT_EQ(61, score::ParseNote("B#4")); // and sharp upwards
    EXPECT_EQ(96, score::ParseNote("B7"));
    for (const char *bad : {"H4", "C", "Cb0", "C8", "c4", "C4x", "C#"})
        EXPECT_THROW(score::ParseNote(bad), std::invalid_argument) << bad;
}

TEST(ScoreTracks, TokensLandOnTheirRowsWithTheirFields) {
    xm::Pattern p = xm::EmptyPattern(16, 4);
    score::WriteTrack(p, {1, 7, 2, "A4 . = | E5@40 k s@12:A04 .:302 C4i9"}, KIT);
    EXPECT_EQ(58, p.At(0, 1).note);
    EXPECT_EQ(7, p.At(0, 1).instrument);
    EXPECT_EQ(0, p.At(0, 1).volume); // no default volume: the sample's own
    EXPECT_EQ(0, p.At(2, 1).note);
    EXPECT_EQ(xm::NOTE_OFF, p.At(4, 1).note);
    EXPECT_EQ(0, p.At(4, 1).instrument); // key off carries no instrument
    EXPECT_EQ(0x10 + 40, p.At(6, 1).volume);
    EXPECT_EQ(49, p.At(8, 1).note); // kit sounds bring their own note and instrument
    EXPECT_EQ(2, p.At(8, 1).instrument);
    const xm::Cell &snare = p.At(10, 1);
    EXPECT_EQ(6, snare.instrument);
    EXPECT_EQ(0x10 + 12, snare.volume);
    EXPECT_EQ(10, snare.effect); // A
    EXPECT_EQ(0x04, snare.param);
    const xm::Cell &slide = p.At(12, 1);
    EXPECT_EQ(0, slide.note);
    EXPECT_EQ(0, slide.instrument);
    EXPECT_EQ(3, slide.effect);
    EXPECT_EQ(0x02, slide.param);
    EXPECT_EQ(9, p.At(14, 1).instrument);
    for (int row = 0; row < 16; ++row)
        for (int channel : {0, 2, 3})
            EXPECT_EQ(0, p.At(row, channel).note) << "row " << row << " channel " << channel;
}

TEST(ScoreTracks, ShortTextsRepeatAndRepeatCountsExpand) {
    xm::Pattern p = xm::EmptyPattern(16, 2);
    score::WriteTrack(p, {0, 0, 2, "k . s ."}, KIT);
    score::WriteTrack(p, {1, 5, 1, "C4@20 .*3"}, KIT);
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(row % 8 == 0 ? 2 : row % 8 == 4 ? 6 : 0, p.At(row, 0).instrument) << row;
        EXPECT_EQ(row % 4 == 0 ? 49 : 0, p.At(row, 1).note) << row;
    }
}

TEST(ScoreTracks, ChordsSpreadOverNeighbouringChannelsAndDefaultVolumeApplies) {
    xm::Pattern p = xm::EmptyPattern(8, 4);
    score::WriteTrack(p, {1, 8, 4, "A3+C4+E4 =+=+=", 30}, KIT);
    EXPECT_EQ(46, p.At(0, 1).note);
    EXPECT_EQ(49, p.At(0, 2).note);
    EXPECT_EQ(53, p.At(0, 3).note);
    for (int c = 1; c < 4; ++c) {
        EXPECT_EQ(8, p.At(0, c).instrument);
        EXPECT_EQ(0x10 + 30, p.At(0, c).volume);
        EXPECT_EQ(xm::NOTE_OFF, p.At(4, c).note);
        EXPECT_EQ(0, p.At(4, c).volume); // no volume on a key off
    }
    EXPECT_EQ(0, p.At(0, 0).note);
}

TEST(ScoreTracks, RefusesMistakes) {
    auto refuses = [](const score::Track &track, const char *why) {
        xm::Pattern p = xm::EmptyPattern(16, 3);
        score::WriteTrack(p, {0, 1, 16, "C4"}, KIT); // row 0 of channel 0 is taken
        EXPECT_THROW(score::WriteTrack(p, track, KIT), std::invalid_argument) << why;
    };
    refuses({1, 1, 2, "C4 . ."}, "6 rows do not divide 16");
    refuses({1, 1, 2, "C4 . . . . . . . ."}, "18 rows overrun 16");
    refuses({1, 1, 4, ""}, "no tokens");
    refuses({0, 1, 4, "D4 . . ."}, "row 0 already written");
    refuses({1, 0, 4, "D4 . . ."}, "note without an instrument");
    refuses({1, 1, 4, "q . . ."}, "no such kit sound");
    refuses({1, 1, 4, "D4@65 . . ."}, "volume above 64");
    refuses({1, 1, 4, "D4:3 . . ."}, "effect without parameter");
    refuses({1, 1, 4, "D4:3G0 . . ."}, "non-hex parameter");
    refuses({1, 1, 4, "D4! . . ."}, "unknown modifier");
    refuses({1, 1, 4, "C4+E4+G4 . . ."}, "chord past the last channel");
    refuses({1, 1, 4, "*3 ."}, "repeat without a token");
    refuses({1, 1, 4, "C4*0 ."}, "zero repeats");
    refuses({1, 1, 4, "C4 .*x"}, "repeat without a count");
    refuses({1, 1, 8, "C4", -1, 16}, "first row past the pattern");
    // A later track may fill what an earlier one left empty.
    xm::Pattern p = xm::EmptyPattern(16, 1);
    score::WriteTrack(p, {0, 1, 4, "C4 . . ."}, KIT);
    EXPECT_NO_THROW(score::WriteTrack(p, {0, 1, 2, "D4 .", -1, 8}, KIT));
    EXPECT_EQ(51, p.At(8, 0).note);
    EXPECT_EQ(51, p.At(12, 0).note);
}

TEST(ScoreEcho, CopiesNotesLaterAndQuieterWithinThePattern) {
    xm::Pattern p = xm::EmptyPattern(16, 2);
    score::WriteTrack(p, {0, 3, 4, "C4 E4@40 . ="}, KIT);
    score::WriteEcho(p, {0, 1, 6, 0.5});
    EXPECT_EQ(49, p.At(6, 1).note);
    EXPECT_EQ(3, p.At(6, 1).instrument);
    EXPECT_EQ(0x10 + 32, p.At(6, 1).volume); // full volume halved
    EXPECT_EQ(53, p.At(10, 1).note);
    EXPECT_EQ(0x10 + 20, p.At(10, 1).volume); // 40 halved
    EXPECT_EQ(0, p.At(14, 1).note);           // the key off at row 12 would land at 18: dropped
    int notes = 0;
    for (int row = 0; row < 16; ++row)
        notes += p.At(row, 1).note != 0;
    EXPECT_EQ(2, notes);
    // An echo onto a written cell is a score mistake.
    score::WriteTrack(p, {1, 3, 16, "C4"}, KIT);
    xm::Pattern clash = p;
    EXPECT_THROW(score::WriteEcho(clash, {0, 1, 0, 0.5}), std::invalid_argument);
}

TEST(ScorePanning, RestatedOnNotesWhoseEffectColumnIsFree) {
    xm::Pattern p = xm::EmptyPattern(4, 3);
    score::WriteTrack(p, {0, 3, 1, "C4 D4:A04 = ."}, KIT);
    score::WriteTrack(p, {1, 0, 1, "k . . ."}, KIT);
    score::WriteTrack(p, {2, 3, 1, "C4 . . ."}, KIT);
    score::ApplyPanning(p, {40, 200, -1});
    EXPECT_EQ(8, p.At(0, 0).effect);
    EXPECT_EQ(40, p.At(0, 0).param);
    EXPECT_EQ(10, p.At(1, 0).effect); // the note's own effect wins
    EXPECT_EQ(0, p.At(2, 0).effect);  // key off: no instrument, no panning
    EXPECT_EQ(200, p.At(0, 1).param);
    EXPECT_EQ(0, p.At(0, 2).effect); // channel without a panning keeps the sample's
}

} // namespace
