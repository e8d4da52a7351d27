// One Dorvik per user: a lock file held with flock under $XDG_RUNTIME_DIR
// (released by the system however the process ends), and a Unix socket
// beside it through which a second start asks the first one to come to the
// front.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace dorvik {

class CSingleInstance {
public:
    // `name` is the lock's and the socket's name.
    explicit CSingleInstance(const std::string& name);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // False when another instance holds the lock; that one is asked to come
    // to the front.
    bool Acquire();
    // Called on the listening thread each time another start knocks.
    void Listen(std::function<void()> onRaise);

    static std::string RuntimeFolder();

private:
    std::string m_name;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    std::thread m_thread;
};

} // namespace dorvik
