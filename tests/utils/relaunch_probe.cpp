// Registers an application restart and ends, so that a test can see the
// restart happen when the library unloads. The restarted instance records
// its arguments in the file named by ZELT_RELAUNCH_OUT and ends.
#include "RelauncerU.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char **argv)
{
    const char *out = std::getenv("ZELT_RELAUNCH_OUT");
    if (!out)
        return 2;
    if (argc > 1 && std::strncmp(argv[1], "RestartApplicationOnExit=", 25) == 0) {
        std::FILE *f = std::fopen(out, "a");
        if (!f)
            return 3;
        for (int i = 1; i < argc; ++i)
            std::fprintf(f, "%s\n", argv[i]);
        std::fclose(f);
        return 0;
    }
    // "--no-app": register without any QCoreApplication ever existing.
    std::unique_ptr<QCoreApplication> app;
    if (!(argc > 1 && std::strcmp(argv[1], "--no-app") == 0))
        app = std::make_unique<QCoreApplication>(argc, argv);
    RestartServiceOnExit(QStringLiteral("replaced-by-the-next-registration"));
    RestartApplicationOnExit(QStringLiteral("  -x --marker=1 "));
    return 0;
}
