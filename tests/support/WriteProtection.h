#pragma once

#include <QString>
#include <QStringList>

/// Makes a folder and everything below it unwritable for as long as it lives, as a help set installed beside
/// the program it documents is: folders 555 and files 444, and immutable where the tests run as root, whom modes
/// do not stop. Undone when it goes.
class WriteProtection {
public:
    explicit WriteProtection(const QString &folder);
    ~WriteProtection();
    WriteProtection(const WriteProtection &) = delete;
    WriteProtection &operator=(const WriteProtection &) = delete;

    /// False when this machine cannot protect the folder against this user (the test then skips).
    bool active() const { return m_active; }

private:
    void undo();

    QString m_folder;
    QStringList m_folders, m_files;
    bool m_immutable = false;
    bool m_active = false;
};

/// The names in a folder and below it, sorted ("Help/HTML/Blank.htm" …): what a reader must leave as it was.
QStringList namesBelow(const QString &folder);
