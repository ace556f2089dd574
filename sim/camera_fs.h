// The camera's file system on a PC: a folder ROOT stands for "/", and the
// recorder's shell commands run inside it.
#pragma once

#include <string>

namespace tarvex::sim {

// An absolute camera path under root; relative paths are left alone. An
// empty root maps nothing: the path points nowhere, so nothing on the host
// is touched by mistake.
std::string camera_path_under(const std::string& root, const char* path);

// The command with every word that starts with /tmp moved under root
// (quoted for the shell).
std::string command_under(const std::string& root, const char* command);

// True for "sync", which the simulated card does not need.
bool is_card_flush(const char* command);

// Runs a recorder shell command the way system() does, with root as the
// working directory; "sync" is a no-op (the simulated card needs no flush).
int run_camera_shell(const std::string& root, const char* command);

}  // namespace tarvex::sim
