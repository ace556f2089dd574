// Video chapters: the file names derived from the first chapter's name, and
// each chapter's duration read from its MP4 movie header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace tarvex {

inline constexpr std::size_t PATH_BUFFER_SIZE = 4096;

// Writes into `buf` (PATH_BUFFER_SIZE bytes) the base path with its file-name
// part replaced by the chapter's name ("GOPR%04d.%s" / "GP%02d%04d.%s", cut to
// 12 characters). Returns 0, or -1 when the result does not fit the buffer.
int chapter_file_name(char* buf, const char* base_path, std::int32_t chapter_index, const char* ext);

// How chapter and output names derive from the base path's file-name part.
struct ChapterNaming {
    enum class Form : std::uint8_t {
        Camera,  // "GOPR%04d.%s" / "GP%02d%04d.%s", as above
        Single,  // a video not named like a chapter: it is the only chapter, and
                 // the outputs take its name ("MyRide.mp4" -> "MyRide.SRT")
    };
    Form form = Form::Camera;
    // Importers and card mounts change the case of names ("gopr0042.mp4",
    // "GOPR0042.mp4"): the chapters are looked for, and the outputs named,
    // in the case of the base's name part and of its extension, each on its own.
    bool lower_name = false;
    bool lower_ext = false;
    // The chapter the base's name is of ("GP010042.MP4": 1); the recording is
    // still converted from its first chapter.
    std::int32_t named_chapter = 0;
};

// The naming for `base_path`. A name in either camera form ("GOPR0042",
// "GP010042", any case, then the extension) is a chapter of its recording;
// with `named_video` (the user named the video), a name part in neither form
// and not beginning "GOPR"/"gopr" is a single video, so that no other file is
// read in its place. Without `named_video` the base is the log, whose
// extension says nothing of the videos': its case is taken from the first
// chapter's video found on disk (upper case when there is none).
ChapterNaming chapter_naming(const char* base_path, bool named_video);

// As above, in the given naming. Returns 0; -1 when the result does not fit
// the buffer; -2 when there is no such chapter (a single video has only
// chapter 0). A single video's own name is its chapter-0 "MP4" name, and it
// only fits when its outputs' names fit too.
int chapter_file_name(char* buf, const char* base_path, std::int32_t chapter_index, const char* ext,
                      ChapterNaming naming);

inline constexpr std::int32_t MP4_NO_DURATION = -1;
inline constexpr std::int32_t MP4_CANNOT_OPEN = -2;
inline constexpr std::int32_t MP4_NOT_REGULAR = -3;  // FIFO, directory, device: never a video

// Duration in ms (>= 0), or one of the MP4_... results above. Never blocks
// on opening (a FIFO without a writer).
std::int32_t mp4_duration_once(const char* path);
// The walk over an open, seekable stream (from its start): duration in ms,
// or MP4_NO_DURATION.
std::int32_t mp4_duration_of(std::FILE* f);
// Retries mp4_duration_once 60 times 500 ms apart while the file is a
// regular file without a usable duration. Duration in ms, or -1.
std::int32_t mp4_duration(const char* path);

// The wait between probe attempts; tests replace it to run in milliseconds.
// Takes microseconds. Default: usleep.
void set_probe_sleep(std::function<void(std::uint32_t)> sleeper);

}  // namespace tarvex
