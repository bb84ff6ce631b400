#include "instance_lock.h"

#include "instance_registry.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

InstanceLock::~InstanceLock()
{
    Close();
}

std::string InstanceLock::PathFor(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += (c == '/' || c == '\0') ? '_' : c;
    return SuiteRuntimeDir() + "/" + safe + ".lock";
}

bool InstanceLock::Create(const std::string& name, bool* alreadyExisted)
{
    Close();
    if (alreadyExisted)
        *alreadyExisted = false;
    // Close-on-exec: a child process (the phone link) must not keep the name taken.
    const int fd = ::open(PathFor(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;

    bool existed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return false;
        }
        existed = true;
    }
    // Everyone ends up holding a shared lock so that later starts see the name taken.
    // The first holder may be converting its exclusive lock just now: wait for it.
    if (::flock(fd, LOCK_SH) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    if (alreadyExisted)
        *alreadyExisted = existed;
    return true;
}

void InstanceLock::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace platform
