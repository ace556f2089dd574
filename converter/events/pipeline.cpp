// The event pipeline. Samples are held back in a 256-record look-ahead so
// that late GPS records (moved earlier by the GPS lag) can be matched and so
// that centred moving averages see the samples after the one being emitted;
// a 256-record history gives the samples before it.
//
// All filter arithmetic is 32-bit with wraparound (wrap_arith.h), so huge
// sums stay defined; windows are running sums, so the work per sample does
// not depend on the window size.
#include "pipeline.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "byte_order.h"
#include "wrap_arith.h"

namespace tarvex {

namespace {

constexpr std::uint32_t GPS_STALE_MS = 5000;  // a fix older than this is dropped

// A LogEvent's payload starts at a multiple of 4 bytes: whole-field loads.
std::int32_t sample_altitude(const LogEvent& ev) {
    return static_cast<std::int32_t>(load_le_field<std::uint32_t, sample_off::altitude, true>(ev.payload.data()));
}

std::array<std::int16_t, 3> sample_accel(const LogEvent& ev) {
    const std::uint8_t* pl = ev.payload.data();
    return {static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_x, true>(pl)),
            static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_y, true>(pl)),
            static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_z, true>(pl))};
}

template <std::size_t K>
using Values = std::array<std::int32_t, K>;

// How each smoothed quantity is read from a look-ahead record and from a
// past sample. Each reader fills `v` and tells whether the value is real.
struct Altitude {
    static constexpr std::size_t K = 1;
    static bool real(std::int32_t altitude) { return altitude != NO_VALUE; }
    static bool read(std::int32_t altitude, Values<1>& v) {
        v[0] = altitude;
        return real(altitude);
    }
    static bool read(const LogEvent& ev, Values<1>& v) { return read(sample_altitude(ev), v); }
    static bool read(const PastSample& s, Values<1>& v) { return read(s.altitude, v); }
    static void store(LogEvent& ev, const Values<1>& v) { ev.filt_altitude = v[0]; }
    static void store_none(LogEvent& ev) { ev.filt_altitude = NO_VALUE; }
};

struct Accel {
    static constexpr std::size_t K = 3;
    static bool real(const std::array<std::int16_t, 3>& axes) {
        return !(axes[0] == -1 || axes[1] == -1 || axes[2] == -1);
    }
    static bool read(const std::array<std::int16_t, 3>& axes, Values<3>& v) {
        v = {axes[0], axes[1], axes[2]};
        return real(axes);
    }
    static bool read(const LogEvent& ev, Values<3>& v) { return read(sample_accel(ev), v); }
    static bool read(const PastSample& s, Values<3>& v) { return read(s.accel, v); }
    static void store(LogEvent& ev, const Values<3>& v) {
        ev.filt_accel_x = v[0];
        ev.filt_accel_y = v[1];
        ev.filt_accel_z = v[2];
    }
    static void store_none(LogEvent& ev) {
        ev.filt_accel_x = NO_ACCEL;
        ev.filt_accel_y = NO_ACCEL;
        ev.filt_accel_z = NO_ACCEL;
    }
};

// The i-th newest past sample; i < count.
const PastSample& past(const PastSamples& h, std::uint32_t i) {
    return h.slots[(h.newest - i) % QUEUE_SLOTS];  // modulo 2^32 first: 256 divides it
}

// Its smoothed altitude is the caller's to fill in once known.
PastSample& remember(PastSamples& h, const LogEvent& ev) {
    h.newest = (h.newest + 1) % QUEUE_SLOTS;
    // Field by field: assigned whole, the record went byte by byte on the
    // camera (its processor has no unaligned stores, and the compiler lost
    // track of the slot's alignment).
    PastSample& s = h.slots[h.newest];
    s.vid_timestamp = ev.vid_timestamp;
    s.altitude = sample_altitude(ev);
    s.accel = sample_accel(ev);
    if (h.count < QUEUE_SLOTS) {
        ++h.count;
    }
    return s;
}

template <std::size_t K>
void add_to(Values<K>& sums, std::int32_t& count, const Values<K>& v) {
    for (std::size_t k = 0; k < K; ++k) sums[k] = wrap_add(sums[k], v[k]);
    ++count;
}

template <std::size_t K>
void remove_from(Values<K>& sums, std::int32_t& count, const Values<K>& v) {
    for (std::size_t k = 0; k < K; ++k) sums[k] = wrap_sub(sums[k], v[k]);
    --count;
}

// Centred moving average of `ev` over the n samples before it (history) and
// the n after it (look-ahead). The windows are updated incrementally, and
// their start-up and end-of-file behaviour is part of the output: during the
// first n samples the future window starts n places after the first sample,
// and over the last n samples of the file it stops changing. Returns whether
// `out` holds a value; with the filter off, or before any real value, `out`
// is the sample's own value.
template <class Q>
bool centred_average(WindowSums<Q::K>& w, Pipeline& p, const LogEvent& ev, std::int32_t n, Values<Q::K>& out) {
    Values<Q::K> own{};
    const bool own_real = Q::read(ev, own);
    if (own_real) {
        w.started = true;
    }
    if (n <= 0 || !w.started) {
        out = own;
        return own_real;
    }
    const auto half = static_cast<std::uint32_t>(n);
    EventQueue& ahead = p.sample_queue;
    const bool future_moves = ahead.count > half - 1;  // not yet over the file's last n

    // ev joins the past window (ev and the n samples before it) and, once
    // the future window is full, leaves it: then the two cancel out.
    if (own_real && !(future_moves && w.future_fill == n)) {
        add_to(w.sum, w.count, own);
    }
    if (p.history.count >= half + 2) {
        Values<Q::K> v{};
        if (Q::read(past(p.history, half + 1), v)) {
            remove_from(w.sum, w.count, v);
        }
    }
    // The future window: the n samples after ev.
    if (future_moves) {
        const LogEvent* fut = queue_peek_front(ahead, half - 1);
        Values<Q::K> v{};
        if (fut != nullptr && Q::read(*fut, v)) {
            add_to(w.sum, w.count, v);
        }
        if (w.future_fill != n) {
            ++w.future_fill;
        }
    }

    if (w.count == 0) {
        return false;
    }
    w.by_count.use(w.count);
    for (std::size_t k = 0; k < Q::K; ++k) {
        out[k] = w.by_count.quotient(w.sum[k]);
    }
    return true;
}

// The look-ahead's n-th sample after ev (`half` = n, 1 to the look-ahead's count).
const LogEvent& entering(const Pipeline& p, std::uint32_t half) {
    return p.sample_queue.slots[queue_slot(p.sample_queue.head + half - 1)];
}

// The same averages once both windows are full and move by one sample
// (windows_moving). Then ev leaves the future window as it joins the past
// one, so the only changes are the sample n after ev coming in and the one
// n + 1 before it going out (the general path's steps, without the ones
// that cancel). The sums and quotients are scalars in registers: kept in
// arrays, or stored into ev before the last is formed, they went through
// memory.
void moving_altitude(WindowSums<1>& w, const Pipeline& p, std::uint32_t half, LogEvent& ev) {
    std::int32_t sum = w.sum[0];
    std::int32_t count = w.count;
    const std::int32_t out = past(p.history, half + 1).altitude;
    if (Altitude::real(out)) {
        sum = wrap_sub(sum, out);
        --count;
    }
    const std::int32_t in = sample_altitude(entering(p, half));
    if (Altitude::real(in)) {
        sum = wrap_add(sum, in);
        ++count;
    }
    w.sum[0] = sum;
    w.count = count;
    if (count == 0) {
        Altitude::store_none(ev);
        return;
    }
    w.by_count.use(count);
    ev.filt_altitude = w.by_count.quotient(sum);
}

void moving_accel(WindowSums<3>& w, const Pipeline& p, std::uint32_t half, LogEvent& ev) {
    std::int32_t sx = w.sum[0];
    std::int32_t sy = w.sum[1];
    std::int32_t sz = w.sum[2];
    std::int32_t count = w.count;
    const auto& out = past(p.history, half + 1).accel;
    if (Accel::real(out)) {
        sx = wrap_sub(sx, out[0]);
        sy = wrap_sub(sy, out[1]);
        sz = wrap_sub(sz, out[2]);
        --count;
    }
    const auto in = sample_accel(entering(p, half));
    if (Accel::real(in)) {
        sx = wrap_add(sx, in[0]);
        sy = wrap_add(sy, in[1]);
        sz = wrap_add(sz, in[2]);
        ++count;
    }
    w.sum = {sx, sy, sz};
    w.count = count;
    if (count == 0) {
        Accel::store_none(ev);
        return;
    }
    w.by_count.use(count);
    const std::int32_t qx = w.by_count.quotient(sx);
    const std::int32_t qy = w.by_count.quotient(sy);
    const std::int32_t qz = w.by_count.quotient(sz);
    ev.filt_accel_x = qx;
    ev.filt_accel_y = qy;
    ev.filt_accel_z = qz;
}

// The windows move by one sample when the future window has filled (which
// it does only once its filter has started), the history holds the
// (n + 1)-th sample before ev and the look-ahead the n-th after it. So for
// all but the first n + 1 and the last n samples of a log. The first two
// stay true once they are, so the general path sets WindowSums::moving_n
// for the next sample, when the history will be one deeper (up to its 256).
template <std::size_t K>
void note_moving(WindowSums<K>& w, const Pipeline& p, std::int32_t n) {
    const std::uint32_t next_depth = std::min(p.history.count + 1, QUEUE_SLOTS);
    w.moving_n = w.future_fill == n && n > 0 && next_depth >= static_cast<std::uint32_t>(n) + 2 ? n : -1;
}

// A negative n is never taken for moving: the look-ahead is not that deep.
template <std::size_t K>
bool windows_moving(const WindowSums<K>& w, const Pipeline& p, std::int32_t n) {
    return w.moving_n == n && p.sample_queue.count >= static_cast<std::uint32_t>(n);
}

// The general path, for a log's first and last samples, in a call of its
// own: the straight path then needs no stack frame for its arrays.
template <class Q>
[[gnu::noinline]] void smooth(WindowSums<Q::K>& w, Pipeline& p, LogEvent& ev, std::int32_t n) {
    Values<Q::K> out{};
    if (centred_average<Q>(w, p, ev, n, out)) {
        Q::store(ev, out);
    } else {
        Q::store_none(ev);
    }
    note_moving(w, p, n);
}

void smooth_altitude(Pipeline& p, LogEvent& ev, std::int32_t n) {
    if (windows_moving(p.filter.altitude, p, n)) {
        moving_altitude(p.filter.altitude, p, static_cast<std::uint32_t>(n), ev);
    } else {
        smooth<Altitude>(p.filter.altitude, p, ev, n);
    }
}

void smooth_accel(Pipeline& p, LogEvent& ev, std::int32_t n) {
    if (windows_moving(p.filter.accel, p, n)) {
        moving_accel(p.filter.accel, p, static_cast<std::uint32_t>(n), ev);
    } else {
        smooth<Accel>(p.filter.accel, p, ev, n);
    }
}

// Both averages in one call of their own: inlined, they cost more in
// spilled registers than the call does.
[[gnu::noinline]] void smooth_sample(Pipeline& p, LogEvent& ev, const Settings& settings) {
    smooth_altitude(p, ev, settings.alt_filter);
    smooth_accel(p, ev, settings.accel_filter);
}

// Barometric vertical speed in ft/s over the last `window` samples, from
// the sample's time (ms) and smoothed altitude (ft), or NO_VSPEED. Both
// differences are signed, so a descent gives a negative speed. A missing
// smoothed altitude at either end gives none rather than a number computed
// from the marker.
std::int32_t speed_over(const PastSamples& history, std::uint32_t now, std::int32_t filt_altitude,
                        std::int32_t window) {
    // One test at a time: joined, they were computed as truth values.
    if (window <= 0 || history.count <= static_cast<std::uint32_t>(window)) {
        return NO_VSPEED;
    }
    if (filt_altitude == NO_VALUE) {
        return NO_VSPEED;
    }
    const PastSample& old = past(history, static_cast<std::uint32_t>(window));
    if (old.filt_altitude == NO_VALUE) {
        return NO_VSPEED;
    }
    const auto dt = static_cast<std::int32_t>(now - old.vid_timestamp);  // ms
    if (dt == 0) {
        return NO_VSPEED;
    }
    const std::int32_t rise = wrap_mul(wrap_sub(filt_altitude, old.filt_altitude), 1000);
    return div_trunc(rise, dt);
}

// ev is written once, with the result: an early store made the compiler
// reload what it had read of ev.
void vertical_speed(const PastSamples& history, LogEvent& ev, std::int32_t window) {
    ev.baro_vspeed = speed_over(history, ev.vid_timestamp, ev.filt_altitude, window);
}

// Takes up every GPS record not later than the sample. The one in effect
// stays in its queue slot (a copy per take-up costs more on the camera than
// the rest of this function); gps_free_slot moves it out before the slot
// is reused.
void attach_gps(Pipeline& p, LogEvent& ev) {
    // The ring's counters and the record in effect in locals: the stores
    // into ev below could, for the compiler, change them.
    EventQueue& gps = p.gps_queue;
    const std::uint32_t now = ev.vid_timestamp;  // ms
    const LogEvent* cur = p.cur_gps;
    std::int32_t taken = 0;
    if (gps.count > 0) {
        std::uint32_t head = gps.head;
        std::uint32_t count = gps.count;
        const LogEvent* front = &gps.slots[queue_slot(head)];
        while (front->vid_timestamp <= now) {
            cur = front;
            taken = 1;
            head = queue_slot(head + 1);
            if (--count == 0) {
                break;
            }
            front = &gps.slots[head];
        }
        gps.head = head;
        gps.count = count;
    }
    if (cur != nullptr && now - cur->vid_timestamp > GPS_STALE_MS) {
        cur = nullptr;
    }
    p.cur_gps = cur;
    ev.gps_new = taken;
    ev.gps = cur;
    ev.dist = cur != nullptr ? cur->dist : NO_DIST;
}

// The sample was read into the look-ahead's free slot.
void queue_sample(Pipeline& p, LogEvent& rec, const RunOptions& run) {
    const std::int32_t altitude = sample_altitude(rec);
    if (altitude != NO_VALUE) {
        store_le_field<std::uint32_t, sample_off::altitude, true>(
            rec.payload.data(), static_cast<std::uint32_t>(wrap_add(altitude, run.alt_adjust)));
    }
    queue_commit(p.sample_queue);
}

// The GPS ring's slot for the next record. A full ring gives up its oldest
// record, which nothing attached yet; the record in effect is moved aside
// when the ring comes round to its slot.
LogEvent& gps_free_slot(Pipeline& p) {
    EventQueue& gps = p.gps_queue;
    if (gps.count >= QUEUE_SLOTS) {
        queue_pop(gps);
    }
    LogEvent& slot = queue_free_slot(gps);
    if (p.cur_gps == &slot) {
        p.kept_gps = slot;
        p.cur_gps = &p.kept_gps;
    }
    return slot;
}

// The GPS record was read into gps_free_slot's slot.
void queue_gps(Pipeline& p, LogEvent& rec, const Settings& settings) {
    // Nothing derived yet. Of a GPS slot's derived fields only `dist` is
    // ever written (by gps_preprocess, for the slot's earlier record); the
    // others keep the values the ring started with.
    rec.dist = 0.0;
    gps_preprocess(p.gps, rec, settings);
    const auto lag = static_cast<std::uint32_t>(settings.gps_lag);  // ms
    rec.vid_timestamp = rec.vid_timestamp < lag ? 0 : rec.vid_timestamp - lag;
    queue_commit(p.gps_queue);
}

// Reads entries until the look-ahead is full or the file yields no more.
// Each is read in place: a sample into the look-ahead's free slot (the
// pipeline sets every derived field of a sample), a GPS record into its
// ring when it is sure to be read whole, since making room there may cost
// the ring its oldest record. A bad entry while samples are waiting lets
// one of them out first; with an empty look-ahead reading simply goes on,
// so a bad entry never ends the run.
void fill(Pipeline& p, std::FILE* dat, const Settings& settings, const RunOptions& run) {
    if (p.reader.file != dat) {  // the first call: reading starts at the stream's position
        p.reader.file = dat;
        p.reader.pos = p.reader.len = 0;
        p.reader.drained = false;
    }
    while (p.sample_queue.count < QUEUE_SLOTS) {
        LogEvent& rec = queue_free_slot(p.sample_queue);
        if (const std::uint8_t* h = entry_in_block(p.reader)) {
            if (whole_entry_is_sample(h)) {
                take_sample_entry(p.reader, h, rec);
                queue_sample(p, rec, run);
                continue;
            }
            if (entry_size_whole(h) && whole_entry_type(h) != static_cast<std::uint16_t>(EntryKind::SensorSample)) {
                LogEvent& gps = gps_free_slot(p);
                // A GPS slot is zero past what its last record brought or had
                // written by gps_preprocess (the ring starts zeroed), so only
                // a shorter record clears anything.
                take_other_entry(p.reader, h, gps, std::max<std::size_t>(gps.size, GPS_PREPARE_REACH));
                queue_gps(p, gps, settings);
                continue;
            }
            // A sample of another size: the general read below takes it.
        }
        if (entries_ended(p.reader)) {  // the look-ahead drains: no need to clear a record each time
            return;
        }
        switch (read_log_entry_any(p.reader, rec)) {
            case ReadResult::End: return;
            case ReadResult::InvalidSize:
                if (!p.quiet) std::printf("Invalid log entry size: %d\n!", static_cast<int>(rec.size));
                if (p.sample_queue.count > 0) {
                    return;
                }
                continue;
            case ReadResult::Entry: break;
        }
        if (rec.type == static_cast<std::uint16_t>(EntryKind::SensorSample)) {
            queue_sample(p, rec, run);
        } else {
            LogEvent& gps = gps_free_slot(p);
            static_cast<LogEntry&>(gps) = rec;
            queue_gps(p, gps, settings);
        }
    }
}

// What the pipeline derives for the sample it emits, in a call of its own:
// the reading loop then keeps more in registers.
[[gnu::noinline]] void derive(Pipeline& p, LogEvent& ev, const Settings& settings) {
    attach_gps(p, ev);
    PastSample& newest = remember(p.history, ev);
    smooth_sample(p, ev, settings);
    newest.filt_altitude = ev.filt_altitude;
    vertical_speed(p.history, ev, settings.speed_window);
}

}  // namespace

LogEvent* next_event(Pipeline& p, std::FILE* dat, const Settings& settings, const RunOptions& run) {
    fill(p, dat, settings, run);
    if (p.sample_queue.count == 0) {
        return nullptr;
    }
    // The record stays in its look-ahead slot, which only the next fill
    // reuses; what the filters need later is remembered apart, so the
    // caller may change the record.
    LogEvent& ev = *queue_pop(p.sample_queue);
    derive(p, ev, settings);
    return &ev;
}

}  // namespace tarvex
