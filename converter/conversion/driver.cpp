// DAT logs over 2 GiB must stay readable on the camera's 32-bit ARM.
#define _FILE_OFFSET_BITS 64

#include "driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>

#include "ass_writer.h"
#include "chapters.h"
#include "csv_writer.h"
#include "dat_format.h"
#include "exit_status.h"
#include "gpx_highlights.h"
#include "gpx_writer.h"
#include "input_file.h"
#include "log_event.h"
#include "log_settings.h"
#include "output_file.h"
#include "pipeline.h"
#include "regular_input.h"
#include "ride_page.h"
#include "run_options.h"
#include "run_outcome.h"
#include "settings.h"
#include "srt_writer.h"
#include "stdio_file.h"
#include "wrap_arith.h"

namespace tarvex {

namespace {

// The records one conversion shares between the pipeline and the writers,
// from the command line to the last event. convert_log owns the only one
// and starts every run from a fresh one.
struct RunState {
    Settings settings;
    RunOptions run;
    std::uint32_t last_sub_time = NO_SUB_TIME;  // end of the chapter's last subtitle
    Pipeline pipeline;                          // three rings of 256 records
};

// The log's entries are read in blocks of 64 KiB by the pipeline; a stdio
// buffer would only copy every byte once more. Opened as the chapters and the
// settings file are: a FIFO would block the open for ever.
File open_unbuffered(const char* path, InputOpen& opened) {
    File f(open_regular_input(path, opened));
    if (f) std::setvbuf(f.get(), nullptr, _IONBF, 0);
    return f;
}

// Prints the line of a failure that ends the run (a printf format with its
// newline) and keeps it, without the newline, in `outcome` when given.
[[gnu::format(printf, 2, 3)]] void say_failure(RunOutcome* outcome, const char* format, ...) {
    std::va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    std::vprintf(format, args);
    if (outcome != nullptr) {
        std::vsnprintf(outcome->failure.data(), outcome->failure.size(), format, copy);
        char* nl = std::strrchr(outcome->failure.data(), '\n');
        if (nl != nullptr && nl[1] == '\0') *nl = '\0';
    }
    va_end(copy);
    va_end(args);
}

// What differs between the chapter's outputs: the name's extension, the
// messages (printf formats taking the path; a failed open also the system's
// reason) and whether a failed open ends the run.
struct OutputKind {
    const char* ext;
    const char* now_writing;
    const char* exists_warning;
    const char* open_failed;
    bool required;
};

constexpr OutputKind SRT_OUTPUT = {"SRT", "Now writing to %s\n",
                                   "Warning: destination file %s exists! Proceeding anyway.\n",
                                   "Could not open %s: %s\n", true};
constexpr OutputKind CSV_OUTPUT = {"CSV", "Now writing CSV data to %s\n",
                                   "Destination file %s exists! Proceeding anyway.\n",
                                   "Could not open CSV file %s: %s. Proceeding anyway.\n", false};
constexpr OutputKind GPX_OUTPUT = {"GPX", "Now writing GPX data to %s\n",
                                   "Destination file %s exists! Proceeding anyway.\n",
                                   "Could not open GPX file %s: %s. Proceeding anyway.\n", false};
// The whole log's track: the first chapter's GPX name with OUTING_SUFFIX
// before the extension. No chapter name can end so, whatever the chapter.
constexpr OutputKind OUTING_OUTPUT = {"GPX", "Now writing GPX outing track to %s\n",
                                      "Destination file %s exists! Proceeding anyway.\n",
                                      "Could not open GPX file %s: %s. Proceeding anyway.\n", false};
constexpr char OUTING_SUFFIX[] = "-outing";
constexpr OutputKind ASS_OUTPUT = {"ASS", "Now writing ASS overlay to %s\n",
                                   "Destination file %s exists! Proceeding anyway.\n",
                                   "Could not open ASS file %s. Proceeding anyway.\n", false};

class Conversion {
public:
    // `outcome`, when given, learns what the run achieved.
    Conversion(const LogCommand& cl, std::FILE* dat, const DatHeader& header, RunState& state,
               const ConversionSeams& seams, RunOutcome* outcome)
        : cl_(cl), dat_(dat), header_(header), state_(state), outcome_(outcome), chapters_(seams.chapters),
          naming_(chapter_naming(cl.base_path, cl.named_video)), srt_(place(seams)), csv_(place(seams)),
          gpx_(place(seams)), outing_(place(seams)), ass_(place(seams)), overlay_(state.settings, state.run) {}

    void add_inputs(const char* settings_path) {
        struct stat st {};
        dat_input_.set(cl_.dat_path, fstat(fileno(dat_), &st) == 0 ? &st : nullptr);
        settings_input_.set(settings_path, stat(settings_path, &st) == 0 ? &st : nullptr);
    }

    // Runs the main loop to the end of input or the last chapter. A run that
    // ends early on a fatal error keeps what its open files hold so far; one
    // that could not write an output has discarded the chapter's files. The
    // outing track, if any, ends with the run.
    int run() {
        int status = convert_events();
        // A write failure found after an event has been noted; one found when
        // a chapter's files were put in place has not.
        if (status == EXIT_WRITE_FAILED && outcome_ != nullptr && outcome_->failure[0] == '\0')
            note_write_failure({&srt_, &csv_, &gpx_, &ass_});
        if (status != EXIT_WRITE_FAILED) {
            if (const auto failed = end_chapter_files(false)) {
                note_write_failure({&srt_, &csv_, &gpx_, &ass_});
                if (status == 0) status = *failed;
            }
        }
        if (const auto failed = end_outing(status != EXIT_WRITE_FAILED)) {
            note_write_failure({&outing_});
            if (status == 0) status = *failed;
        }
        return status;
    }

private:
    static OutputPlace& place(const ConversionSeams& seams) {
        return seams.outputs != nullptr ? *seams.outputs : file_system();
    }

    std::int32_t chapter_length(std::int32_t index) {
        return chapters_ != nullptr ? chapters_->length_ms(path_.data(), index) : mp4_duration(path_.data());
    }

    int convert_events() {
        // In a register: as a member, it was loaded again after every call.
        RunState& state = state_;
        const Settings& settings = state.settings;
        while (LogEvent* ev = next_event(state.pipeline, dat_, settings, state.run)) {
            note_sample(*ev);
            // An event exactly chapter_len into the chapter still belongs to it;
            // at most one new chapter per event.
            if (static_cast<std::int32_t>(ev->vid_timestamp - chapter_offset_) > chapter_len_) {
                if (const auto status = start_chapter()) {
                    if (*status == 0) note_rest_of_log();  // no more chapters
                    return *status;
                }
            }
            if (ev->vid_timestamp < chapter_offset_) {
                say_failure(outcome_, "BUG!! Log timestamp would be negative after chapter offset compinsation!\n");
                return EXIT_FATAL;
            }
            ev->vid_timestamp -= chapter_offset_;
            if (!srt_.is_open()) {
                say_failure(outcome_, "Failure: no destination file pointer\n");
                return EXIT_FATAL;
            }
            if (ev->type >= static_cast<std::uint16_t>(EntryKind::GpsFix) &&
                ev->type <= static_cast<std::uint16_t>(EntryKind::GpsNavData)) {
                std::puts("ERROR! GPS event snuck through the pipeline!");
            }
            // The CSV file is opened only when asked for.
            if (csv_.is_open()) csv_write_row(csv_.text(), *ev);
            // A fresh GPS record first: GPS comes at a fraction of the sample rate.
            if (ev->gps_new == 1 && ev->gps != nullptr && settings.gpx == on_off::ON) {
                if (!gpx_.is_open()) {
                    if (const auto status = open_gpx()) return *status;
                }
                if (gpx_.is_open()) gpx_write_point(gpx_.text(), *ev, timed_gpx());
                if (outing_.is_open()) gpx_write_point(outing_.text(), *ev, timed_gpx());
            }
            // Before the SRT writer, which rescales the event's acceleration in place.
            if (ass_.is_open()) overlay_.write_entry(ass_.text(), *ev);
            srt_write_entry(srt_.text(), *ev, sub_number_, settings, state.run, state.last_sub_time);
            sub_number_ = wrap_add(sub_number_, 1);  // for every event, written or not
            if (const auto status = stop_on_write_failure()) return *status;
        }
        return end_chapter_files(true).value_or(0);
    }

    void note_sample(const LogEvent& ev) {
        if (outcome_ == nullptr) return;
        outcome_->have_samples = true;
        outcome_->last_sample_ms = std::max(outcome_->last_sample_ms, ev.vid_timestamp);
    }

    // Reads the log to its end without writing, to learn how much of it no
    // chapter shows.
    void note_rest_of_log() {
        if (outcome_ == nullptr) return;
        while (const LogEvent* ev = next_event(state_.pipeline, dat_, state_.settings, state_.run)) note_sample(*ev);
    }

    // Keeps the message of the first output of `group` (in the order they are
    // put in place) that failed, the one commit_outputs printed.
    void note_write_failure(std::initializer_list<const OutputFile*> group) {
        if (outcome_ == nullptr) return;
        for (const OutputFile* out : group) {
            if (out->failed()) {
                note_failure(*outcome_, out->failure_message());
                return;
            }
        }
    }

    bool timed_gpx() const { return state_.settings.gpx_time == show_hide::SHOWN; }

    // The chapter's name for the overlay's title: the output name in path_
    // without its folder and extension.
    std::string chapter_title() const {
        const char* name = path_.data();
        if (const char* slash = std::strrchr(name, '/')) name = slash + 1;
        const char* dot = std::strrchr(name, '.');
        return dot != nullptr ? std::string(name, dot) : std::string(name);
    }

    // After every event: the first output that failed a write ends the run,
    // and the chapter's files are dropped (an earlier file of each name stays).
    std::optional<int> stop_on_write_failure() {
        // One test of all five first, as every event asks: joined without
        // short cuts, the five error codes are or-ed and tested once.
        if (!(csv_.failed() | gpx_.failed() | srt_.failed() | ass_.failed() | outing_.failed())) {
            return std::nullopt;
        }
        for (const OutputFile* out : {&csv_, &gpx_, &srt_, &ass_, &outing_}) {
            if (out->failed()) {
                out->print_failure();
                if (outcome_ != nullptr) note_failure(*outcome_, out->failure_message());
                for (OutputFile* f : {&csv_, &gpx_, &srt_, &ass_, &outing_}) f->discard();
                return EXIT_WRITE_FAILED;
            }
        }
        return std::nullopt;
    }

    // Closes the chapter's files and puts them in place together. A finished
    // chapter (`complete`) first gets its GPX footer. An exit status when one
    // of them could not be written (none of them is then put in place).
    std::optional<int> end_chapter_files(bool complete) {
        if (complete && gpx_.is_open()) gpx_write_footer(gpx_.text());
        if (ass_.is_open()) overlay_.finish(ass_.text());  // the script is complete after any entry
        if (!commit_outputs({&srt_, &csv_, &gpx_, &ass_})) return EXIT_WRITE_FAILED;
        return std::nullopt;
    }

    // The outing track, at the end of the run: finished and put in place, or
    // dropped with the chapter's files after a failed write.
    std::optional<int> end_outing(bool keep) {
        if (!outing_.is_open()) return std::nullopt;
        if (!keep) {
            outing_.discard();
            return std::nullopt;
        }
        gpx_write_footer(outing_.text());
        if (!commit_outputs({&outing_})) return EXIT_WRITE_FAILED;
        return std::nullopt;
    }

    // The chapter's file name with `ext` into path_; an exit status when it
    // does not fit the path buffer.
    std::optional<int> build_name(const char* ext) {
        if (chapter_file_name(path_.data(), cl_.base_path, chapter_index_, ext, naming_) == -1) {
            say_failure(outcome_, "File name of chapter %d does not fit in %zu bytes. Exiting.\n", chapter_index_,
                        PATH_BUFFER_SIZE);
            return EXIT_FATAL;
        }
        return std::nullopt;
    }

    // The one way an output is opened: the chapter's name with the kind's
    // extension, which must not be one of the files this run reads (a cut
    // chapter name such as "GOPR1234567." can equal the chapter's own video),
    // announced, then opened (as a temporary file that replaces the name once
    // complete). Returns an exit status when the run must end; an optional
    // output that cannot be opened stays closed.
    std::optional<int> open_output(const OutputKind& kind, OutputFile& out) {
        if (const auto status = build_name(kind.ext)) return status;
        return open_named_output(kind, out);
    }

    // open_output for the name already in path_.
    std::optional<int> open_named_output(const OutputKind& kind, OutputFile& out) {
        const char* path = path_.data();
        struct stat st {};
        const bool exists = stat(path, &st) == 0;
        for (const InputFile* in : {&mp4_input_, &dat_input_, &settings_input_}) {
            if (in->is(path, exists ? &st : nullptr)) {
                say_failure(outcome_, "Refusing to overwrite input file %s with output %s\n", in->path.c_str(), path);
                return EXIT_FATAL;
            }
        }
        std::printf(kind.now_writing, path);
        if (exists) std::printf(kind.exists_warning, path);
        if (!out.open(path)) {
            say_failure(kind.required ? outcome_ : nullptr, kind.open_failed, path, std::strerror(errno));
            if (kind.required) return EXIT_FATAL;
        }
        return std::nullopt;
    }

    std::optional<int> start_chapter() {
        const bool chapter_done = srt_.is_open();  // none before the first chapter
        if (const auto status = end_chapter_files(true)) return status;
        if (chapter_done) {
            ++chapter_index_;
            chapter_offset_ += static_cast<std::uint32_t>(chapter_len_);
        }

        // A video not named like a chapter is the only chapter.
        const bool no_such_chapter = naming_.form == ChapterNaming::Form::Single && chapter_index_ > 0;
        if (!no_such_chapter) {
            if (const auto status = build_name("MP4")) return status;
        }
        const std::int32_t len = no_such_chapter ? -1 : chapter_length(chapter_index_);
        if (len < 0) {
            if (outcome_ != nullptr && !no_such_chapter)
                std::snprintf(outcome_->next_chapter.data(), outcome_->next_chapter.size(), "%s", path_.data());
            std::puts("No more chapters. Exiting.");
            return 0;
        }
        chapter_len_ = len;
        std::printf("Moving on to chapter %d (%s) with length %d\n", chapter_index_, path_.data(), chapter_len_);
        std::printf("Chapter offset is now %d\n", static_cast<std::int32_t>(chapter_offset_));
        {
            struct stat st {};
            mp4_input_.set(path_.data(), stat(path_.data(), &st) == 0 ? &st : nullptr);
        }

        if (const auto status = open_output(SRT_OUTPUT, srt_)) return status;
        state_.last_sub_time = NO_SUB_TIME;
        if (state_.settings.csv == on_off::ON) {
            if (const auto status = open_output(CSV_OUTPUT, csv_)) return status;
            if (csv_.is_open()) csv_write_header(csv_.text(), header_);
        }
        if (state_.settings.ass_overlay == show_hide::SHOWN) {
            if (const auto status = open_output(ASS_OUTPUT, ass_)) return status;
            if (ass_.is_open()) overlay_.start(ass_.text(), chapter_title().c_str());
        }
        sub_number_ = 1;
        if (outcome_ != nullptr) {
            ++outcome_->chapters_written;
            outcome_->chapters_end_ms = chapter_offset_ + static_cast<std::uint32_t>(chapter_len_);
        }
        return std::nullopt;
    }

    // At the chapter's first event with a fresh GPS record; a failed open is
    // tried again at the next such event.
    std::optional<int> open_gpx() {
        if (const auto status = open_output(GPX_OUTPUT, gpx_)) return status;
        if (gpx_.is_open() && timed_gpx() && !said_timed_) {
            std::puts("GPX track points carry their UTC fix times");
            said_timed_ = true;
        }
        if (gpx_.is_open()) gpx_write_header(gpx_.text(), path_.data(), header_, timed_gpx());
        if (state_.settings.gpx_outing == show_hide::SHOWN) {
            if (outing_.is_open()) gpx_write_segment_break(outing_.text());
            else if (!outing_tried_) return open_outing();
        }
        return std::nullopt;
    }

    // Once per run, at the first chapter GPX file; a failed open leaves the
    // run without an outing track rather than with one that misses chapters.
    std::optional<int> open_outing() {
        outing_tried_ = true;
        if (chapter_file_name(path_.data(), cl_.base_path, 0, OUTING_OUTPUT.ext, naming_) != 0) return std::nullopt;
        char* name = path_.data();
        char* slash = std::strrchr(name, '/');
        char* dot = std::strrchr(slash != nullptr ? slash : name, '.');
        if (dot == nullptr) dot = name + std::strlen(name);
        const std::size_t suffix_len = sizeof OUTING_SUFFIX - 1;
        if (std::strlen(name) + suffix_len >= PATH_BUFFER_SIZE) {
            std::printf("File name of the outing track does not fit in %zu bytes. Proceeding anyway.\n",
                        PATH_BUFFER_SIZE);
            return std::nullopt;
        }
        std::memmove(dot + suffix_len, dot, std::strlen(dot) + 1);
        std::memcpy(dot, OUTING_SUFFIX, suffix_len);
        if (const auto status = open_named_output(OUTING_OUTPUT, outing_)) return status;
        if (outing_.is_open()) gpx_write_header(outing_.text(), path_.data(), header_, timed_gpx(), highlights());
        return std::nullopt;
    }

    // The outing track's waypoints: a first pass over the log, only when asked for.
    std::vector<GpxWaypoint> highlights() const {
        if (state_.settings.gpx_highlights != show_hide::SHOWN) return {};
        std::vector<GpxWaypoint> w =
            highlight_waypoints(cl_.dat_path, cl_.base_path, naming_, state_.settings, state_.run);
        std::printf("GPX outing track marks %zu ride highlights\n", w.size());
        return w;
    }

    const LogCommand& cl_;
    std::FILE* dat_;
    const DatHeader& header_;
    RunState& state_;
    RunOutcome* outcome_;
    ChapterLengths* chapters_;  // nullptr: the videos' own
    ChapterNaming naming_;
    InputFile dat_input_, settings_input_, mp4_input_;

    std::array<char, PATH_BUFFER_SIZE> path_{};
    std::int32_t chapter_index_ = 0;
    std::uint32_t chapter_offset_ = 0;  // ms of log time before this chapter
    std::int32_t chapter_len_ = -1;     // ms; -1 so that the first event opens chapter 0
    std::int32_t sub_number_ = 1;
    OutputFile srt_, csv_, gpx_;
    OutputFile outing_;  // the whole log's track, one segment per chapter GPX file
    OutputFile ass_;     // the styled overlay, beside the SRT
    AssOverlay overlay_;
    bool outing_tried_ = false;
    bool said_timed_ = false;
};

// The ride page, named after the first chapter ("GOPR0042.html"), once the
// chapters are written: it finds them as they are now on the card.
int write_page_beside_chapters(const LogCommand& cl, const Settings& settings, RunOutcome* outcome) {
    const ChapterNaming naming = chapter_naming(cl.base_path, cl.named_video);
    std::array<char, PATH_BUFFER_SIZE> video{};
    if (chapter_file_name(video.data(), cl.base_path, 0, "MP4", naming) != 0) return EXIT_CONVERTED;
    // Chapter names are cut to 8.3; the page's extension is longer.
    std::string page = video.data();
    const std::size_t slash = page.rfind('/'), dot = page.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) page.erase(dot);
    page += ".html";
    RidePageRequest request;
    request.log_path = cl.dat_path;
    request.out_path = page.c_str();
    request.settings_path = cl.settings_path;
    request.first_chapter = video.data();
    request.naming = naming;
    request.high_g = cl.high_g;
    request.alt_adjust = cl.alt_adjust;
    std::string message;
    switch (write_ride_page(request, settings, message)) {
        case RidePageResult::Written: std::printf("Ride page: %s\n", message.c_str()); return EXIT_CONVERTED;
        case RidePageResult::NoSamples: return EXIT_CONVERTED;
        case RidePageResult::WriteFailed: say_failure(outcome, "%s\n", message.c_str()); return EXIT_WRITE_FAILED;
        case RidePageResult::Unreadable:
        case RidePageResult::OverInput: std::printf("No ride page: %s\n", message.c_str()); return EXIT_CONVERTED;
    }
    return EXIT_CONVERTED;
}

// A base named like a later chapter ("GP010042.MP4") is converted from its
// recording's first chapter, since the log starts there; says so, or, when
// that chapter is missing, that the named one cannot be placed in the log.
bool first_chapter_found(const LogCommand& cl, RunOutcome* outcome) {
    const ChapterNaming naming = chapter_naming(cl.base_path, cl.named_video);
    if (naming.named_chapter == 0) return true;
    std::array<char, PATH_BUFFER_SIZE> first{};
    if (chapter_file_name(first.data(), cl.base_path, 0, "MP4", naming) != 0) return true;  // said when opening
    const char* slash = std::strrchr(cl.base_path, '/');
    const char* recording = (slash != nullptr ? slash + 1 : cl.base_path) + 4;
    struct stat st {};
    if (stat(first.data(), &st) == 0 && S_ISREG(st.st_mode)) {
        std::printf("%s is chapter %d of recording %.4s: converting the recording from %s\n", cl.base_path,
                    naming.named_chapter, recording, first.data());
        return true;
    }
    say_failure(outcome, "%s is chapter %d of recording %.4s; placing it in the log needs %s\n", cl.base_path,
                naming.named_chapter, recording, first.data());
    if (outcome != nullptr)
        std::snprintf(outcome->next_chapter.data(), outcome->next_chapter.size(), "%s", first.data());
    return false;
}

}  // namespace

int convert_open_log(const LogCommand& cl, std::FILE* dat, const Settings& settings, const ConversionSeams& seams,
                     RunOutcome* outcome) {
    // The run's records live in static storage (the pipeline's rings alone
    // are over 100 KiB), owned here; every call starts from fresh ones.
    static RunState state;
    state = RunState{};
    state.settings = settings;
    state.run.alt_adjust = cl.alt_adjust;
    state.run.high_g = cl.high_g ? 1 : 0;

    DatHeader header;
    std::string problem;
    if (read_dat_header(dat, header, &problem) != 0) {
        if (outcome != nullptr) note_failure(*outcome, problem);
        return EXIT_FATAL;
    }
    settings_for_log(state.settings, header, stdout);

    if (!first_chapter_found(cl, outcome)) return EXIT_CONVERTED;
    Conversion conversion(cl, dat, header, state, seams, outcome);
    conversion.add_inputs(cl.settings_path);
    return conversion.run();
}

int convert_log(const LogCommand& cl, RunOutcome* outcome) {
    if (outcome != nullptr) outcome->started = true;

    // Chapter names are built in a fixed buffer; refuse a base path that
    // cannot fit rather than cut it.
    if (std::strlen(cl.base_path) >= PATH_BUFFER_SIZE) {
        say_failure(outcome, "Base path is too long: %zu bytes, at most %zu fit. Exiting.\n", std::strlen(cl.base_path),
                    PATH_BUFFER_SIZE - 1);
        return EXIT_FATAL;
    }

    if (outcome != nullptr) {
        struct stat st {};
        const bool exists = stat(cl.settings_path, &st) == 0;
        outcome->settings_found = exists && S_ISREG(st.st_mode);
        std::snprintf(outcome->settings_path.data(), outcome->settings_path.size(), "%s", cl.settings_path);
        if (cl.settings_given && !exists)
            std::printf("Settings file %s not found: using the defaults.\n", cl.settings_path);
    }
    Settings settings;
    settings_load(cl.settings_path, settings, outcome != nullptr);
    std::printf("Settings filename is %s\n", cl.settings_path);
    std::printf("Base path is %s\n", cl.base_path);
    std::printf("Altitude adjustment is %d feet\n", cl.alt_adjust);
    std::printf("High-G mode is %d\n", cl.high_g ? 1 : 0);

    InputOpen opened = InputOpen::CannotOpen;
    File dat = open_unbuffered(cl.dat_path, opened);
    if (!dat) {
        if (opened == InputOpen::NotRegular)
            say_failure(outcome, "Log file %s is not a regular file. Exiting.\n", cl.dat_path);
        else say_failure(outcome, "Could not open file %s\n", cl.dat_path);
        return EXIT_FATAL;
    }
    const int status = convert_open_log(cl, dat.get(), settings, ConversionSeams{}, outcome);
    if (status != EXIT_CONVERTED || settings.ride_page != show_hide::SHOWN) return status;
    return write_page_beside_chapters(cl, settings, outcome);
}

}  // namespace tarvex
