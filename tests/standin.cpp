// The trainer's stand-in: appends "<pid> <program size>" to STANDIN_LOG, then
// waits for SIGTERM (ignored with STANDIN_IGNORE_TERM) or a minute.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <unistd.h>

#include <sys/stat.h>

int main()
{
    constexpr unsigned lifetimeSeconds = 60;
    struct stat self
    {};
    const char *log = std::getenv("STANDIN_LOG");
    std::FILE *file = log ? std::fopen(log, "a") : nullptr;
    if (::stat("/proc/self/exe", &self) != 0 || !file)
        return 1;
    if (std::getenv("STANDIN_IGNORE_TERM"))
        std::signal(SIGTERM, SIG_IGN);
    std::fprintf(file, "%d %lld\n", int(::getpid()), static_cast<long long>(self.st_size));
    std::fclose(file);
    // Nothing of a test's output stays open in a stand-in left running.
    for (std::FILE *stream : {stdin, stdout, stderr})
        std::freopen("/dev/null", stream == stdin ? "r" : "w", stream);
    ::alarm(lifetimeSeconds);
    for (;;)
        ::pause();
}
