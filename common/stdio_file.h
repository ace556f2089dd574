// Ownership of C stdio streams: a stream that is closed when its owner lets
// it go, on every path. Shared by the programs and their tests so that there
// is one such owner type.
#pragma once

#include <cstdio>
#include <memory>

namespace tarvex {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tarvex
