// A stand-in for the trainer in the updater's tests, a program file whose
// process the updater can recognise (/proc/PID/exe). On start it appends
// "<pid> <size of its own program file>" to the file STANDIN_LOG names, then
// waits for a signal: SIGTERM ends it unless STANDIN_IGNORE_TERM is set. It
// ends by itself after a minute, so that it never outlives a broken test.

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
    if (::stat("/proc/self/exe", &self) != 0 || !log)
        return 1;
    if (std::getenv("STANDIN_IGNORE_TERM"))
        std::signal(SIGTERM, SIG_IGN);
    std::FILE *file = std::fopen(log, "a");
    if (!file)
        return 1;
    std::fprintf(file, "%d %lld\n", int(::getpid()), static_cast<long long>(self.st_size));
    std::fclose(file);
    // Nothing of a test's output stays open in a stand-in left running.
    for (std::FILE *stream : {stdin, stdout, stderr})
        std::freopen("/dev/null", stream == stdin ? "r" : "w", stream);
    ::alarm(lifetimeSeconds);
    for (;;)
        ::pause();
}
