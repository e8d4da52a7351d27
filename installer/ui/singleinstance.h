// One Dorvik per user: a lock under $XDG_RUNTIME_DIR, and a Unix socket
// beside it through which a second start asks the first one to come to the
// front.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

class wxSingleInstanceChecker;

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
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    int m_listenFd = -1;
    std::thread m_thread;
};

} // namespace dorvik
