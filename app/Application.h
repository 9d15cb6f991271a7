#pragma once

/// What the program sets up before its first window: its name, Qt's own texts in Hungarian, and a stand-in for
/// "MS Sans Serif" where it is not installed.
void prepareApplication();
