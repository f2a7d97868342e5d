// SPDX-License-Identifier: MIT
// virtualboard-run: starts a program with its serial ports on pseudo-terminals that the virtual
// board drives, so that the relay outputs can be watched without any serial hardware and
// without the program ever reaching a real port.
//
//   virtualboard-run [--port PATH]... [--] PROGRAM [ARGUMENT]...
//
// Each --port names a device the program opens (default /dev/ttyS0 and /dev/ttyS1, the
// program's ports 1 and 2); each gets a pseudo-terminal of its own. The live view goes to
// stderr, one line whenever the outputs change, unless VIRTUALBOARD_LIVE and
// VIRTUALBOARD_LIVE_CHANGES say otherwise.

#include <elf.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
pid_t g_child = -1;

void forward(int signal)
{
    if (g_child > 0)
        ::kill(g_child, signal);
}

std::string findProgram(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char *path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= directories.size()) {
        const size_t end = directories.find(':', start);
        const std::string directory
            = directories.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return name;
}

// The loader ignores LD_PRELOAD for set-id programs and there is no loader for static ones;
// either would then open the real devices, so both are refused here.
bool preloadWorks(const std::string &program, std::string &why)
{
    struct stat info
    {
    };
    if (::stat(program.c_str(), &info) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (info.st_mode & (S_ISUID | S_ISGID)) {
        why = "it is set-user-ID or set-group-ID";
        return false;
    }
    FILE *file = std::fopen(program.c_str(), "rb");
    if (!file) {
        why = std::strerror(errno);
        return false;
    }
    Elf64_Ehdr header {};
    bool dynamic = false;
    if (std::fread(&header, sizeof header, 1, file) == 1
        && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0
        && header.e_ident[EI_CLASS] == ELFCLASS64) {
        for (int i = 0; i < header.e_phnum && !dynamic; ++i) {
            Elf64_Phdr segment {};
            if (std::fseek(file, long(header.e_phoff + Elf64_Off(i) * header.e_phentsize), SEEK_SET)
                    != 0
                || std::fread(&segment, sizeof segment, 1, file) != 1)
                break;
            dynamic = segment.p_type == PT_INTERP;
        }
    }
    std::fclose(file);
    if (!dynamic)
        why = "it is not a dynamically linked 64-bit program";
    return dynamic;
}

int usage()
{
    std::fprintf(stderr, "usage: virtualboard-run [--port PATH]... [--] PROGRAM [ARGUMENT]...\n");
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> ports;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string argument = argv[first];
        if (argument == "--port" && first + 1 < argc) {
            ports.push_back(argv[++first]);
        } else if (argument == "--") {
            ++first;
            break;
        } else if (argument.compare(0, 2, "--") == 0) {
            return usage();
        } else {
            break;
        }
    }
    if (first >= argc)
        return usage();
    if (ports.empty())
        ports = {"/dev/ttyS0", "/dev/ttyS1"};

    const std::string program = findProgram(argv[first]);
    std::string why;
    if (!preloadWorks(program, why)) {
        std::fprintf(
            stderr, "virtualboard-run: cannot preload into %s: %s\n", program.c_str(), why.c_str());
        return 1;
    }
    if (::access(VIRTUALBOARD_LIBRARY, R_OK) != 0) {
        std::fprintf(
            stderr, "virtualboard-run: %s: %s\n", VIRTUALBOARD_LIBRARY, std::strerror(errno));
        return 1;
    }

    std::vector<int> masters;
    std::vector<int> slaves;
    std::string map;
    for (const std::string &port : ports) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            std::perror("virtualboard-run: pseudo-terminal");
            return 1;
        }
        const std::string slave = ::ptsname(master);
        // Our own slave descriptor keeps the master from hanging up between the program's
        // frames, so that poll() sleeps instead of spinning.
        const int keep = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        masters.push_back(master);
        slaves.push_back(keep);
        map += (map.empty() ? "" : ",") + port + "=" + slave;
        std::fprintf(stderr, "virtualboard-run: %s is %s\n", port.c_str(), slave.c_str());
    }
    // The program's own guard against driving the system console reads these; its ports are
    // pseudo-terminals here, and the library refuses every real /dev/ttyS* it has not mapped.
    map += ",/proc/consoles=/dev/null,/sys/class/tty/console/active=/dev/null";
    if (const char *more = std::getenv("VIRTUALBOARD_PORTS"); more && *more)
        map += std::string(",") + more;

    std::string preload = VIRTUALBOARD_LIBRARY;
    if (const char *earlier = std::getenv("LD_PRELOAD"); earlier && *earlier)
        preload += std::string(":") + earlier;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv("VIRTUALBOARD_PORTS", map.c_str(), 1);
    ::setenv("VIRTUALBOARD_LIVE", "stderr", 0);
    ::setenv("VIRTUALBOARD_LIVE_CHANGES", "1", 0);
    ::unsetenv("VIRTUALBOARD_GUARD");

    g_child = ::fork();
    if (g_child < 0) {
        std::perror("virtualboard-run: fork");
        return 1;
    }
    if (g_child == 0) {
        ::execv(program.c_str(), argv + first);
        std::fprintf(stderr, "virtualboard-run: %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    std::signal(SIGINT, forward);
    std::signal(SIGTERM, forward);
    std::signal(SIGHUP, forward);

    // The program's frames must be read off the masters, or its writes stop once the lines
    // are full.
    std::vector<pollfd> watched;
    for (int master : masters)
        watched.push_back({master, POLLIN, 0});
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(g_child, &status, WNOHANG);
        if (done == g_child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (::poll(watched.data(), watched.size(), 100) > 0) {
            char discard[4096];
            for (const pollfd &entry : watched)
                if (entry.revents & POLLIN)
                    while (::read(entry.fd, discard, sizeof discard) > 0) { }
        }
    }
}
