#pragma once

// The Access files the reading is tested on are others' public test data and
// stay outside the repository: beside the checkout, or where
// MEALWISE_JET_FIXTURES says.
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTest>

#include <cstdio>

namespace jetfixtures {

inline QString folder()
{
    const QString env = qEnvironmentVariable("MEALWISE_JET_FIXTURES");
    if (!env.isEmpty())
        return env;
    // QT_TESTCASE_SOURCEDIR is the tests folder; the source root is above it.
    return QDir(QStringLiteral(QT_TESTCASE_SOURCEDIR)).absoluteFilePath(QStringLiteral("../../shared/fixtures/jet"));
}

inline QString path(const char *name)
{
    return QDir(folder()).filePath(QLatin1String(name));
}

// The exit status CMake takes as "skipped".
inline constexpr int kSkipped = 77;

// Nothing to test without the files: skipped, but a failure where CI is set.
inline int missingStatus()
{
    for (const char *f : {"nwind.mdb", "DateTestDatabase.mdb", "fruit.mdb"}) {
        if (!QFileInfo::exists(path(f))) {
            std::fprintf(stderr, "The Access test files are not in %s (set MEALWISE_JET_FIXTURES): %s\n",
                         qPrintable(folder()), qEnvironmentVariableIsSet("CI") ? "failing, as CI is set" : "skipped");
            return qEnvironmentVariableIsSet("CI") ? 1 : kSkipped;
        }
    }
    return 0;
}

} // namespace jetfixtures

// A Qt Test main that first looks for the files.
#define JET_FIXTURE_TEST_MAIN(TestObject)                                                                              \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        if (const int status = jetfixtures::missingStatus())                                                           \
            return status;                                                                                             \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
