// A named marker shared by processes: a lock file in the suite's runtime folder,
// held with flock for as long as this object lives (the system releases it when
// the process dies). Every holder keeps a shared lock, so the name stays taken
// while any holder lives; whoever finds no other holder is the one that created it.
#pragma once

#include <string>

namespace platform {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the named lock. Returns false when the lock file cannot be used;
    // `alreadyExisted` tells whether another process held the name already.
    bool Create(const std::string& name, bool* alreadyExisted);
    void Close();
    bool IsHeld() const { return m_fd >= 0; }

    // The lock file that stands for `name`.
    static std::string PathFor(const std::string& name);

private:
    int m_fd = -1;
};

} // namespace platform
