#pragma once

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

/// What a run of the `tavik` tool printed, and its status (-1 unless it exited by itself).
using CliRun = ProcessRun;

/// Runs the `tavik` tool as a user does: a separate process.
inline CliRun tavik(const QStringList &args, const QString &workDir = {}) {
    return runProcess(QStringLiteral(TAVIK_CLI), args, workDir);
}

/// The run failed as a user should see it: status 1 and one line on stderr, that line being `message` when
/// one is given.
inline void ExpectOneLineFailure(const CliRun &r, const QStringList &args, const QString &message = {}) {
    EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
    if (!message.isEmpty()) {
        EXPECT_EQ(r.err.trimmed(), message);
    }
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
}
