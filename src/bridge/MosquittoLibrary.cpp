// SPDX-License-Identifier: MIT
#include "MosquittoLibrary.h"

#include <QCoreApplication>
#include <QLibrary>

#include <type_traits>

namespace {
struct Loaded
{
    MosquittoLibrary functions;
    QString problem;
};

Loaded loadOnce()
{
    Loaded loaded;
    // The soname Debian's libmosquitto1 installs; the file without a version comes only with the
    // headers.
    QLibrary library(QStringLiteral("mosquitto"), 1);
    if (!library.load()) {
        loaded.problem = QCoreApplication::translate("MosquittoLibrary", "teeki ei saa laadida: %1")
                             .arg(library.errorString());
        return loaded;
    }
    QStringList missing;
    const auto resolve = [&](auto &function, const char *name) {
        function
            = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        if (!function)
            missing << QString::fromLatin1(name);
    };
#define RELVOOG_MOSQUITTO_RESOLVE(name) resolve(loaded.functions.name, #name);
    RELVOOG_MOSQUITTO_FUNCTIONS(RELVOOG_MOSQUITTO_RESOLVE)
#undef RELVOOG_MOSQUITTO_RESOLVE
    if (!missing.isEmpty())
        loaded.problem = QCoreApplication::translate("MosquittoLibrary", "teegist %1 puuduvad %2")
                             .arg(library.fileName(), missing.join(QLatin1String(", ")));
    else
        loaded.functions.mosquitto_lib_init();
    return loaded;
}
} // namespace

const MosquittoLibrary *MosquittoLibrary::load(QString *problem)
{
    // Brokers of two bridges may be set up on two threads at once.
    static const Loaded loaded = loadOnce();
    *problem = loaded.problem;
    return loaded.problem.isEmpty() ? &loaded.functions : nullptr;
}
