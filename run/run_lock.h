#pragma once

#include <string>

namespace run {

// A run's hold on its names: an exclusive advisory lock (flock) on its positive curve file,
// taken without waiting and kept for the run's whole length, so that a second run on the same
// name base (another varnel-batch, or the window) fails at once instead of truncating the
// files this one is writing. The file is opened without truncating it and without following
// a symbolic link; it is created if missing.
class RunLock
{
public:
    // Throws RunFailure: PathFileAccessError when another run holds the lock, or the file
    // system's code when the file cannot be opened.
    explicit RunLock(const std::string& positivePath);
    // Lets go, removing the locked file first when asked (quietly: release() reports).
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // The locked file is to be removed as the lock is let go: the names stay held until then.
    void removeWhenReleased()
    {
        m_removeWhenReleased = true;
    }

    // The file `temporaryPath`, written beside the locked file, takes its name, and the lock
    // moves onto it, so that the name stays held. Throws RunFailure with the file system's code.
    void renameInto(const std::string& temporaryPath);

    // Lets go of the names, first removing the locked file when asked. Throws RunFailure with
    // the file system's code when it cannot be removed (the lock is let go all the same).
    void release();

private:
    std::string m_path;
    int m_fd = -1;
    bool m_removeWhenReleased = false;
};

}  // namespace run
