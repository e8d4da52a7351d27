#include "installer/ui/singleinstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace dorvik {

namespace {

bool fillAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string CSingleInstance::RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st{};
    if (runtime && *runtime == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return runtime;
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp == '/' ? tmp : "/tmp";
}

CSingleInstance::CSingleInstance(const std::string& name)
    : m_name(name), m_socketPath(RuntimeFolder() + "/" + name + ".sock")
{
}

CSingleInstance::~CSingleInstance()
{
    if (m_listenFd >= 0) {
        ::shutdown(m_listenFd, SHUT_RDWR);
        ::close(m_listenFd);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_lockFd >= 0) {
        ::unlink(m_socketPath.c_str());
        ::close(m_lockFd);
    }
}

bool CSingleInstance::Acquire()
{
    std::string lockPath = RuntimeFolder() + "/" + m_name + ".lock";
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no place for the lock: nothing to guard with
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lockFd = fd;
        return true;
    }
    ::close(fd);
    sockaddr_un address;
    int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (client >= 0 && fillAddress(m_socketPath, address) &&
        ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        (void)!::write(client, "raise\n", 6);
    if (client >= 0)
        ::close(client);
    return false;
}

void CSingleInstance::Listen(std::function<void()> onRaise)
{
    sockaddr_un address;
    if (m_lockFd < 0 || !fillAddress(m_socketPath, address))
        return;
    ::unlink(m_socketPath.c_str()); // left by a copy that crashed; we hold the lock
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
    m_thread = std::thread([fd, onRaise = std::move(onRaise)] {
        for (;;) {
            int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                if (errno == EINTR)
                    continue;
                return; // the socket was shut down
            }
            char buffer[16];
            (void)!::read(client, buffer, sizeof buffer);
            ::close(client);
            onRaise();
        }
    });
}

} // namespace dorvik
