// The shared main() of the test executable: runs the test class named by the first argument.
#include "TestMain.h"

#include "backends/embedded/EmbeddedBackend.h"
#include "backends/odbc/OdbcBackend.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace olm::test {
namespace {

std::map<std::string, Runner> &registry()
{
    static std::map<std::string, Runner> runners;
    return runners;
}

} // namespace

Registration::Registration(const char *name, Runner runner)
{
    registry().emplace(name, runner);
}

} // namespace olm::test

int main(int argc, char *argv[])
{
    const auto &runners = olm::test::registry();
    const auto found = argc > 1 ? runners.find(argv[1]) : runners.end();
    if (found == runners.end()) {
        std::fprintf(stderr, "usage: %s TEST [QtTest options]\ntests:", argc > 0 ? argv[0] : "olm_tests");
        for (const auto &[name, runner] : runners)
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    registerEmbeddedBackend();
    registerOdbcBackend();
    // The test sees its own name as the program, so QtTest's options and output read as before.
    argv[1] = argv[0];
    return found->second(argc - 1, argv + 1);
}
