// SPDX-License-Identifier: MIT
#include "VirtualBoard.h"

#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {
using ControlFunction = int (*)(const char *);
using QueryFunction = int (*)(const char *, virtualboard_state *);

ControlFunction controlFunction()
{
    return reinterpret_cast<ControlFunction>(dlsym(RTLD_DEFAULT, "virtualboard_control"));
}

QueryFunction queryFunction()
{
    return reinterpret_cast<QueryFunction>(dlsym(RTLD_DEFAULT, "virtualboard_query"));
}
} // namespace

bool VirtualBoard::isLoaded()
{
    return controlFunction() && queryFunction();
}

const char *VirtualBoard::notLoadedReason()
{
    return "the virtual board library is not preloaded: run through ctest, or set "
           "LD_PRELOAD to libvirtualboard.so";
}

bool VirtualBoard::control(const QString &commands)
{
    const ControlFunction control = controlFunction();
    return control && control(commands.toLocal8Bit().constData()) == 0;
}

virtualboard_state VirtualBoard::state(const QString &device)
{
    virtualboard_state state {};
    if (const QueryFunction query = queryFunction())
        query(device.toLocal8Bit().constData(), &state);
    return state;
}

QString VirtualBoard::outputWord(unsigned outputs)
{
    QString word;
    for (int channel = 1; channel <= 8; ++channel)
        word += (outputs >> (channel - 1) & 1) ? QLatin1Char('1') : QLatin1Char('0');
    return word;
}

QString VirtualBoard::libraryPath()
{
    return QStringLiteral(VIRTUALBOARD_LIBRARY);
}

QString VirtualBoard::launcherPath()
{
    return QStringLiteral(VIRTUALBOARD_RUN);
}

int virtualBoardPrepare(int, char **argv)
{
    if (VirtualBoard::isLoaded() || std::getenv("VIRTUALBOARD_REEXEC"))
        return 0;
    const char *library = VIRTUALBOARD_LIBRARY;
    if (::access(library, R_OK) != 0)
        return 0;
    std::string preload = library;
    if (const char *earlier = std::getenv("LD_PRELOAD"); earlier && *earlier)
        preload += std::string(":") + earlier;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv("VIRTUALBOARD_REEXEC", "1", 1);
    ::execv("/proc/self/exe", argv);
    return 0;
}
