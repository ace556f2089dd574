// Chapter files of one recording and the MP4 duration probe.
//
// Chapter files can exceed 2 GiB; on the camera's 32-bit ARM the stream
// offsets are 32 bits unless asked otherwise, so this file asks for 64.
#define _FILE_OFFSET_BITS 64

#include "chapters.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "regular_input.h"
#include "settings.h"
#include "stdio_file.h"

static_assert(sizeof(off_t) == 8, "chapter files need 64-bit file offsets");

namespace tarvex {

namespace {

// Length of a chapter's file-name part, terminating NUL included.
constexpr std::size_t NAME_PART_SIZE = 13;

constexpr int PROBE_ATTEMPTS = 60;
constexpr std::uint32_t PROBE_WAIT_US = 500000;
constexpr int BOX_HEADERS_ALLOWED = 99;

std::function<void(std::uint32_t)>& probe_sleep() {
    static std::function<void(std::uint32_t)> sleeper;
    return sleeper;
}

// Reads `n` bytes big-endian. Returns false when the read met end of file
// (or an error); the stream's indicator then tells which.
bool read_be(std::FILE* f, int n, std::uint64_t& out) {
    out = 0;
    for (int i = 0; i < n; ++i) {
        const int c = std::getc(f);
        if (c == EOF) return false;
        out = (out << 8) | static_cast<std::uint8_t>(c);
    }
    return true;
}

// Duration in ms from a movie header's timescale and duration, or -1.
// Timescales of 1000 and more are first cut to whole thousands (44100 -> 44),
// which is how the camera's own players count; smaller ones scale exactly.
std::int32_t duration_ms(std::uint32_t timescale, std::uint64_t duration) {
    if (static_cast<std::int32_t>(timescale) <= 0) return -1;
    std::uint64_t ms;
    if (timescale >= 1000) {
        ms = duration / (timescale / 1000);
    } else {
        // duration * 1000 / timescale without overflowing 64 bits.
        const std::uint64_t whole = duration / timescale, rest = duration % timescale;
        if (whole > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return -1;
        ms = whole * 1000 + rest * 1000 / timescale;
    }
    // A chapter of 24 days or more does not fit the millisecond timeline.
    if (ms > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return -1;
    return static_cast<std::int32_t>(ms);
}

void print_walk_failure(int done, int allowed, std::FILE* f) {
    std::printf("MP4len internal call failed: done: %d, attempts: %d, feof: %d\n", done, allowed, std::feof(f) ? 1 : 0);
}

// Reads the movie header's fields after its box header. Duration in ms, or
// -1 (also when the file ends inside the fields: a header still being
// written). The fields are read whatever size the box declares, as for a
// size past the end of the file: a box too small for its own fields that is
// followed by them still gives the duration.
// Only version 1 has its own layout (64-bit times and duration); every other
// version is read with the version-0 layout.
std::int32_t read_mvhd(std::FILE* f) {
    std::uint64_t version = 0, skip = 0, timescale = 0, duration = 0;
    if (!read_be(f, 1, version) || !read_be(f, 3, skip)) return -1;
    if (version == 1) {
        // creation, modification (64 bits each), timescale, duration (64 bits)
        if (!read_be(f, 8, skip) || !read_be(f, 8, skip) || !read_be(f, 4, timescale) || !read_be(f, 8, duration))
            return -1;
        if (static_cast<std::int64_t>(duration) <= 0) return -1;
    } else {
        // creation, modification (32 bits each), timescale, duration (32 bits)
        if (!read_be(f, 8, skip) || !read_be(f, 4, timescale) || !read_be(f, 4, duration)) return -1;
        if (static_cast<std::int32_t>(duration) <= 0) return -1;
    }
    return duration_ms(static_cast<std::uint32_t>(timescale), duration);
}

}  // namespace

void set_probe_sleep(std::function<void(std::uint32_t)> sleeper) { probe_sleep() = std::move(sleeper); }

int chapter_file_name(char* buf, const char* base_path, std::int32_t chapter_index, const char* ext) {
    return chapter_file_name(buf, base_path, chapter_index, ext, ChapterNaming{});
}

namespace {

bool all_digits(const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isdigit(static_cast<unsigned char>(s[i])) == 0) return false;
    }
    return true;
}

bool equal_ignoring_case(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool is_lower_word(const char* s, std::size_t n) {
    bool letters = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isupper(static_cast<unsigned char>(s[i])) != 0) return false;
        letters = letters || std::islower(static_cast<unsigned char>(s[i])) != 0;
    }
    return letters;
}

// The chapter a name part in camera form is of (0 for "GOPRnnnn", xx for
// "GPxxnnnn", any case, then '.' or the end), or -1.
std::int32_t camera_chapter(const char* name) {
    const std::size_t len = std::strcspn(name, ".");
    if (len == 8 && equal_ignoring_case(name, "GOPR", 4) && all_digits(name + 4, 4)) return 0;
    if (len == 8 && equal_ignoring_case(name, "GP", 2) && all_digits(name + 2, 6))
        return (name[2] - '0') * 10 + (name[3] - '0');
    return -1;
}

bool exists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0;
}

}  // namespace

ChapterNaming chapter_naming(const char* base_path, bool named_video) {
    const char* slash = std::strrchr(base_path, '/');
    const char* name = slash != nullptr ? slash + 1 : base_path;
    const char* dot = std::strrchr(name, '.');
    ChapterNaming naming;
    const std::int32_t chapter = camera_chapter(name);
    if (chapter < 0) {
        // As the camera names them, or a lower-case name all in lower case.
        naming.lower_name = naming.lower_ext = std::strncmp(name, "gopr", 4) == 0;
        if (named_video && *name != '\0' && std::strncmp(name, "GOPR", 4) != 0)
            naming.form = ChapterNaming::Form::Single;
        return naming;
    }
    naming.named_chapter = chapter;
    naming.lower_name = is_lower_word(name, chapter == 0 ? 4 : 2);
    naming.lower_ext = dot != nullptr && is_lower_word(dot + 1, std::strlen(dot + 1));
    if (!named_video) {
        // The first chapter's video as it is on disk, in either case.
        std::array<char, PATH_BUFFER_SIZE> path{};
        for (const bool lower : {false, true}) {
            ChapterNaming probe = naming;
            probe.lower_ext = lower;
            if (chapter_file_name(path.data(), base_path, 0, "MP4", probe) == 0 && exists(path.data())) {
                naming.lower_ext = lower;
                break;
            }
        }
    }
    return naming;
}

int chapter_file_name(char* buf, const char* base_path, std::int32_t chapter_index, const char* ext,
                      ChapterNaming naming) {
    const char* slash = std::strrchr(base_path, '/');
    const char* name = slash != nullptr ? slash + 1 : base_path;
    const std::size_t dir_len = static_cast<std::size_t>(name - base_path);

    if (naming.form == ChapterNaming::Form::Single) {
        if (chapter_index != 0) return -2;
        const char* dot = std::strrchr(name, '.');
        const std::size_t stem_len = dot != nullptr ? static_cast<std::size_t>(dot - name) : std::strlen(name);
        // Room for the stem, '.', a three-letter extension and the NUL.
        if (dir_len + stem_len + 5 > PATH_BUFFER_SIZE || dir_len + stem_len + std::strlen(ext) + 2 > PATH_BUFFER_SIZE)
            return -1;
        if (std::strcmp(ext, "MP4") == 0) {
            std::memmove(buf, base_path, std::strlen(base_path) + 1);  // buf may be base_path itself
        } else {
            std::memmove(buf, base_path, dir_len + stem_len);
            buf[dir_len + stem_len] = '.';
            std::memcpy(buf + dir_len + stem_len + 1, ext, std::strlen(ext) + 1);
        }
        return 0;
    }

    // The file number starts at the name's fifth character ("GOPR0042.MP4").
    const std::int32_t file_number = std::strlen(name) >= 4 ? strtol32(name + 4) : 0;

    char part[NAME_PART_SIZE];
    if (chapter_index == 0) std::snprintf(part, sizeof part, "GOPR%04d.%s", file_number, ext);
    else std::snprintf(part, sizeof part, "GP%02d%04d.%s", chapter_index, file_number, ext);

    char* part_dot = std::strchr(part, '.');
    for (char* c = part; *c != '\0'; ++c) {
        const bool in_ext = part_dot != nullptr && c > part_dot;
        if (in_ext ? naming.lower_ext : naming.lower_name)
            *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    }

    const std::size_t part_len = std::strlen(part);
    if (dir_len + part_len + 1 > PATH_BUFFER_SIZE) return -1;
    std::memmove(buf, base_path, dir_len);  // buf may be base_path itself
    std::memcpy(buf + dir_len, part, part_len + 1);
    return 0;
}

std::int32_t mp4_duration_once(const char* path) {
    InputOpen opened = InputOpen::CannotOpen;
    File file(open_regular_input(path, opened));
    if (opened == InputOpen::NotRegular) return MP4_NOT_REGULAR;
    if (!file) {
        std::printf("Could not open %s\n", path);
        return MP4_CANNOT_OPEN;
    }
    return mp4_duration_of(file.get());
}

std::int32_t mp4_duration_of(std::FILE* f) {
    // Box sizes are checked against the file's length, so that a damaged or
    // half-written file can neither send the walk backwards nor past its end.
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    const off_t file_len = ftello(f);
    if (file_len < 0 || fseeko(f, 0, SEEK_SET) != 0) return -1;
    const auto file_size = static_cast<std::uint64_t>(file_len);

    int allowed = BOX_HEADERS_ALLOWED;
    for (;;) {
        const off_t start_pos = ftello(f);
        if (start_pos < 0) return -1;
        const auto start = static_cast<std::uint64_t>(start_pos);

        std::uint64_t size = 0, type_word = 0;
        if (!read_be(f, 4, size)) size = 0xFFFFFFFFu;
        if (size == 0 || size == 0xFFFFFFFFu) return -1;
        const bool have_type = read_be(f, 4, type_word);
        char type[4];
        for (int i = 0; i < 4; ++i) type[i] = static_cast<char>(type_word >> (24 - 8 * i));

        std::uint64_t header_len = 8;
        if (size == 1) {  // 64-bit size follows the type
            if (!have_type || !read_be(f, 8, size)) return -1;
            header_len = 16;
        }
        if (!have_type || size < header_len) return -1;
        const bool past_end = size > file_size - start;

        if (std::memcmp(type, "moov", 4) == 0) {
            // Its child boxes follow directly; the next rounds read them, each
            // checked against the end of the file on its own.
        } else if (std::memcmp(type, "mvhd", 4) == 0) {
            // Only the fields are read, so a box whose declared size runs
            // past the end of the file still gives its duration when the
            // fields themselves are there.
            if (std::feof(f)) {
                print_walk_failure(1, allowed, f);
                return -1;
            }
            return read_mvhd(f);
        } else if (past_end) {
            // The walk would seek past the end and meet it at the next box
            // header; the box still counts, so the 99th one is the last.
            if (--allowed == 0) print_walk_failure(0, allowed, f);
            return -1;
        } else if (fseeko(f, static_cast<off_t>(size - header_len), SEEK_CUR) != 0) {
            return -1;
        }

        --allowed;
        if (allowed == 0 || std::feof(f)) break;
    }
    print_walk_failure(0, allowed, f);
    return -1;
}

std::int32_t mp4_duration(const char* path) {
    for (int attempt = 0; attempt < PROBE_ATTEMPTS; ++attempt) {
        std::printf("Starting mp4len attempt %d on %s\n", attempt, path);
        const std::int32_t ms = mp4_duration_once(path);
        if (ms == MP4_CANNOT_OPEN) {
            std::printf("No such file: %s - giving up right away\n", path);
            return -1;
        }
        if (ms == MP4_NOT_REGULAR) {
            // A FIFO, directory or device never becomes a video: no waiting.
            std::printf("Not a regular file: %s - giving up right away\n", path);
            return -1;
        }
        if (ms >= 0) {
            std::printf("MP4Len succeeded on %s: %d\n", path, ms);
            return ms;
        }
        // The camera may still be writing the file's movie header: wait.
        if (probe_sleep()) probe_sleep()(PROBE_WAIT_US);
        else usleep(PROBE_WAIT_US);
    }
    std::printf("MP4Len - giving up on %s after all attempts exhausted\n", path);
    return -1;
}

}  // namespace tarvex
