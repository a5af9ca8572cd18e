// Lets every QtTest class share one test executable: each class registers a runner under its file's name,
// and main() runs the one named first on the command line (one ctest entry per class, one link step in all).
#pragma once

#include <QtTest>

namespace olm::test {

using Runner = int (*)(int argc, char **argv);

struct Registration {
    Registration(const char *name, Runner runner);
};

} // namespace olm::test

#define OLM_TEST_RUNNER(TestObject, name, ...)                                                           \
    namespace {                                                                                          \
    int olmRun##TestObject(int argc, char **argv)                                                        \
    {                                                                                                    \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                               \
        __VA_ARGS__                                                                                      \
        TestObject tc;                                                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                            \
    }                                                                                                    \
    const olm::test::Registration olmRegistration##TestObject(name, &olmRun##TestObject);              \
    }

// The registered name is the source file's base name ("tst_grid"), which is also the ctest entry's name.
#define OLM_TEST_MAIN(TestObject) OLM_TEST_RUNNER(TestObject, OLM_TEST_NAME, QTEST_MAIN_SETUP())
#define OLM_TEST_GUILESS_MAIN(TestObject) \
    OLM_TEST_RUNNER(TestObject, OLM_TEST_NAME, QTEST_QAPP_SETUP(QCoreApplication))
