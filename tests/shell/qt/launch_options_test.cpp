// The station's own options are taken out of the command line; everything else stays for the rules.
#include "shell/qt/launch_options.h"

#include <QTest>

using quorlan::shell::LaunchOptions;
using quorlan::shell::parseLaunchOptions;

class LaunchOptionsTest final : public QObject {
    Q_OBJECT

private slots:
    void optionsAndCommandLine_data();
    void optionsAndCommandLine();
};

void LaunchOptionsTest::optionsAndCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<QString>("journal");
    QTest::addColumn<qint64>("timeoutMs");
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<int>("problems");
    const auto list = [](std::initializer_list<const char*> words) {
        QStringList result;
        for (const char* word : words) {
            result.append(QString::fromUtf8(word));
        }
        return result;
    };
    QTest::newRow("rules' words anywhere")
        << list({"keep", "--unattended", "NoApp"}) << true << "env.log" << qint64(30000) << "keep NoApp" << 0;
    QTest::newRow("values after a blank or '='") << list({"--cnc-journal", "j.log", "--list-timeout=2.5", "CSV"})
                                                 << false << "j.log" << qint64(2500) << "CSV" << 0;
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
}

QTEST_MAIN(LaunchOptionsTest)
#include "launch_options_test.moc"
