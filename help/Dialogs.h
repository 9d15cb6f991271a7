#pragma once

#include <QString>

/// Every modal box a command may show. The windows answer with real message boxes and file dialogs, tests
/// and the command-line tool with their own answers.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    /// A message box with a caption and an OK button.
    virtual void message(const QString &caption, const QString &text) = 0;
    /// A plain message under the program's title, with an OK button.
    virtual void plainMessage(const QString &text) = 0;
    /// A Yes/No question; true for Yes.
    virtual bool confirm(const QString &caption, const QString &text) = 0;
    /// The text of an error that ended a command.
    virtual void error(const QString &text) = 0;
    /// A file to open, chosen in a dialog starting in `folder`; empty when the user cancels.
    virtual QString chooseFile(const QString &folder, const QString &defaultExtension) = 0;
};
