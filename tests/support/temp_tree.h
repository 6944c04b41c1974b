// A scratch directory (see scratch_dir.h) with helpers that fill it with files in nested
// directories, and plain whole-file reads and writes for checking what the code under test left.
#pragma once
#include <string>

#include "support/scratch_dir.h"

class TempTree {
public:
    explicit TempTree(const char* name) : scratch_(std::string("uninst_") + name) {}

    const std::string& Root() const { return scratch_.path(); }
    // Root() + "\" + relative
    std::string Path(const std::string& relative) const { return scratch_ / relative; }
    // Creates the file (and its missing directories) with the given contents; returns its path.
    std::string AddFile(const std::string& relative, const std::string& contents = "x");
    // Creates the directory and its missing parents; returns its path.
    std::string AddDirectory(const std::string& relative);

private:
    ScratchDir scratch_;
};

bool PathExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& contents);
