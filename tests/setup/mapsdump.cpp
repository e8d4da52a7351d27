// Preloaded into a program under test: when the program ends, its memory
// map (/proc/self/maps, every library it loaded by then) is copied to the
// file $KELM_MAPS_OUT.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {

__attribute__((destructor)) void CopyMemoryMap()
{
    const char* target = std::getenv("KELM_MAPS_OUT");
    if (!target || !*target)
        return;
    int in = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    int out = ::open(target, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    char buf[8192];
    ssize_t n = 0;
    while (in >= 0 && out >= 0 && (n = ::read(in, buf, sizeof buf)) > 0)
        if (::write(out, buf, static_cast<std::size_t>(n)) != n)
            break;
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
}

} // namespace
