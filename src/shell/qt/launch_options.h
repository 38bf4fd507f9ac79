// The station's own command-line options; every other argument is part of the command line that
// the station's rules read (NOAPP, CSV, KEEP in any case and anywhere). The options live in one
// table, which also writes --help.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <optional>

namespace quorlan::shell {

// What main() does with the arguments: start the station, export its history, write a control key,
// or print something and end.
enum class LaunchAction { Run, HistoryExport, NewControlKey, Help, Version, UsageError };

struct LaunchOptions {
    LaunchAction action = LaunchAction::Run;
    bool unattended = false;
    bool showWorkList = false; // --show-work-list: the simulated control's list window from the start
    bool testConsole = false;  // --test-console: the automation test console beside the station
    QString cncJournal;        // --cnc-journal FILE, else $QUORLAN_CNC_JOURNAL
    QString cncServer;         // --cnc local:NAME: cnc-sim's socket; empty for the built-in simulator
    QString cncHost;           // --cnc tcp:HOST:PORT: the bridge on the control's PC; empty for none
    quint16 cncPort = 0;
    QString cncKeyFile;                           // --cnc-key FILE: the key that the station shares with the bridge
    std::chrono::milliseconds listTimeout{30000}; // --list-timeout SECONDS
    QString newControlKeyFile;                    // --new-control-key FILE
    QString commandLine;                          // the remaining arguments joined by blanks
    // --history-export [--since DATE] [--until DATE] FILE.csv: the history's events of that time.
    QString historyFile;
    std::optional<std::int64_t> historySince; // milliseconds since 1970 UTC
    std::optional<std::int64_t> historyUntil; // not included
    QStringList problems;                     // what could not be read, for the operator
    QString usageError;                       // why the arguments cannot start the station
};

// arguments without the program name; journalFromEnvironment is $QUORLAN_CNC_JOURNAL.
LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& journalFromEnvironment);

// The settings file's ControlAddress and ControlKeyFile, for what the command line left unsaid
// (--cnc, --cnc-key). Returns what is wrong with the address, empty when nothing is.
QString takeControlSettings(LaunchOptions& options, const QString& address, const QString& keyFile);

// "usage: quorlan [OPTION]... [WORD]..."
QString launchUsage();
// The usage line, every option of the table and the station's command-line words.
QString launchHelp();

} // namespace quorlan::shell
