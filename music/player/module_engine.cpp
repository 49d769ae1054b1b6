// The music engine. libxmp renders one tick per call and reports which order, row and tick it
// was; the pattern data tell which notes start on it. A tick's sound and its events (the tick
// itself, FT2 note-ons) are output together, the events at the tick's first output frame.
#include "music/player/player_internal.h"

#include <cstring>

namespace {

// libxmp keeps the XM effect numbers; the volume column's tone portamento arrives as the
// secondary effect.
constexpr uint8_t FX_TONE_PORTAMENTO = 0x03;
constexpr uint8_t FX_TONE_PORTAMENTO_VOLUME_SLIDE = 0x05;
constexpr uint8_t FX_EXTENDED = 0x0E;
constexpr uint8_t EXTENDED_NOTE_DELAY = 0x0D;
constexpr uint8_t LAST_KEY = XMP_MAX_KEYS - 1; // above: key off, cut, fade
constexpr uint8_t KEY_OFFSET = 12;             // libxmp key of the XM's C-0 (note 1) is 13
constexpr int MAX_SEEK_TICKS = 1 << 16;        // bounds a seek caught in a pattern loop
constexpr int32_t GAIN_SHIFT = 12;
constexpr int32_t GAIN_ONE = 1 << GAIN_SHIFT;

const xmp_module *Module;
bool ReplayStarted;
int16_t TickSamples[TICK_BUFFER_SAMPLES];
uint32_t TickFrames, TickPos;
SyncEvent TickEvents[MAX_TICK_EVENTS];
int TickEventCount, TickEventNext;
int LastLoopCount;
uint8_t LastInstrument[XMP_MAX_CHANNELS];
bool SeekPending;
uint16_t SeekOrder, SeekRow;

void DropTick() {
    TickFrames = TickPos = 0;
    TickEventCount = TickEventNext = 0;
}

bool IsTonePortamento(uint8_t effect) {
    return effect == FX_TONE_PORTAMENTO || effect == FX_TONE_PORTAMENTO_VOLUME_SLIDE;
}

int ChannelCount() {
    return Module->chn < XMP_MAX_CHANNELS ? Module->chn : XMP_MAX_CHANNELS;
}

const xmp_event *CellAt(const xmp_frame_info &info, int channel) {
    const xmp_track *track = Module->xxt[Module->xxp[info.pattern]->index[channel]];
    return info.row < track->rows ? &track->event[info.row] : nullptr;
}

// A row's instrument numbers become their channels' last instrument.
void KeepInstruments(const xmp_frame_info &info) {
    if (info.frame != 0)
        return;
    for (int channel = 0; channel < ChannelCount(); ++channel) {
        const xmp_event *cell = CellAt(info, channel);
        if (cell != nullptr && cell->ins != 0)
            LastInstrument[channel] = cell->ins;
    }
}

// FT2 strikes a note on tick 0, or on tick x for a note delay EDx (never when x is not below
// the speed), and not at all under a tone portamento; the instrument is the cell's or else
// the channel's last one.
void AddNoteEvents(const xmp_frame_info &info) {
    for (int channel = 0; channel < ChannelCount(); ++channel) {
        const xmp_event *cell = CellAt(info, channel);
        if (cell == nullptr || cell->note == 0 || cell->note > LAST_KEY)
            continue;
        if (IsTonePortamento(cell->fxt) || IsTonePortamento(cell->f2t))
            continue;
        int delay = 0;
        if (cell->fxt == FX_EXTENDED && cell->fxp >> 4 == EXTENDED_NOTE_DELAY)
            delay = cell->fxp & 0x0F;
        if (info.frame != delay || delay >= info.speed)
            continue;
        const uint8_t instrument = cell->ins != 0 ? cell->ins : LastInstrument[channel];
        if (instrument == 0)
            continue;
        const uint16_t note = cell->note > KEY_OFFSET ? cell->note - KEY_OFFSET : 0;
        TickEvents[TickEventCount++] = {0,    MusicGeneration,   EVENT_NOTE, instrument,
                                        note, uint16_t(channel), 0};
    }
}

void TakeTick(const xmp_frame_info &info) {
    uint32_t bytes = info.buffer_size > 0 ? uint32_t(info.buffer_size) : 0;
    if (bytes > sizeof TickSamples)
        bytes = sizeof TickSamples;
    memcpy(TickSamples, info.buffer, bytes);
    TickFrames = bytes / (2 * sizeof(int16_t));
    TickPos = 0;
    TickEventCount = TickEventNext = 0;
    TickEvents[TickEventCount++] = {0,
                                    MusicGeneration,
                                    EVENT_TICK,
                                    uint16_t(info.pos),
                                    uint16_t(info.row),
                                    uint16_t(info.frame),
                                    uint16_t(info.speed)};
    KeepInstruments(info);
    AddNoteEvents(info);
    LastLoopCount = info.loop_count;
}

// A seek starts the order and plays silently up to the row, so the replay state is what
// playing through the order would have left.
bool SeekTick(xmp_frame_info *info) {
    SeekPending = false;
    xmp_set_position(Xmp, SeekOrder);
    for (int i = 0;; ++i) {
        if (xmp_play_frame(Xmp) != 0)
            return false;
        xmp_get_frame_info(Xmp, info);
        if (info->pos != SeekOrder || info->row >= SeekRow || i == MAX_SEEK_TICKS)
            return true;
        KeepInstruments(*info);
    }
}

// Renders the next tick. False when the song is over (its end without MUSIC_LOOP).
bool NextTick() {
    xmp_frame_info info;
    if (SeekPending) {
        if (!SeekTick(&info))
            return false;
    } else {
        if (xmp_play_frame(Xmp) != 0)
            return false;
        xmp_get_frame_info(Xmp, &info);
        if (info.loop_count != LastLoopCount && (MusicFlags & MUSIC_LOOP) == 0)
            return false;
    }
    // A tick without sound (a damaged module's tempo or speed of 0) moves no output frame:
    // rendering would wait for it forever. The song ends there.
    if (info.buffer_size <= 0 || info.speed <= 0)
        return false;
    TakeTick(info);
    return true;
}

void CopyWithGain(int16_t *out, const int16_t *in, uint32_t frames) {
    if (out == nullptr)
        return;
    const int32_t gain = int32_t(Volume * Amplify * GAIN_ONE / (DEFAULT_VOLUME * DEFAULT_AMPLIFY));
    if (gain == GAIN_ONE) {
        memcpy(out, in, frames * 2 * sizeof(int16_t));
        return;
    }
    for (uint32_t i = 0; i < frames * 2; ++i) {
        const int32_t value = in[i] * gain >> GAIN_SHIFT;
        out[i] = int16_t(value > INT16_MAX ? INT16_MAX : value < INT16_MIN ? INT16_MIN : value);
    }
}

void QueuePush(const SyncEvent &event) {
    if (QueueCount == EVENT_QUEUE_SIZE)
        return; // the dispatcher is hopelessly behind: drop rather than block the device
    EventQueue[(QueueHead + QueueCount) % EVENT_QUEUE_SIZE] = event;
    ++QueueCount;
}

void QueuePop() {
    QueueHead = (QueueHead + 1) % EVENT_QUEUE_SIZE;
    --QueueCount;
}

bool Matches(const SyncPoint &sync, const SyncEvent &event) {
    if (sync.type == SYNC_POSITION_ONCE)
        return event.kind == EVENT_TICK && event.c == 0 && !sync.fired && sync.a == event.a &&
               sync.b == event.b;
    return event.kind == EVENT_NOTE && sync.a == event.a &&
           (sync.b == SYNC_ANY_NOTE || sync.b == event.b);
}

SyncPoint *FindSync(uint32_t handle) {
    for (int i = 0; i < SyncCount; ++i)
        if (Syncs[i].handle == handle)
            return &Syncs[i];
    return nullptr;
}

} // namespace

int32_t MusicInstall(xmp_context context, uint32_t flags) {
    MusicClose();
    Xmp = context;
    xmp_module_info info;
    xmp_get_module_info(Xmp, &info);
    Module = info.mod;
    MusicLoaded = true;
    MusicFlags = flags;
    strncpy(MusicName, Module->name, sizeof MusicName - 1);
    MusicName[sizeof MusicName - 1] = 0;
    if (!MusicRewind()) {
        MusicClose();
        return PLAYER_ERROR_UNKNOWN;
    }
    State = STATE_STOPPED;
    MusicEnded = false;
    return PLAYER_OK;
}

void MusicClose() {
    if (Xmp == nullptr)
        return;
    if (ReplayStarted)
        xmp_end_player(Xmp);
    ReplayStarted = false;
    xmp_release_module(Xmp);
    xmp_free_context(Xmp);
    Xmp = nullptr;
    Module = nullptr;
    MusicLoaded = false;
    State = STATE_STOPPED;
    MusicEnded = false;
    ++MusicGeneration;
    SyncCount = 0; // syncs belong to the music
    ClearEventQueue();
    DropTick();
    SeekPending = false;
}

bool MusicResetReplay() {
    if (ReplayStarted)
        xmp_end_player(Xmp);
    ReplayStarted = xmp_start_player(Xmp, int(Rate), 0) == 0;
    if (!ReplayStarted)
        return false;
    xmp_set_player(Xmp, XMP_PLAYER_MIX, int(PanSeparation));
    DropTick();
    SeekPending = false;
    LastLoopCount = 0;
    memset(LastInstrument, 0, sizeof LastInstrument);
    return true;
}

bool MusicRewind() {
    const bool started = MusicResetReplay();
    for (int i = 0; i < SyncCount; ++i)
        Syncs[i].fired = false;
    ++MusicGeneration;
    ClearEventQueue();
    HeardOrder = HeardRow = HeardTick = 0;
    HeardSpeed = 1;
    return started;
}

int32_t MusicSeek(uint32_t position) {
    const uint32_t order = position & 0xFFFF;
    const uint32_t row = position >> 16;
    if (order >= uint32_t(Module->len) || Module->xxo[order] >= Module->pat ||
        row >= uint32_t(Module->xxp[Module->xxo[order]]->rows))
        return PLAYER_ERROR_POSITION;
    DropTick();
    SeekPending = true;
    SeekOrder = uint16_t(order);
    SeekRow = uint16_t(row);
    return PLAYER_OK;
}

uint32_t MusicOrderCount() {
    return uint32_t(Module->len);
}

uint32_t MusicDurationMs() {
    xmp_module_info info;
    xmp_get_module_info(Xmp, &info);
    return info.num_sequences > 0 ? uint32_t(info.seq_data[0].duration) : 0;
}

void RenderLocked(int16_t *buffer, uint32_t frames, bool inlineSyncs) {
    while (frames > 0) {
        if (!MusicLoaded || State != STATE_PLAYING) {
            if (buffer != nullptr)
                memset(buffer, 0, frames * 2 * sizeof(int16_t));
            StreamFrame += frames;
            return;
        }
        if (TickPos == TickFrames && TickEventNext == TickEventCount && !NextTick()) {
            State = STATE_STOPPED;
            MusicEnded = true;
            continue;
        }
        // Events first, one at a time: an inline callback may pause, seek or stop.
        if (TickEventNext < TickEventCount) {
            SyncEvent event = TickEvents[TickEventNext++];
            event.frame = StreamFrame;
            if (inlineSyncs)
                DispatchLocked(event);
            else
                QueuePush(event);
            continue;
        }
        uint32_t count = TickFrames - TickPos;
        if (count > frames)
            count = frames;
        CopyWithGain(buffer, TickSamples + TickPos * 2, count);
        TickPos += count;
        StreamFrame += count;
        frames -= count;
        if (buffer != nullptr)
            buffer += count * 2;
    }
}

void DispatchLocked(const SyncEvent &event) {
    if (event.generation != MusicGeneration)
        return;
    if (event.kind == EVENT_TICK) {
        HeardOrder = event.a;
        HeardRow = event.b;
        HeardTick = event.c;
        HeardSpeed = event.d;
    }
    uint32_t handles[MAX_SYNCS];
    int count = 0;
    for (int i = 0; i < SyncCount; ++i)
        if (Matches(Syncs[i], event))
            handles[count++] = Syncs[i].handle;
    const uint32_t generation = MusicGeneration;
    for (int i = 0; i < count && MusicGeneration == generation; ++i) {
        SyncPoint *sync = FindSync(handles[i]); // an earlier callback may have removed it
        if (sync == nullptr || (sync->type == SYNC_POSITION_ONCE && sync->fired))
            continue;
        sync->fired = true;
        const SyncProc proc = sync->proc;
        const uint32_t user = sync->user;
        const uint32_t data = uint32_t(event.a) | uint32_t(event.b) << 16;
        const uint32_t instrumentData = uint32_t(event.b) | uint32_t(event.c) << 16;
        const int64_t outerFrame = CallbackFrame;
        CallbackFrame = int64_t(event.frame);
        pthread_mutex_unlock(&PlayerLock);
        proc(handles[i], event.kind == EVENT_TICK ? data : instrumentData, user);
        pthread_mutex_lock(&PlayerLock);
        CallbackFrame = outerFrame;
    }
}

void ClearEventQueue() {
    QueueHead = QueueCount = 0;
}

bool PopDueEvent(int64_t heardFrame, SyncEvent *event) {
    while (QueueCount > 0) {
        const SyncEvent &head = EventQueue[QueueHead];
        if (head.generation != MusicGeneration) {
            QueuePop();
            continue;
        }
        if (int64_t(head.frame) > heardFrame)
            return false;
        *event = head;
        QueuePop();
        return true;
    }
    return false;
}
