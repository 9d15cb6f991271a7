// The start of a fuzz target that draws: an offscreen GUI application. Include it in the target's one source
// file; it defines the fuzzer's hooks.
#pragma once

#include <QGuiApplication>

// Qt's font database keeps fontconfig patterns of every face a page names until the process ends.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}
