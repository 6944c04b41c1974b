// Starts and stops the stand-in Program Manager (tests/services/programs/progman_peer) and reads
// what it recorded. The peer lives beside the test programs in the build's bin folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Test programs run side by side in one prefix, and a Program Manager client talks to whichever
// "PROGMAN" server answers first: a test that starts the stand-in, or that needs no server at
// all, holds this lock (a mutex named across the prefix) while it runs.
class ProgmanServiceLock {
public:
    ProgmanServiceLock();
    ~ProgmanServiceLock();
    ProgmanServiceLock(const ProgmanServiceLock&) = delete;
    ProgmanServiceLock& operator=(const ProgmanServiceLock&) = delete;
    bool Held() const { return held_; }

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

class ProgmanPeerHost {
public:
    ProgmanPeerHost() = default;
    ~ProgmanPeerHost() { Stop(); }
    ProgmanPeerHost(const ProgmanPeerHost&) = delete;
    ProgmanPeerHost& operator=(const ProgmanPeerHost&) = delete;

    // Seeds the peer with the given directives (see the peer's source) and waits until it serves.
    // Holds the ProgmanServiceLock until Stop.
    bool Start(const std::string& seed);
    void Stop();

    // Every transaction so far, "execute <text>" or "request <item>", in order.
    std::vector<std::string> Transactions() const;
    // Only the texts of the executed commands, in order.
    std::vector<std::string> Commands() const;
    // The peer's groups and items now: "group <name>" and "item <name>" lines.
    std::vector<std::string> State() const;

    const std::string& RecordPath() const { return recordPath_; }

private:
    ProgmanServiceLock* lock_ = nullptr;
    PROCESS_INFORMATION process_{};
    HANDLE quit_ = nullptr;
    std::string folder_;
    std::string recordPath_;
};

// Path of a program built beside the running test program.
std::string SiblingProgramPath(const char* fileName);
// The lines of a text file (CR and LF both end a line); empty when it cannot be read.
std::vector<std::string> ReadTextLines(const std::string& path);
