#pragma once

#include "tests/support/TestSupport.h"

/// What a run of the `tavik` tool printed, and its status (-1 unless it exited by itself).
using CliRun = ProcessRun;

/// Runs the `tavik` tool as a user does: a separate process.
inline CliRun tavik(const QStringList &args, const QString &workDir = {}) {
    return runProcess(QStringLiteral(TAVIK_CLI), args, workDir);
}
