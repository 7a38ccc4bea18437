// Shared test entry: a QApplication on the offscreen platform unless a test
// run asks for another one.
#include <QApplication>
#include <gtest/gtest.h>

// Sanitizer settings for every test binary (used only in sanitizer builds).
extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libglib-2.0.so\nleak:libxcb\n"
           "leak:libX11.so\nleak:libxkbcommon.so\nleak:libQt6DBus.so\n";
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
