// The station's own options are taken out of the command line; everything else stays for the rules.
#include "shell/qt/launch_options.h"

#include <QTest>

using quorlan::shell::LaunchAction;
using quorlan::shell::launchHelp;
using quorlan::shell::LaunchOptions;
using quorlan::shell::parseLaunchOptions;

namespace {

QStringList list(std::initializer_list<const char*> words) {
    QStringList result;
    for (const char* word : words) {
        result.append(QString::fromUtf8(word));
    }
    return result;
}

} // namespace

class LaunchOptionsTest final : public QObject {
    Q_OBJECT

private slots:
    void optionsAndCommandLine_data();
    void optionsAndCommandLine();
    void actionsEndBeforeTheStation_data();
    void actionsEndBeforeTheStation();
    void controlOnALocalSocketIsNamedByWhatFollowsLocal();
    void controlFromTheSettingsFileUnlessTheCommandLineNamesIt();
    void historyExportTakesItsFileAndTimes();
    void helpNamesEveryOptionAndWord();
};

void LaunchOptionsTest::optionsAndCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("journal");
    QTest::addColumn<qint64>("timeoutMs");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("problems");
    QTest::newRow("rules' words anywhere")
        << list({"keep", "--unattended", "NoApp"}) << true << "env.log" << qint64(30000) << "keep NoApp" << 0;
    QTest::newRow("values after a blank or '='") << list({"--cnc-journal", "j.log", "--list-timeout=2.5", "CSV"})
                                                 << false << "j.log" << qint64(2500) << "CSV" << 0;
    QTest::newRow("words after -- as they are") << list({"--unattended", "--", "--keep", "-x", "--"}) << true
                                                << "env.log" << qint64(30000) << "--keep -x --" << 0;
    QTest::newRow("single-dash words") << list({"-NOAPP", "-", "/csv"}) << false << "env.log" << qint64(30000)
                                       << "-NOAPP - /csv" << 0;
    QTest::newRow("missing value") << list({"NOAPP", "--list-timeout"}) << false << "env.log" << qint64(30000)
                                   << "NOAPP" << 1;
    QTest::newRow("unreadable timeout") << list({"--list-timeout", "soon"}) << false << "env.log" << qint64(30000) << ""
                                        << 1;
    QTest::newRow("negative timeout") << list({"--list-timeout=-1"}) << false << "env.log" << qint64(30000) << "" << 1;
}

void LaunchOptionsTest::optionsAndCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, unattended);
    QFETCH(QString, journal);
    QFETCH(qint64, timeoutMs);
    QFETCH(QString, commandLine);
    QFETCH(int, problems);
    const LaunchOptions options = parseLaunchOptions(arguments, QStringLiteral("env.log"));
    QCOMPARE(options.unattended, unattended);
    QCOMPARE(options.cncJournal, journal);
    QCOMPARE(static_cast<qint64>(options.listTimeout.count()), timeoutMs);
    QCOMPARE(options.commandLine, commandLine);
    QCOMPARE(options.problems.size(), problems);
    QCOMPARE(options.action, LaunchAction::Run);
}

void LaunchOptionsTest::actionsEndBeforeTheStation_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<LaunchAction>("action");
    QTest::addColumn<QString>("error");
    QTest::newRow("help among words") << list({"NOAPP", "--help"}) << LaunchAction::Help << "";
    QTest::newRow("short help") << list({"-h"}) << LaunchAction::Help << "";
    QTest::newRow("version") << list({"--version"}) << LaunchAction::Version << "";
    QTest::newRow("new control key") << list({"--new-control-key", "k"}) << LaunchAction::NewControlKey << "";
    QTest::newRow("unknown option") << list({"KEEP", "--bogus", "--help"}) << LaunchAction::UsageError
                                    << "unknown option --bogus";
    QTest::newRow("unknown option with a value")
        << list({"--journal=x.log"}) << LaunchAction::UsageError << "unknown option --journal";
    QTest::newRow("lone double dash ends the options") << list({"--"}) << LaunchAction::Run << "";
    QTest::newRow("value given to a switch")
        << list({"--unattended=yes"}) << LaunchAction::UsageError << "--unattended takes no value";
    QTest::newRow("single dash is a word") << list({"-x"}) << LaunchAction::Run << "";
    QTest::newRow("new control key without its file")
        << list({"--new-control-key"}) << LaunchAction::UsageError
        << "--new-control-key needs the FILE to write the new key into, as in --new-control-key control.key";
    QTest::newRow("new control key followed by an option")
        << list({"--new-control-key", "--unattended"}) << LaunchAction::UsageError
        << "--new-control-key needs the FILE to write the new key into, as in --new-control-key control.key";
    const auto wrongControl = [](const char* text) {
        return QStringLiteral("--cnc takes local:NAME, the NAME that cnc-sim --listen was given, or tcp:HOST:PORT, "
                              "where the bridge to the control serves (port 1 to 65535), not \"%1\"")
            .arg(QLatin1String(text));
    };
    for (const char* control :
         {"tcp:host", "tcp::4711", "tcp:host:0", "tcp:host:65536", "tcp:host:x", "udp:h:1", "local:"}) {
        QTest::newRow(control) << list({"--cnc", control}) << LaunchAction::UsageError << wrongControl(control);
    }
    QTest::newRow("history export without a file")
        << list({"--history-export"}) << LaunchAction::UsageError << "--history-export needs the CSV file to write";
    QTest::newRow("history export into two files")
        << list({"--history-export", "a.csv", "b.csv"}) << LaunchAction::UsageError
        << "--history-export writes one file, not a.csv, b.csv";
    QTest::newRow("a time that is no date")
        << list({"--history-export", "--since", "yesterday", "a.csv"}) << LaunchAction::UsageError
        << "--since takes a date as 2024-05-02 or a date and time as 2024-05-02 14:30, not \"yesterday\"";
    QTest::newRow("a time without the export") << list({"--until=2024-05-02", "NOAPP"}) << LaunchAction::UsageError
                                               << "--since and --until go with --history-export";
    QTest::newRow("help beside the export") << list({"--history-export", "--help"}) << LaunchAction::Help << "";
}

void LaunchOptionsTest::actionsEndBeforeTheStation() {
    QFETCH(QStringList, arguments);
    QFETCH(LaunchAction, action);
    QFETCH(QString, error);
    const LaunchOptions options = parseLaunchOptions(arguments, {});
    QCOMPARE(options.action, action);
    QCOMPARE(options.usageError, error);
}

void LaunchOptionsTest::controlOnALocalSocketIsNamedByWhatFollowsLocal() {
    QCOMPARE(parseLaunchOptions(list({"--cnc", "local:/run/cnc.sock", "NOAPP"}), {}).cncServer,
             QStringLiteral("/run/cnc.sock"));
    QCOMPARE(parseLaunchOptions(list({"NOAPP"}), {}).cncServer, QString());
    const LaunchOptions network =
        parseLaunchOptions(list({"--cnc", "tcp:[fe80::1]:4711", "--cnc-key", "/etc/quorlan/control.key"}), {});
    QCOMPARE(network.cncHost, QStringLiteral("fe80::1"));
    QCOMPARE(network.cncPort, quint16{4711});
    QCOMPARE(network.cncKeyFile, QStringLiteral("/etc/quorlan/control.key"));
    QCOMPARE(network.cncServer, QString());
}

// The settings file names the control and its key where the command line does not.
void LaunchOptionsTest::controlFromTheSettingsFileUnlessTheCommandLineNamesIt() {
    const struct {
        const char* what;
        QStringList arguments;
        const char* address; // ControlAddress
        const char* keyFile; // ControlKeyFile
        const char* host;
        const char* server;
        const char* key;
        bool problem;
    } cases[] = {
        {"settings alone", {}, "tcp:cnc-pc:4711", "/k", "cnc-pc", "", "/k", false},
        {"command line first", list({"--cnc", "tcp:a:1", "--cnc-key", "/a"}), "tcp:b:2", "/b", "a", "", "/a", false},
        {"a local control on the command line", list({"--cnc", "local:sim"}), "tcp:b:2", "/b", "", "sim", "/b", false},
        {"no address anywhere", {}, "", "/b", "", "", "/b", false},
        {"a wrong address", {}, "cnc-pc:4711", "", "", "", "", true},
    };
    for (const auto& c : cases) {
        LaunchOptions options = parseLaunchOptions(c.arguments, {});
        const QString problem = takeControlSettings(options, QLatin1String(c.address), QLatin1String(c.keyFile));
        QVERIFY2(problem.isEmpty() != c.problem, c.what);
        QCOMPARE(options.cncHost, QLatin1String(c.host));
        QCOMPARE(options.cncServer, QLatin1String(c.server));
        QCOMPARE(options.cncKeyFile, QLatin1String(c.key));
    }
}

void LaunchOptionsTest::historyExportTakesItsFileAndTimes() {
    qputenv("TZ", "UTC");
    const LaunchOptions options =
        parseLaunchOptions(list({"--history-export", "--since", "2024-05-02", "--until=2024-05-02", "day.csv"}), {});
    QCOMPARE(options.action, LaunchAction::HistoryExport);
    QCOMPARE(options.historyFile, QStringLiteral("day.csv"));
    QCOMPARE(options.historySince.value_or(0), qint64(1714608000000));
    QCOMPARE(options.historyUntil.value_or(0), qint64(1714608000000 + 24 * 3600 * 1000));
    QCOMPARE(options.commandLine, QString());
}

// Each option is taken by the parser and explained by --help, which is written from the same table.
void LaunchOptionsTest::helpNamesEveryOptionAndWord() {
    const QString help = launchHelp();
    QVERIFY(help.startsWith(QStringLiteral("usage: quorlan ")));
    for (const char* term :
         {"--unattended", "--cnc local:NAME", "--cnc-journal FILE", "--list-timeout SECONDS", "--show-work-list",
          "--test-console", "--history-export", "--since DATE", "--until DATE", "--new-control-key FILE", "--help",
          "--version", "NOAPP", "CSV", "KEEP", "QUORLAN_WINDIR", "QUORLAN_DRIVE_"}) {
        QVERIFY2(help.contains(QLatin1String(term)), term);
    }
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        QVERIFY2(line.size() <= 80, qPrintable(line));
    }
}

QTEST_MAIN(LaunchOptionsTest)
#include "launch_options_test.moc"
