#include "shell/qt/launch_options.h"

#include "cnc/control_address.h"
#include "history/local_time.h"
#include "platform/command_line.h"

#include <cmath>

namespace quorlan::shell {

namespace {

void readListTimeout(LaunchOptions& options, const QString& text) {
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // A day is far beyond any control's start-up; larger values are typing errors.
    if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 86400) {
        options.problems.append(QStringLiteral("--list-timeout takes a number of seconds from 0 to 86400, not \"%1\"; "
                                               "%2 seconds are used.")
                                    .arg(text)
                                    .arg(options.listTimeout.count() / 1000));
        return;
    }
    options.listTimeout = std::chrono::milliseconds(std::llround(seconds * 1000));
}

void readCncServer(LaunchOptions& options, const QString& text) {
    static const QString kLocal = QStringLiteral("local:");
    options.cncServer.clear();
    options.cncHost.clear();
    if (text.startsWith(kLocal) && text.size() > kLocal.size()) {
        options.cncServer = text.mid(kLocal.size());
        return;
    }
    // Port 0 would ask for any free port, which only a server can do.
    if (const auto address = quorlan::cnc::parseTcpAddress(text.toStdString()); address && address->port > 0) {
        options.cncHost = QString::fromStdString(address->host);
        options.cncPort = address->port;
        return;
    }
    options.usageError = QStringLiteral("--cnc takes local:NAME, the NAME that cnc-sim --listen was given, or "
                                        "tcp:HOST:PORT, where the bridge to the control serves (port 1 to 65535), "
                                        "not \"%1\"")
                             .arg(text);
}

// A bare date "until" includes its day; "since" begins with it.
void readHistoryTime(LaunchOptions& options, const QString& text, bool until) {
    const auto time = quorlan::history::parseLocalTime(text.toStdString(), until);
    if (!time) {
        options.usageError = QStringLiteral("%1 takes a date as 2024-05-02 or a date and time as 2024-05-02 14:30, "
                                            "not \"%2\"")
                                 .arg(until ? QStringLiteral("--until") : QStringLiteral("--since"), text);
        return;
    }
    (until ? options.historyUntil : options.historySince) = time;
}

// The export takes the one word after the options as its file, and the station's words are no
// business of it; the times belong to the export alone.
void settleHistoryExport(LaunchOptions& options, QStringList& words) {
    if (options.action != LaunchAction::HistoryExport) {
        if (options.historySince || options.historyUntil) {
            options.usageError = QStringLiteral("--since and --until go with --history-export");
        }
        return;
    }
    if (words.size() != 1) {
        options.usageError =
            words.isEmpty()
                ? QStringLiteral("--history-export needs the CSV file to write")
                : QStringLiteral("--history-export writes one file, not %1").arg(words.join(QLatin1String(", ")));
        return;
    }
    options.historyFile = words.takeFirst();
}

constexpr char kNewControlKeyUsage[] =
    "--new-control-key needs the FILE to write the new key into, as in --new-control-key control.key";

// Without its file the option would start the station instead; a name that begins with a dash is
// far more often the next option than a file.
void readNewControlKey(LaunchOptions& options, const QString& file) {
    if (file.isEmpty() || file.startsWith(QLatin1Char('-'))) {
        options.usageError = QLatin1String(kNewControlKeyUsage);
        return;
    }
    options.action = LaunchAction::NewControlKey;
    options.newControlKeyFile = file;
}

struct OptionRow {
    platform::CommandLineOption option;
    void (*apply)(LaunchOptions& options, const QString& value);
};

// Every option of the station; --help is written from this table.
constexpr OptionRow kOptions[] = {
    {{"unattended", nullptr,
      "nobody is at the screen: message boxes go to standard error and take their default button, and "
      "every status line is echoed to standard output (chosen by itself when there is no display)"},
     [](LaunchOptions& options, const QString&) { options.unattended = true; }},
    {{"cnc", "local:NAME",
      "reach the control through cnc-sim, which serves it on the local socket NAME (cnc-sim --listen NAME), "
      "instead of the built-in simulator; --cnc-journal and --show-work-list are then cnc-sim's to take. "
      "--cnc tcp:HOST:PORT reaches the bridge on the control's PC (or cnc-sim --listen tcp:HOST:PORT), "
      "with the key of --cnc-key"},
     readCncServer},
    {{"cnc-key", "FILE",
      "with --cnc tcp:HOST:PORT: the key file shared with the bridge (quorlan --new-control-key FILE makes one)"},
     [](LaunchOptions& options, const QString& value) { options.cncKeyFile = value; }},
    {{"cnc-journal", "FILE",
      "append one line per call that reaches the control to FILE (default: $QUORLAN_CNC_JOURNAL)"},
     [](LaunchOptions& options, const QString& value) {
         if (!value.isEmpty()) {
             options.cncJournal = value;
         }
     }},
    {{"list-timeout", "SECONDS", "give up waiting for the control's work list at start-up after SECONDS (default 30)"},
     readListTimeout},
    {{"show-work-list", nullptr, "show the simulated control's Work List window from the start"},
     [](LaunchOptions& options, const QString&) { options.showWorkList = true; }},
    {{"test-console", nullptr,
      "open the automation test console beside the station, acting on the station's connection to the control"},
     [](LaunchOptions& options, const QString&) { options.testConsole = true; }},
    {{"history-export", nullptr,
      "write the history's events to the CSV file FILE.csv, given as the one word after the options, and exit; "
      "it may run while a station records"},
     [](LaunchOptions& options, const QString&) {
         if (options.action == LaunchAction::Run) {
             options.action = LaunchAction::HistoryExport;
         }
     }},
    {{"since", "DATE", "with --history-export: the events from DATE (2024-05-02, or 2024-05-02 14:30) on"},
     [](LaunchOptions& options, const QString& value) { readHistoryTime(options, value, false); }},
    {{"until", "DATE", "with --history-export: the events up to DATE, a date's whole day included"},
     [](LaunchOptions& options, const QString& value) { readHistoryTime(options, value, true); }},
    {{"new-control-key", "FILE",
      "write a new key for the link to the control's PC into FILE, which must not exist yet, readable by its owner "
      "alone, and exit; copy the file to the control's PC for the bridge"},
     readNewControlKey},
};

struct WordRow {
    const char* word;
    const char* help;
};

constexpr WordRow kWords[] = {
    {"NOAPP", "do not take the control's work list at start-up; the first label then creates one"},
    {"CSV", "keep each program's CSV file after it was added to the collecting CSV file"},
    {"KEEP", "the same as CSV"},
};

constexpr std::size_t kHelpColumn = 24;

std::vector<platform::CommandLineOption> commandLineOptions() {
    std::vector<platform::CommandLineOption> options;
    for (const OptionRow& row : kOptions) {
        options.push_back(row.option);
    }
    return options;
}

// Each option in the order given, up to the first that cannot be taken.
void applyOptions(const platform::CommandLine& commandLine, const std::vector<platform::CommandLineOption>& table,
                  LaunchOptions& options) {
    for (const platform::CommandLineItem& item : commandLine.items) {
        if (item.option == nullptr) {
            continue;
        }
        kOptions[item.option - table.data()].apply(options, QString::fromStdString(item.value));
        if (!options.usageError.isEmpty()) {
            return;
        }
    }
}

} // namespace

QString takeControlSettings(LaunchOptions& options, const QString& address, const QString& keyFile) {
    if (options.cncKeyFile.isEmpty()) {
        options.cncKeyFile = keyFile;
    }
    if (address.isEmpty() || !options.cncServer.isEmpty() || !options.cncHost.isEmpty()) {
        return {};
    }
    LaunchOptions read;
    readCncServer(read, address);
    if (!read.usageError.isEmpty()) {
        // The operator's words are the settings file's, not the command line's.
        return QStringLiteral("ControlAddress in QZT.INI is \"%1\"; it takes local:NAME or tcp:HOST:PORT, as --cnc "
                              "does. Nothing is sent to any control until it is mended.")
            .arg(address);
    }
    options.cncServer = read.cncServer;
    options.cncHost = read.cncHost;
    options.cncPort = read.cncPort;
    return {};
}

LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& journalFromEnvironment) {
    LaunchOptions options;
    options.cncJournal = journalFromEnvironment;
    std::vector<std::string> texts;
    for (const QString& argument : arguments) {
        texts.push_back(argument.toStdString());
    }
    const std::vector<platform::CommandLineOption> table = commandLineOptions();
    const platform::CommandLine commandLine = platform::readCommandLine(texts, table);
    if (commandLine.valueMissing != nullptr && commandLine.valueMissing->name != std::string_view("new-control-key")) {
        // Only the last argument can miss its value: the rest of the line is still as it was meant.
        options.problems.append(QString::fromStdString(commandLine.error) + QStringLiteral("; it is ignored."));
    } else if (!commandLine.error.empty()) {
        options.usageError = commandLine.valueMissing != nullptr ? QString(QLatin1String(kNewControlKeyUsage))
                                                                 : QString::fromStdString(commandLine.error);
        options.action = LaunchAction::UsageError;
        return options;
    }
    if (commandLine.help || commandLine.version) {
        options.action = commandLine.help ? LaunchAction::Help : LaunchAction::Version;
        return options;
    }
    applyOptions(commandLine, table, options);
    QStringList words;
    for (const std::string& word : commandLine.words()) {
        words.append(QString::fromStdString(word));
    }
    settleHistoryExport(options, words);
    if (!options.usageError.isEmpty()) {
        options.action = LaunchAction::UsageError;
        return options;
    }
    options.commandLine = words.join(QLatin1Char(' '));
    return options;
}

QString launchUsage() {
    return QStringLiteral("usage: quorlan [OPTION]... [WORD]...\n"
                          "       quorlan --history-export [--since DATE] [--until DATE] FILE.csv");
}

QString launchHelp() {
    QString help =
        launchUsage() + QStringLiteral("\n"
                                       "The barcode station: reads the scanner on the serial port that QZT.INI\n"
                                       "names and appends one line per part to the CNC control's work list.\n\n"
                                       "Options:\n");
    help += QString::fromStdString(platform::optionsHelp(commandLineOptions(), kHelpColumn));
    help += QStringLiteral("\nWords (any other argument, read in any case and anywhere on the line; after --\n"
                           "every argument is a word, even one that begins with --):\n");
    for (const WordRow& row : kWords) {
        help += QString::fromStdString(platform::helpEntry(row.word, row.help, kHelpColumn));
    }
    help += QStringLiteral("\nSettings: QZT.INI is read from the program's folder, else from $QUORLAN_WINDIR,\n"
                           "else from $XDG_CONFIG_HOME/quorlan (~/.config/quorlan). A drive X: in its\n"
                           "paths is the folder $QUORLAN_DRIVE_X, else $XDG_DATA_HOME/quorlan/drive_x\n"
                           "(~/.local/share/quorlan/drive_x).\n\n"
                           "Examples:\n"
                           "  quorlan                      start the station\n"
                           "  quorlan NOAPP                start it without taking the control's work list\n"
                           "  quorlan --history-export --since 2024-05-02 may.csv\n"
                           "  quorlan --new-control-key control.key\n");
    return help;
}

} // namespace quorlan::shell
