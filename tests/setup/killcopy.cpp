// Preloaded into a program under test: the program is killed in the middle
// of copying a file, after the first byte of the copy of the file numbered
// $KELM_KILL_IN_COPY (counting from 1, in the order the copies begin).
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                                   unsigned int flags)
{
    using Real = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "copy_file_range"));
    static int copies = 0;
    const char* at = std::getenv("KELM_KILL_IN_COPY");
    // A copy begins with the source at its start.
    if (at && ::lseek(in, 0, SEEK_CUR) == 0 && ++copies == std::atoi(at)) {
        real(in, inOffset, out, outOffset, 1, flags);
        ::raise(SIGKILL);
    }
    return real(in, inOffset, out, outOffset, length, flags);
}
