#pragma once

// The one start of every test program: QUILLMAP_TEST_MAIN,
// QUILLMAP_TEST_GUILESS_MAIN or QUILLMAP_TEST_APPLESS_MAIN in place of the
// QTest macros of the same name (which, below, lead here too).
//
// A program linked with the UI library runs the application's own start-up
// (identity, style and the embedded fonts), so that a family an item asks
// for by name ("JetBrains Mono", "Noto Serif", ...) is always the embedded
// one and never whatever the machine happens to have. It stops at once when
// the embedded fonts do not register. Programs of the core library draw no
// text and only get the application object QTest would give them.

#include <QTest>

#ifdef QUILLMAP_TEST_UI
#include "app/applicationsetup.h"
#include "common/testmain.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>
#endif

#include <cstdio>
#include <cstdlib>

namespace quillmaptest {

#ifdef QUILLMAP_TEST_UI
inline void startApplication()
{
    const QStringList families = setUpApplication();
    const QStringList paths = embeddedFontPaths();
    for (int i = 0; i < paths.size(); ++i) {
        const QString family = families.value(i);
        if (family.isEmpty() || !QFontDatabase::families().contains(family)) {
            std::fprintf(stderr, "The embedded font %s did not register; no test may rely on its glyphs.\n",
                         qPrintable(paths.at(i)));
            std::exit(EXIT_FAILURE);
        }
    }
}
#endif

} // namespace quillmaptest

#ifdef QUILLMAP_TEST_UI
#define QUILLMAP_TEST_MAIN(TestObject) \
    QTEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP() quillmaptest::startApplication();)
#else
#define QUILLMAP_TEST_MAIN(TestObject) QTEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP())
#endif

#define QUILLMAP_TEST_GUILESS_MAIN(TestObject) \
    QTEST_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
#define QUILLMAP_TEST_APPLESS_MAIN(TestObject) QTEST_MAIN_WRAPPER(TestObject)

// quillmap_add_test puts this header in front of every test source, so a
// test written with the QTest macros starts here all the same.
#undef QTEST_MAIN
#define QTEST_MAIN(TestObject) QUILLMAP_TEST_MAIN(TestObject)
#undef QTEST_GUILESS_MAIN
#define QTEST_GUILESS_MAIN(TestObject) QUILLMAP_TEST_GUILESS_MAIN(TestObject)
#undef QTEST_APPLESS_MAIN
#define QTEST_APPLESS_MAIN(TestObject) QUILLMAP_TEST_APPLESS_MAIN(TestObject)
