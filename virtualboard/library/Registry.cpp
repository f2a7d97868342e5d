// SPDX-License-Identifier: MIT
#include "Registry.h"

#include "Board.h"
#include "RealCalls.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

std::atomic<Board *> Registry::s_descriptors[Registry::kMaxDescriptors] {};

namespace {
// The kernel's own layout behind TCGETS and TCGETS2; c_cflag sits at the same place in both.
struct KernelTermios2
{
    tcflag_t c_iflag;
    tcflag_t c_oflag;
    tcflag_t c_cflag;
    tcflag_t c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed;
    speed_t c_ospeed;
};
const unsigned long kGetTermios2 = _IOR('T', 0x2A, KernelTermios2);
const unsigned long kSetTermios2 = _IOW('T', 0x2B, KernelTermios2);
const unsigned long kSetTermios2Drain = _IOW('T', 0x2C, KernelTermios2);
const unsigned long kSetTermios2Flush = _IOW('T', 0x2D, KernelTermios2);
// Speed in c_ospeed rather than in the CBAUD bits; from the kernel's termbits.h, which cannot be
// included together with <termios.h>.
constexpr tcflag_t kOtherBaud = 0010000;

// UNIX98 pseudo-terminal slaves.
bool isPseudoTerminal(int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136
        && major(info.st_rdev) <= 143;
}

unsigned baudOf(speed_t code)
{
    static const std::pair<speed_t, unsigned> rates[] = {
        {B0, 0},
        {B50, 50},
        {B75, 75},
        {B110, 110},
        {B134, 134},
        {B150, 150},
        {B200, 200},
        {B300, 300},
        {B600, 600},
        {B1200, 1200},
        {B1800, 1800},
        {B2400, 2400},
        {B4800, 4800},
        {B9600, 9600},
        {B19200, 19200},
        {B38400, 38400},
        {B57600, 57600},
        {B115200, 115200},
        {B230400, 230400},
        {B460800, 460800},
        {B500000, 500000},
        {B576000, 576000},
        {B921600, 921600},
        {B1000000, 1000000},
        {B1152000, 1152000},
        {B1500000, 1500000},
        {B2000000, 2000000},
        {B2500000, 2500000},
        {B3000000, 3000000},
        {B3500000, 3500000},
        {B4000000, 4000000},
    };
    for (const auto &rate : rates)
        if (rate.first == code)
            return rate.second;
    return 9600;
}

// The requests a USB adapter answers with a control transfer of its own.
bool isAdapterRequest(unsigned long request)
{
    switch (request) {
    case TIOCMGET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
    case TIOCOUTQ:
    case TCGETS:
    case TCSETS:
    case TCSETSW:
    case TCSETSF:
        return true;
    default:
        return request == kGetTermios2 || request == kSetTermios2 || request == kSetTermios2Drain
            || request == kSetTermios2Flush;
    }
}

const char *requestName(unsigned long request)
{
    switch (request) {
    case TIOCMGET:
        return "TIOCMGET";
    case TIOCMBIS:
        return "TIOCMBIS";
    case TIOCMBIC:
        return "TIOCMBIC";
    case TIOCMSET:
        return "TIOCMSET";
    case TIOCOUTQ:
        return "TIOCOUTQ";
    case TCGETS:
        return "TCGETS";
    case TCSETS:
        return "TCSETS";
    case TCSETSW:
        return "TCSETSW";
    case TCSETSF:
        return "TCSETSF";
    case TCSBRK:
        return "TCSBRK";
    case TCSBRKP:
        return "TCSBRKP";
    case TCFLSH:
        return "TCFLSH";
    case TIOCEXCL:
        return "TIOCEXCL";
    case TIOCNXCL:
        return "TIOCNXCL";
    case TIOCGSERIAL:
        return "TIOCGSERIAL";
    default:
        break;
    }
    if (request == kGetTermios2)
        return "TCGETS2";
    if (request == kSetTermios2)
        return "TCSETS2";
    if (request == kSetTermios2Drain)
        return "TCSETSW2";
    if (request == kSetTermios2Flush)
        return "TCSETSF2";
    return nullptr;
}

std::string lineWord(int bits)
{
    std::string word;
    if (bits & TIOCM_DTR)
        word += "dtr";
    if (bits & TIOCM_RTS)
        word += word.empty() ? "rts" : ",rts";
    return word.empty() ? "0" : word;
}

void sleepNs(int64_t ns)
{
    if (ns <= 0)
        return;
    timespec until {};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += time_t(ns / 1000000000);
    until.tv_nsec += long(ns % 1000000000);
    if (until.tv_nsec >= 1000000000) {
        ++until.tv_sec;
        until.tv_nsec -= 1000000000;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) { }
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

std::vector<std::string> words(const std::string &text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word)
        result.push_back(word);
    return result;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}
} // namespace

Registry &Registry::instance()
{
    // Never destroyed: other libraries close files from their own exit handlers.
    static Registry *registry = new Registry;
    return *registry;
}

Registry::Registry()
{
    m_trace.setTracePath(environment("VIRTUALBOARD_TRACE"));
    m_trace.setLivePath(environment("VIRTUALBOARD_LIVE"));
    m_trace.setLiveChangesOnly(environment("VIRTUALBOARD_LIVE_CHANGES") == "1");
    if (std::getenv("VIRTUALBOARD_GUARD"))
        m_guards = split(environment("VIRTUALBOARD_GUARD"), ':');
    if (!environment("VIRTUALBOARD_STALL_MS").empty())
        m_stallNs = std::atoll(environment("VIRTUALBOARD_STALL_MS").c_str()) * 1000000;
    for (const std::string &pair : split(environment("VIRTUALBOARD_PORTS"), ',')) {
        const size_t equals = pair.find('=');
        if (equals != std::string::npos && equals > 0)
            m_redirections[pair.substr(0, equals)] = pair.substr(equals + 1);
    }
    for (const std::string &fault : split(environment("VIRTUALBOARD_FAULTS"), ';')) {
        const std::vector<std::string> parts = words(fault);
        if (parts.empty())
            continue;
        std::vector<std::string> full {"fault"};
        full.insert(full.end(), parts.begin(), parts.end());
        if (!command(full))
            std::fprintf(
                stderr, "virtualboard: ignoring VIRTUALBOARD_FAULTS entry \"%s\"\n", fault.c_str());
    }
}

Board &Registry::boardFor(const std::string &device)
{
    Board *&board = m_boards[device];
    if (!board)
        board = new Board(device, m_trace);
    return *board;
}

Board *Registry::findBoard(const std::string &device)
{
    auto found = m_boards.find(redirected(device));
    return found == m_boards.end() ? nullptr : found->second;
}

std::string Registry::redirected(const std::string &path) const
{
    auto found = m_redirections.find(path);
    return found == m_redirections.end() ? path : found->second;
}

bool Registry::guarded(int dirfd, const std::string &path) const
{
    if (m_guards.empty() || path.empty())
        return false;
    std::string absolute = path;
    if (path[0] != '/') {
        char directory[PATH_MAX] = {};
        if (dirfd == AT_FDCWD) {
            if (!::getcwd(directory, sizeof directory))
                return true;
        } else {
            const std::string link = "/proc/self/fd/" + std::to_string(dirfd);
            if (::readlink(link.c_str(), directory, sizeof directory - 1) < 0)
                return true;
        }
        absolute = std::string(directory) + "/" + path;
    }
    const auto matches = [this](const std::string &candidate) {
        for (const std::string &guard : m_guards)
            if (!guard.empty() && candidate.compare(0, guard.size(), guard) == 0)
                return true;
        return false;
    };
    if (matches(absolute))
        return true;
    // A link such as /dev/serial/by-id/... may lead to a guarded device.
    if (absolute.compare(0, 5, "/dev/") == 0 && absolute.compare(0, 9, "/dev/pts/") != 0) {
        char resolved[PATH_MAX];
        if (::realpath(absolute.c_str(), resolved) && matches(resolved))
            return true;
    }
    return false;
}

int Registry::open(int dirfd, const char *path, const std::function<int(const char *)> &realOpen)
{
    if (!path)
        return realOpen(path);
    const std::string requested = path;
    std::string target;
    Board *board = nullptr;
    int64_t openDelay = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        target = redirected(requested);
        // Checked after the redirection, so that no mapping leads to a guarded device either.
        if (guarded(dirfd, target)) {
            // Never reaches the device: to the program it is a port that is not there.
            m_trace.event(requested, "fault", "guard", "errno=ENOENT");
            m_trace.flush();
            errno = ENOENT;
            return -1;
        }
        if (target.compare(0, 9, "/dev/pts/") == 0) {
            board = &boardFor(target);
            board->setName(requested);
            const char *refusal = nullptr;
            int error = 0;
            if (board->unplugged() || board->openFault() == Board::OpenFault::Missing) {
                refusal = "ENOENT";
                error = ENOENT;
            } else if (board->openFault() == Board::OpenFault::Busy) {
                refusal = "EBUSY";
                error = EBUSY;
            } else if (board->openFault() == Board::OpenFault::Denied) {
                refusal = "EACCES";
                error = EACCES;
            }
            if (refusal) {
                board->refused(requested, refusal);
                errno = error;
                return -1;
            }
            openDelay = board->openDelay();
        }
    }
    const int fd = realOpen(target.c_str());
    if (fd < 0 || !board)
        return fd;
    const int savedErrno = errno;
    if (fd < kMaxDescriptors && isPseudoTerminal(fd)) {
        // A USB adapter's driver configures it and raises the lines before open() returns.
        sleepNs(openDelay);
        std::lock_guard<std::mutex> lock(m_mutex);
        board->opened(fd, requested);
        s_descriptors[fd].store(board, std::memory_order_release);
    }
    errno = savedErrno;
    return fd;
}

void Registry::traceCall(
    Board *board, const char *call, const std::string &fields, long result, int error)
{
    if (!m_trace.tracing())
        return;
    std::string all = fields;
    if (!all.empty())
        all += ' ';
    all += "ret=" + std::to_string(result);
    if (result < 0) {
        const char *name = strerrorname_np(error);
        all += std::string(" errno=") + (name ? name : std::to_string(error).c_str());
    }
    m_trace.event(board->device(), "call", call, all);
}

void Registry::awaitAdapter(std::unique_lock<std::mutex> &lock, Board *board, const char *call)
{
    const int64_t wait = board->requestWait(call);
    if (wait <= 0)
        return;
    lock.unlock();
    sleepNs(wait);
    lock.lock();
}

bool Registry::drain(std::unique_lock<std::mutex> &lock, Board *board, const char *call)
{
    const int64_t now = Trace::monotonicNs();
    const int64_t wait = board->drainTime(now, m_stallNs);
    const bool stuck = board->queued() > 0;
    lock.unlock();
    sleepNs(wait);
    lock.lock();
    board->advance(Trace::monotonicNs());
    if (stuck)
        board->stalled(call, wait);
    return !stuck;
}

int Registry::ioctl(int fd, Board *board, unsigned long request, void *arg)
{
    const RealCalls &real = RealCalls::get();
    std::unique_lock<std::mutex> lock(m_mutex);
    const char *name = requestName(request);
    if (isAdapterRequest(request))
        awaitAdapter(lock, board, name);
    std::string fields = "req=";
    if (name) {
        fields += name;
    } else {
        char code[24];
        std::snprintf(code, sizeof code, "0x%lx", request);
        fields += code;
    }
    board->advance(Trace::monotonicNs());
    if (board->unplugged()) {
        // A hung-up terminal answers EIO to everything but TIOCSPGRP.
        traceCall(board, "ioctl", fields, -1, EIO);
        errno = EIO;
        return -1;
    }

    int result = 0;
    int error = 0;
    const auto lines
        = [&](int dtr, int rts, const char *cause) { board->setLines(dtr, rts, cause); };
    switch (request) {
    case TIOCMGET:
        *static_cast<int *>(arg) = board->modemBits();
        fields += " lines=" + lineWord(board->modemBits());
        break;
    case TIOCMBIS: {
        const int bits = *static_cast<const int *>(arg);
        fields += " arg=" + lineWord(bits);
        lines(bits & TIOCM_DTR ? 1 : -1, bits & TIOCM_RTS ? 1 : -1, "TIOCMBIS");
        break;
    }
    case TIOCMBIC: {
        const int bits = *static_cast<const int *>(arg);
        fields += " arg=" + lineWord(bits);
        lines(bits & TIOCM_DTR ? 0 : -1, bits & TIOCM_RTS ? 0 : -1, "TIOCMBIC");
        break;
    }
    case TIOCMSET: {
        const int bits = *static_cast<const int *>(arg);
        fields += " arg=" + lineWord(bits);
        lines(bits & TIOCM_DTR ? 1 : 0, bits & TIOCM_RTS ? 1 : 0, "TIOCMSET");
        break;
    }
    case TIOCOUTQ:
        *static_cast<int *>(arg) = board->queued();
        fields += " queued=" + std::to_string(board->queued());
        break;
    case TCFLSH: {
        const long queue = long(reinterpret_cast<intptr_t>(arg));
        if (queue == TCOFLUSH || queue == TCIOFLUSH)
            board->discardOutput(Trace::monotonicNs(), "TCFLSH");
        result = real.ioctl(fd, request, arg);
        error = errno;
        break;
    }
    default: {
        const bool drains = request == TCSETSW || request == TCSETSF || request == TCSBRK
            || request == TCSBRKP || request == kSetTermios2Drain || request == kSetTermios2Flush;
        if (drains && !drain(lock, board, name)) {
            // A wedged queue never empties; the real call would not have returned either.
            traceCall(board, "ioctl", fields, -1, EINTR);
            errno = EINTR;
            return -1;
        }
        const bool sets = request == TCSETS || request == TCSETSW || request == TCSETSF
            || request == kSetTermios2 || request == kSetTermios2Drain
            || request == kSetTermios2Flush;
        if (sets) {
            const auto *settings = static_cast<const KernelTermios2 *>(arg);
            const bool other = (request == kSetTermios2 || request == kSetTermios2Drain
                                   || request == kSetTermios2Flush)
                && (settings->c_cflag & CBAUD) == kOtherBaud;
            board->setControlFlags(
                settings->c_cflag, other ? settings->c_ospeed : baudOf(settings->c_cflag & CBAUD));
        }
        result = real.ioctl(fd, request, arg);
        error = errno;
        if (result == 0 && (request == TCGETS || request == kGetTermios2)) {
            auto *settings = static_cast<KernelTermios2 *>(arg);
            settings->c_cflag = board->adjustControlFlags(settings->c_cflag);
        }
        break;
    }
    }
    traceCall(board, "ioctl", fields, result, error);
    errno = error;
    return result;
}

ssize_t Registry::write(int fd, Board *board, const void *data, size_t size)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        board->advance(Trace::monotonicNs());
        if (board->unplugged()) {
            traceCall(board, "write", "n=" + std::to_string(size), -1, EIO);
            errno = EIO;
            return -1;
        }
    }
    const ssize_t written = RealCalls::get().write(fd, data, size);
    const int error = errno;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string bytes;
    if (written > 0) {
        board->transmit(
            static_cast<const unsigned char *>(data), size_t(written), Trace::monotonicNs());
        for (ssize_t i = 0; i < written && i < 16; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", static_cast<const unsigned char *>(data)[i]);
            bytes += hex;
        }
    }
    traceCall(board, "write",
        "n=" + std::to_string(size) + (bytes.empty() ? "" : " bytes=" + bytes), long(written),
        error);
    errno = error;
    return written;
}

int Registry::close(int fd, Board *board)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const int64_t wait = board->closing(Trace::monotonicNs(), m_stallNs);
    const bool stuck = board->queued() > 0;
    if (wait > 0) {
        // The kernel's closing wait: for the last character to leave, or up to its limit when
        // the queue never empties.
        lock.unlock();
        sleepNs(wait);
        lock.lock();
        if (stuck)
            board->stalled("close", wait);
    }
    s_descriptors[fd].store(nullptr, std::memory_order_release);
    board->closed(fd);
    m_trace.flush();
    lock.unlock();
    return RealCalls::get().close(fd);
}

void Registry::replaced(int fd)
{
    Board *board = tracked(fd);
    if (!board)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    s_descriptors[fd].store(nullptr, std::memory_order_release);
    board->closed(fd);
}

int Registry::tcgetattr(int fd, Board *board, termios *settings)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    awaitAdapter(lock, board, "tcgetattr");
    if (board->unplugged()) {
        traceCall(board, "tcgetattr", std::string(), -1, EIO);
        errno = EIO;
        return -1;
    }
    const int result = RealCalls::get().tcgetattr(fd, settings);
    const int error = errno;
    if (result == 0)
        settings->c_cflag = board->adjustControlFlags(settings->c_cflag);
    traceCall(board, "tcgetattr", std::string(), result, error);
    errno = error;
    return result;
}

int Registry::tcsetattr(int fd, Board *board, int when, const termios *settings)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::string fields = when == TCSANOW ? "when=TCSANOW"
        : when == TCSADRAIN                    ? "when=TCSADRAIN"
                                               : "when=TCSAFLUSH";
    awaitAdapter(lock, board, "tcsetattr");
    if (board->unplugged()) {
        traceCall(board, "tcsetattr", fields, -1, EIO);
        errno = EIO;
        return -1;
    }
    if (when != TCSANOW && !drain(lock, board, "tcsetattr")) {
        traceCall(board, "tcsetattr", fields, -1, EINTR);
        errno = EINTR;
        return -1;
    }
    board->setControlFlags(settings->c_cflag, baudOf(cfgetospeed(settings)));
    const int result = RealCalls::get().tcsetattr(fd, when, settings);
    const int error = errno;
    traceCall(board, "tcsetattr", fields, result, error);
    errno = error;
    return result;
}

int Registry::tcdrain(int fd, Board *board)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (board->unplugged()) {
        traceCall(board, "tcdrain", std::string(), -1, EIO);
        errno = EIO;
        return -1;
    }
    if (!drain(lock, board, "tcdrain")) {
        traceCall(board, "tcdrain", std::string(), -1, EINTR);
        errno = EINTR;
        return -1;
    }
    const int result = RealCalls::get().tcdrain(fd);
    const int error = errno;
    traceCall(board, "tcdrain", std::string(), result, error);
    errno = error;
    return result;
}

int Registry::tcflush(int fd, Board *board, int queue)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string fields = "queue=" + std::to_string(queue);
    if (board->unplugged()) {
        traceCall(board, "tcflush", fields, -1, EIO);
        errno = EIO;
        return -1;
    }
    if (queue == TCOFLUSH || queue == TCIOFLUSH)
        board->discardOutput(Trace::monotonicNs(), "tcflush");
    const int result = RealCalls::get().tcflush(fd, queue);
    const int error = errno;
    traceCall(board, "tcflush", fields, result, error);
    errno = error;
    return result;
}

bool Registry::command(const std::vector<std::string> &words)
{
    const std::string &verb = words[0];
    const std::string argument = words.size() > 1 ? words[1] : std::string();
    if (verb == "trace" && words.size() <= 2) {
        m_trace.setTracePath(argument);
    } else if (verb == "live" && words.size() <= 2) {
        m_trace.setLivePath(argument);
    } else if (verb == "live-changes" && words.size() == 2) {
        m_trace.setLiveChangesOnly(argument == "on");
    } else if (verb == "map" && words.size() == 3) {
        m_redirections[words[1]] = words[2];
    } else if (verb == "unmap" && words.size() == 2) {
        m_redirections.erase(argument);
    } else if (verb == "guard") {
        m_guards.assign(words.begin() + 1, words.end());
    } else if (verb == "stall-ms" && words.size() == 2) {
        m_stallNs = std::atoll(argument.c_str()) * 1000000;
    } else if (verb == "forget" && words.size() == 2) {
        boardFor(redirected(argument)).forget();
    } else if (verb == "fault" && words.size() >= 3 && words.size() <= 5) {
        const long long count = words.size() >= 4 ? std::atoll(words[3].c_str()) : 0;
        const long long second = words.size() == 5 ? std::atoll(words[4].c_str()) : 0;
        return boardFor(redirected(argument)).setFault(words[2], count, second);
    } else if ((verb == "delay" && (words.size() == 3 || words.size() == 4))
        || (verb == "hang" && words.size() == 3)) {
        std::vector<std::string> fault {"fault", argument, verb};
        fault.insert(fault.end(), words.begin() + 2, words.end());
        return command(fault);
    } else {
        return false;
    }
    return true;
}

int Registry::control(const std::string &commands)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int result = 0;
    for (const std::string &text : split(commands, ';')) {
        const std::vector<std::string> parts = words(text);
        if (parts.empty())
            continue;
        if (!command(parts)) {
            std::fprintf(stderr, "virtualboard: unknown command \"%s\"\n", text.c_str());
            result = -1;
        }
    }
    m_trace.flush();
    return result;
}

int Registry::state(const std::string &device, virtualboard_state *state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Board *board = findBoard(device);
    if (!board) {
        *state = virtualboard_state {};
        return -1;
    }
    board->advance(Trace::monotonicNs());
    m_trace.flush();
    *state = board->state();
    return 0;
}

void Registry::flushTrace()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.flush();
}
