#include "camera_fs.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvex::sim {

namespace {

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

bool starts_word(const char* command, const char* p) {
    if (p == command) return true;
    return std::strchr(" \t\n;&|<>(=", p[-1]) != nullptr;
}

bool is_tmp_path(const char* p) {
    return std::strncmp(p, "/tmp", 4) == 0 && (p[4] == '/' || p[4] == '\0' || std::strchr(" \t\n;&|<>)", p[4]));
}

}  // namespace

std::string camera_path_under(const std::string& root, const char* path) {
    if (path[0] != '/') return path;
    if (root.empty()) return std::string("/nonexistent-camera-root") + path;
    return root + path;
}

std::string command_under(const std::string& root, const char* command) {
    std::string out;
    for (const char* p = command; *p != '\0'; ++p) {
        if (starts_word(command, p) && is_tmp_path(p)) out += shell_quote(root);
        out += *p;
    }
    return out;
}

bool is_card_flush(const char* command) { return std::strcmp(command, "sync") == 0; }

int run_camera_shell(const std::string& root, const char* command) {
    if (is_card_flush(command)) return 0;
    if (root.empty()) return -1;
    const std::string translated = command_under(root, command);
    // Whatever the recorder printed comes before what the command prints.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (chdir(root.c_str()) != 0) _exit(127);
        execl("/bin/sh", "sh", "-c", translated.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

}  // namespace tarvex::sim
