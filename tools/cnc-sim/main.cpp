// cnc-sim: the CNC control simulator as a process of its own. It serves the station's simulated
// control on a local socket (quorlan --cnc local:NAME) and shows the work list in its Work List
// window; killing and restarting it is how a control that goes away is tried for real.
#include "cnc/qt/local_control_server.h"
#include "cnc/qt/work_list_window.h"
#include "cnc/simulator.h"
#include "platform/error.h"
#include "platform/path_mapper.h"
#include "platform/runtime_folder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <cstdio>
#include <variant>

namespace {

using namespace quorlan;

constexpr int kExitUsage = 2;
constexpr int kExitCannotServe = 3;

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Before QApplication exists: nobody to show a window to means Qt's offscreen platform. True when
// the control runs without its window.
bool chooseOffscreenWhenHeadless(int argc, char* argv[]) {
    bool unattended = false;
    for (int i = 1; i < argc; ++i) {
        unattended = unattended || qstrcmp(argv[i], "--unattended") == 0;
    }
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (unattended || (noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return true;
    }
    return false;
}

struct Options {
    QString listen;
    QString journal;
};

// The options, or the exit code of a run that ends here (help, version, a usage error).
std::variant<Options, int> readOptions(const QApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Serves the simulated CNC control on a local socket, for a station started with\n"
                       "quorlan --cnc local:NAME, and shows its work list in the Work List window."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("serve on the local socket NAME (a name, or an absolute path)"),
                                    QStringLiteral("NAME"));
    const QCommandLineOption journal(
        QStringLiteral("cnc-journal"),
        QStringLiteral("append one line per call that reaches the control to FILE (default: $QUORLAN_CNC_JOURNAL)"),
        QStringLiteral("FILE"));
    const QCommandLineOption unattended(QStringLiteral("unattended"),
                                        QStringLiteral("run without a window (also chosen when there is no display)"));
    parser.addOptions({listen, journal, unattended});
    if (!parser.parse(app.arguments())) {
        print(stderr,
              QStringLiteral("cnc-sim: %1\nTry 'cnc-sim --help' for more information.").arg(parser.errorText()));
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, parser.helpText().trimmed());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("cnc-sim " QUORLAN_VERSION));
        return 0;
    }
    Options options{parser.value(listen), parser.value(journal)};
    if (options.listen.isEmpty() || !parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("cnc-sim: %1\nusage: cnc-sim --listen NAME [--cnc-journal FILE] [--unattended]")
                          .arg(options.listen.isEmpty()
                                   ? QStringLiteral("no --listen NAME given")
                                   : QStringLiteral("unexpected argument ") + parser.positionalArguments().front()));
        return kExitUsage;
    }
    if (options.journal.isEmpty()) {
        options.journal = qEnvironmentVariable("QUORLAN_CNC_JOURNAL");
    }
    return options;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool withoutWindow = chooseOffscreenWhenHeadless(argc, argv);
    const platform::RuntimeFolder runtime = platform::settleRuntimeFolder();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cnc-sim"));
    QApplication::setApplicationVersion(QStringLiteral(QUORLAN_VERSION));
    // The Work List window may be closed by hand; the control goes on serving.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto read = readOptions(app);
    if (const int* exitCode = std::get_if<int>(&read)) {
        return *exitCode;
    }
    const Options& options = std::get<Options>(read);
    if (!runtime.problem.empty()) {
        print(stderr, QStringLiteral("cnc-sim: ") + QString::fromStdString(runtime.problem));
    }

    cnc::Simulator simulator{platform::PathMapper()};
    if (!options.journal.isEmpty()) {
        try {
            simulator.setJournal(cnc::makeFileJournal(QFile::encodeName(options.journal).toStdString()));
        } catch (const platform::StationError& error) {
            print(stderr, QStringLiteral("cnc-sim: the journal %1 cannot be written: %2")
                              .arg(options.journal, QString::fromStdString(error.description())));
            return kExitCannotServe;
        }
    }
    cnc::WorkListWindow workList(simulator);
    cnc::LocalControlServer server(simulator);
    QObject::connect(&server, &cnc::LocalControlServer::problem,
                     [](const QString& text) { print(stderr, QStringLiteral("cnc-sim: ") + text); });
    if (const QString why = server.listen(options.listen); !why.isEmpty()) {
        print(stderr, QStringLiteral("cnc-sim: cannot serve on %1: %2").arg(options.listen, why));
        return kExitCannotServe;
    }
    print(stdout, QStringLiteral("cnc-sim: serving the CNC control on %1; start the station with --cnc local:%2")
                      .arg(server.socketPath(), options.listen));
    // As the control itself does, its list is on screen from the start, not only once a station
    // has made it visible.
    if (!withoutWindow) {
        simulator.showList();
    }
    return QApplication::exec();
}
