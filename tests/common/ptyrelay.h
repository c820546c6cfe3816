#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A pseudo-terminal pair joined to a socket pair by a relay thread: the program
// under test opens end A's device, a peer (an lrzsz program) runs on end B, a
// socket. The relay copies the bytes both ways and can spoil them at given offsets,
// counted per direction from the relay's start.
//
// End B is a socket, not a second terminal, because lrzsz flushes its terminal
// (TCIOFLUSH) as it exits, right after its last ACK: on a pseudo-terminal that also
// discards the ACK if the relay has not read it yet, a race a real line does not
// have (there the flush follows a drain that put the ACK on the wire).
class PtyRelay
{
public:
    enum class Direction { AtoB, BtoA };
    struct Fault
    {
        enum class Kind { Corrupt, Drop, Delay } kind = Kind::Corrupt;
        Direction direction = Direction::AtoB;
        uint64_t offset = 0; // the byte it happens to
        int delayMs = 0; // Delay: held this long before it goes on
    };

    explicit PtyRelay(std::vector<Fault> faults = {});
    ~PtyRelay();
    PtyRelay(const PtyRelay &) = delete;
    PtyRelay &operator=(const PtyRelay &) = delete;

    const std::string &deviceA() const { return m_nameA; }
    int endB() const { return m_peerEnd; }
    // Bytes that passed so far in `direction` (before faults).
    uint64_t passed(Direction direction) const
    {
        return m_passed[direction == Direction::AtoB ? 0 : 1].load();
    }

private:
    void run();
    void forward(int from, int to, int index);

    int m_masterA = -1, m_slaveA = -1, m_masterB = -1, m_peerEnd = -1;
    std::string m_nameA;
    std::vector<Fault> m_faults;
    std::atomic<uint64_t> m_passed[2] {};
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

// An lrzsz program (sx, sb, rx, rb...) running with its standard input and output
// on descriptor `end`, in folder `folder`; its messages go to <folder>/../peer.log.
class PeerProgram
{
public:
    PeerProgram(const std::vector<std::string> &args, int end, const std::string &folder);
    ~PeerProgram();
    PeerProgram(const PeerProgram &) = delete;
    PeerProgram &operator=(const PeerProgram &) = delete;

    // Waits up to `timeoutMs` for the end; the exit status, or -1 when it still
    // runs (it is then killed).
    int wait(int timeoutMs);
    // Asks the program to stop (SIGTERM; lrzsz then cancels the transfer).
    void interrupt() const;
    // Children's CPU time (user + system) of the ended program, in milliseconds.
    double cpuMs() const { return m_cpuMs; }

private:
    int m_pid = -1;
    double m_cpuMs = 0;
};

// A file of `size` bytes of a fixed pseudo-random pattern (seeded by `seed`).
std::string PatternBytes(std::size_t size, unsigned seed = 1);
void WriteFileBytes(const std::string &path, const std::string &bytes);
std::string ReadFileBytes(const std::string &path);
