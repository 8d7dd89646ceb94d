#include "fuzzharness.h"

#include "app/applicationsetup.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&)
{
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application keeps argc by reference and is never destroyed: the
    // fuzzer leaves through exit(), after Qt's thread data is gone.
    static int appArgc = 1;
    static char* appArgv[] = {argc && *argc > 0 ? (*argv)[0] : const_cast<char*>("fuzz"), nullptr};
    new QApplication(appArgc, appArgv);
    setUpApplication();
    // Debug messages are not even formatted; the others are swallowed.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzOneInput(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}

void fuzzFailure(const char* what, const QByteArray& expected, const QByteArray& actual)
{
    std::fprintf(stderr, "\n==== fuzz finding: %s\n---- expected\n%s\n---- actual\n%s\n", what,
                 expected.constData(), actual.constData());
    std::fflush(stderr);
    std::abort();
}
