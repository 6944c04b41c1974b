// A directory of the test's own under the Windows temporary directory, removed with everything
// in it when the test ends, plus small helpers to fill it with files.
#pragma once
#include <string>

class TempTree {
public:
    // name: a short label; the process id keeps parallel test programs apart.
    explicit TempTree(const char* name);
    ~TempTree();

    const std::string& Root() const { return root_; }
    // root + "\" + relative
    std::string Path(const std::string& relative) const;
    // Creates the file (and its missing directories) with the given contents; returns its path.
    std::string AddFile(const std::string& relative, const std::string& contents = "x");
    // Creates the directory and its missing parents; returns its path.
    std::string AddDirectory(const std::string& relative);

private:
    std::string root_;
};

bool PathExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& contents);
// Removes a directory tree, clearing read-only attributes on the way; missing paths are fine.
void RemoveTree(const std::string& path);
