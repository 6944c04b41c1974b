// A fresh directory under the prefix's temporary directory for one test program, removed with all
// its contents when the owner goes away.
#pragma once

#include <string>

class ScratchDir {
public:
    // Creates <temp>\<name>_<process id>\ (an earlier leftover of the same name is cleared first).
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The directory, without a trailing backslash.
    const std::string& path() const { return path_; }
    // path() + "\" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

    // Creates a file holding `contents` (path relative to the directory); true on success.
    bool writeFile(const std::string& relative, const std::string& contents = "x") const;
    // Creates one directory (relative to the directory); true on success.
    bool makeDir(const std::string& relative) const;

private:
    std::string path_;
};

// Deletes a file or a directory tree; true when nothing is left.
bool DeleteTree(const std::string& path);
