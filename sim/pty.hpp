#pragma once
// A pseudo-terminal pair: the simulated instrument holds the master side, the
// program opens the slave device by its path like any serial port.
#include <string>

namespace orlogix::sim {

// The rate the program set on the slave side, read through the master
// (tcgetattr there returns the slave's settings): 0 until a program sets
// one, and it stays after the program closes the port. -1 on failure.
int line_rate(int master_fd);

class PtyPair {
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    // Opens the pair in raw mode. 0, or -1 with errno set.
    int open();
    void close();

    int master_fd() const { return master_; }
    // The device path the program opens, e.g. /dev/pts/7.
    const std::string& device_path() const { return path_; }

private:
    int master_ = -1;
    int slave_ = -1;   // kept open so the pair survives the program closing its side
    std::string path_;
};

}  // namespace orlogix::sim
