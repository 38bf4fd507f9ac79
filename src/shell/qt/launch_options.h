// The station's own command-line options; every other argument is part of the command line that
// the station's rules read (NOAPP, CSV, KEEP in any case and anywhere).
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

namespace quorlan::shell {

struct LaunchOptions {
    bool unattended = false;
    bool showWorkList = false; // --show-work-list: the simulated control's list window from the start
    QString cncJournal;        // --cnc-journal FILE, else $QUORLAN_CNC_JOURNAL
    std::chrono::milliseconds listTimeout{30000}; // --list-timeout SECONDS
    QString commandLine;                          // the remaining arguments joined by blanks
    QStringList problems;                         // what could not be read, for the operator
};

// arguments without the program name; journalFromEnvironment is $QUORLAN_CNC_JOURNAL.
LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& journalFromEnvironment);

} // namespace quorlan::shell
