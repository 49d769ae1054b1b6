#include "tools/xmgen/score.h"

#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace score {

namespace {

constexpr int MAX_VOLUME = 64;
constexpr uint8_t VOLUME_COLUMN_SET = 0x10; // volume column 0x10-0x50 sets volume 0-64
constexpr uint8_t EFFECT_SET_PANNING = 0x08;

struct Token {
    std::vector<uint8_t> notes; // empty for "."
    int instrument = 0;
    int volume = -1;
    int effect = -1;
    int param = 0;
};

[[noreturn]] void Fail(const Track &track, const std::string &token, const std::string &why) {
    throw std::invalid_argument("channel " + std::to_string(track.channel) + ", token \"" + token +
                                "\": " + why);
}

int ParseDecimal(const std::string &text, size_t &pos) {
    const size_t start = pos;
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
           pos - start < 3)
        value = value * 10 + (text[pos++] - '0');
    if (pos == start)
        throw std::invalid_argument("number expected");
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    throw std::invalid_argument("hex digit expected");
}

// Note name at pos: letter, optional sharp or flat, octave digit.
uint8_t ParseNoteAt(const std::string &text, size_t &pos) {
    static const int SEMITONES[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (pos >= text.size() || text[pos] < 'A' || text[pos] > 'G')
        throw std::invalid_argument("note name expected");
    int semitone = SEMITONES[text[pos++] - 'A'];
    if (pos < text.size() && (text[pos] == '#' || text[pos] == 'b'))
        semitone += text[pos++] == '#' ? 1 : -1;
    if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])))
        throw std::invalid_argument("octave expected");
    const int note = (text[pos++] - '0') * 12 + semitone + 1;
    if (note < 1 || note >= xm::NOTE_OFF)
        throw std::invalid_argument("note outside C-0 to B-7");
    return uint8_t(note);
}

Token ParseToken(const std::string &text, const std::vector<KitSound> &kit) {
    Token token;
    size_t pos = 1;
    const char head = text[0];
    if (head == '=' || (head >= 'A' && head <= 'G')) {
        // One note or key off, or several joined by '+' for a chord.
        pos = 0;
        do {
            if (pos > 0)
                ++pos; // the '+'
            if (pos < text.size() && text[pos] == '=') {
                token.notes.push_back(xm::NOTE_OFF);
                ++pos;
            } else {
                token.notes.push_back(ParseNoteAt(text, pos));
            }
        } while (pos < text.size() && text[pos] == '+');
    } else if (head >= 'a' && head <= 'z') {
        const KitSound *sound = nullptr;
        for (const KitSound &s : kit)
            if (s.alias == head)
                sound = &s;
        if (!sound)
            throw std::invalid_argument("no kit sound by that letter");
        token.notes = {sound->note};
        token.instrument = sound->instrument;
    } else if (head != '.') {
        throw std::invalid_argument("unknown token");
    }

    while (pos < text.size()) {
        const char modifier = text[pos++];
        if (modifier == '@') {
            token.volume = ParseDecimal(text, pos);
            if (token.volume > MAX_VOLUME)
                throw std::invalid_argument("volume above 64");
        } else if (modifier == 'i') {
            token.instrument = ParseDecimal(text, pos);
        } else if (modifier == ':') {
            if (pos + 3 > text.size())
                throw std::invalid_argument("effect needs a letter and two hex digits");
            const char e = text[pos];
            if (std::isdigit(static_cast<unsigned char>(e)))
                token.effect = e - '0';
            else if (e >= 'A' && e <= 'Z')
                token.effect = e - 'A' + 10;
            else
                throw std::invalid_argument("effect letter expected");
            token.param = HexDigit(text[pos + 1]) * 16 + HexDigit(text[pos + 2]);
            pos += 3;
        } else {
            throw std::invalid_argument("unknown modifier");
        }
    }
    return token;
}

std::vector<std::string> SplitTokens(const Track &track) {
    std::vector<std::string> tokens;
    std::istringstream in(track.text);
    std::string word;
    while (in >> word) {
        if (word == "|")
            continue;
        const size_t star = word.rfind('*');
        if (star == std::string::npos) {
            tokens.push_back(word);
            continue;
        }
        size_t pos = star + 1;
        int count = 0;
        try {
            count = ParseDecimal(word, pos);
        } catch (const std::invalid_argument &e) {
            Fail(track, word, e.what());
        }
        if (pos != word.size() || star == 0 || count < 1)
            Fail(track, word, "repeat needs a token and a count");
        tokens.insert(tokens.end(), size_t(count), word.substr(0, star));
    }
    return tokens;
}

bool IsEmpty(const xm::Cell &cell) {
    return cell.note == 0 && cell.instrument == 0 && cell.volume == 0 && cell.effect == 0 &&
           cell.param == 0;
}

} // namespace

uint8_t ParseNote(const std::string &name) {
    size_t pos = 0;
    const uint8_t note = ParseNoteAt(name, pos);
    if (pos != name.size())
        throw std::invalid_argument("trailing characters after note " + name);
    return note;
}

void WriteTrack(xm::Pattern &pattern, const Track &track, const std::vector<KitSound> &kit) {
    const std::vector<std::string> tokens = SplitTokens(track);
    const int span = pattern.rows - track.firstRow;
    const int length = int(tokens.size()) * track.step;
    if (tokens.empty() || track.step < 1 || span <= 0 || span % length != 0)
        Fail(track, "",
             std::to_string(tokens.size()) + " tokens of " + std::to_string(track.step) +
                 " rows do not fill " + std::to_string(span) + " rows");

    for (int start = track.firstRow; start < pattern.rows; start += length) {
        for (size_t t = 0; t < tokens.size(); ++t) {
            Token token;
            try {
                token = ParseToken(tokens[t], kit);
            } catch (const std::invalid_argument &e) {
                Fail(track, tokens[t], e.what());
            }
            const bool hasNote = !token.notes.empty();
            if (!hasNote && token.volume < 0 && token.effect < 0)
                continue;
            const int row = start + int(t) * track.step;
            const size_t voices = hasNote ? token.notes.size() : 1;
            for (size_t v = 0; v < voices; ++v) {
                const int channel = track.channel + int(v);
                if (channel >= pattern.channels)
                    Fail(track, tokens[t], "chord runs past the last channel");
                xm::Cell &cell = pattern.At(row, channel);
                if (!IsEmpty(cell))
                    Fail(track, tokens[t], "row " + std::to_string(row) + " already written");
                const uint8_t note = hasNote ? token.notes[v] : 0;
                cell.note = note;
                if (note != 0 && note != xm::NOTE_OFF) {
                    cell.instrument =
                        uint8_t(token.instrument ? token.instrument : track.instrument);
                    if (cell.instrument == 0)
                        Fail(track, tokens[t], "note without an instrument");
                }
                const int volume = token.volume >= 0 ? token.volume
                                   : cell.instrument ? track.volume
                                                     : -1;
                if (volume >= 0)
                    cell.volume = uint8_t(VOLUME_COLUMN_SET + volume);
                if (token.effect >= 0) {
                    cell.effect = uint8_t(token.effect);
                    cell.param = uint8_t(token.param);
                }
            }
        }
    }
}

void WriteEcho(xm::Pattern &pattern, const Echo &echo) {
    for (int row = 0; row + echo.delayRows < pattern.rows; ++row) {
        const xm::Cell &source = pattern.At(row, echo.from);
        if (source.note == 0)
            continue;
        xm::Cell &target = pattern.At(row + echo.delayRows, echo.to);
        if (!IsEmpty(target))
            throw std::invalid_argument("echo onto channel " + std::to_string(echo.to) +
                                        " meets a written cell at row " +
                                        std::to_string(row + echo.delayRows));
        target.note = source.note;
        if (source.note == xm::NOTE_OFF)
            continue;
        target.instrument = source.instrument;
        const bool sourceVolume =
            source.volume >= VOLUME_COLUMN_SET && source.volume <= VOLUME_COLUMN_SET + MAX_VOLUME;
        const int volume = sourceVolume ? source.volume - VOLUME_COLUMN_SET : MAX_VOLUME;
        target.volume = uint8_t(VOLUME_COLUMN_SET + std::lround(volume * echo.level));
    }
}

void ApplyPanning(xm::Pattern &pattern, const std::vector<int> &channelPans) {
    for (int row = 0; row < pattern.rows; ++row) {
        for (int channel = 0; channel < pattern.channels; ++channel) {
            xm::Cell &cell = pattern.At(row, channel);
            const int pan = channelPans[size_t(channel)];
            if (pan >= 0 && cell.instrument != 0 && cell.effect == 0 && cell.param == 0) {
                cell.effect = EFFECT_SET_PANNING;
                cell.param = uint8_t(pan);
            }
        }
    }
}

xm::Pattern BuildPattern(const Part &part, int rows, const std::vector<int> &channelPans,
                         const std::vector<KitSound> &kit) {
    xm::Pattern pattern = xm::EmptyPattern(rows, int(channelPans.size()));
    for (const Track &track : part.tracks)
        WriteTrack(pattern, track, kit);
    for (const Echo &echo : part.echoes)
        WriteEcho(pattern, echo);
    ApplyPanning(pattern, channelPans);
    return pattern;
}

} // namespace score
