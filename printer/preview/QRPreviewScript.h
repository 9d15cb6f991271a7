#pragma once

#include <QString>
#include <QStringList>

class TQRStandardPreview;

/// Drives a standard preview window by commands, for checks without a screen, and writes what each
/// command shows. Commands, separated by ";":
///
/// | command          | does                                   | writes (TAB-separated)                 |
/// |------------------|----------------------------------------|----------------------------------------|
/// | fit, width       | zoom to fit, to width                  | zoom N MODE                            |
/// | zoom N           | zoom to N % (2-2000, else unchanged)   | zoom N MODE                            |
/// | first, prev, next, last | the page buttons                | page N                                 |
/// | goto TEXT        | go-to-page answered with TEXT          | page N                                 |
/// | find TEXT [case] | search, matching case with "case"      | results ENTRY...                       |
/// | save FILE        | save as FILE with the first file type  | saved FILE                             |
/// | status           | —                                      | zoom, image W H, page, status P0 P1 P2, thumbnails N,
/// results ENTRY... |
///
/// A message the window shows is written as "message TEXT".
class TQRPreviewScript {
public:
    explicit TQRPreviewScript(TQRStandardPreview &window);

    /// Runs `commands`; false, with `error` set, at the first command it does not know (the ones before it
    /// have run).
    bool Run(const QString &commands, QStringList &output, QString &error);

private:
    TQRStandardPreview &m_window;
};
