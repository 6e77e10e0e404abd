// kytregister: records the objects of a component library in the object registry.
//
//     kytregister <library path> [/codebase] [/silent]
//
// Started hidden and not waited for, so it talks only when not told to be silent; the exit code
// (0 registered, 1 not) is what a script sees.

#include "platform/LibraryRegistration.h"
#include "platform/ObjectRegistry.h"

#include <cstdio>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {
// "/silent", "/codebase": a slash and a word. Library paths are absolute too, but have more slashes.
bool isSwitch(const QString& arg) {
    return arg.startsWith(QLatin1Char('/')) && arg.indexOf(QLatin1Char('/'), 1) < 0 && !QFileInfo::exists(arg);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString library;
    bool silent = false;
    for (const QString& arg : app.arguments().mid(1)) {
        if (isSwitch(arg))
            silent =
                silent || arg.compare(QLatin1String("/silent"), Qt::CaseInsensitive) == 0; // /codebase: no meaning here
        else if (library.isEmpty())
            library = arg;
    }
    if (library.isEmpty()) {
        if (!silent)
            std::fprintf(stderr, "usage: kytregister <library path> [/codebase] [/silent]\n");
        return 1;
    }
    QString error;
    const kyt::ObjectRegistry registry(kyt::ObjectRegistry::defaultRegistryFile());
    if (!kyt::registerLibrary(registry, library, &error)) {
        if (!silent)
            std::fprintf(stderr, "kytregister: %s\n", qPrintable(error));
        return 1;
    }
    if (!silent)
        std::printf("kytregister: registered %s in %s\n", qPrintable(library), qPrintable(registry.file()));
    return 0;
}
