// cnc-sim: the CNC control simulator as a process of its own. It serves the station's simulated
// control on a local socket (quorlan --cnc local:NAME), or across a network as the bridge on the
// control's PC does (quorlan --cnc tcp:HOST:PORT --cnc-key FILE), and shows the work list in its
// Work List window; killing and restarting it is how a control that goes away is tried for real.
#include "cnc/control_address.h"
#include "cnc/control_key.h"
#include "cnc/qt/local_control_server.h"
#include "cnc/qt/tcp_control_server.h"
#include "cnc/qt/work_list_window.h"
#include "cnc/simulator.h"
#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/path_mapper.h"
#include "platform/runtime_folder.h"

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
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
    for (int i = 1; i < argc && qstrcmp(argv[i], "--") != 0; ++i) {
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
    QString key;
};

constexpr platform::CommandLineOption kOptions[] = {
    {"listen", "NAME",
     "serve on the local socket NAME (a name, or an absolute path), or on TCP with tcp:HOST:PORT (HOST: an "
     "address of this computer, 0.0.0.0 for all; PORT 0: any free one)"},
    {"key", "FILE",
     "with tcp:HOST:PORT: the key file that the station's --cnc-key names (quorlan --new-control-key FILE makes "
     "one)"},
    {"cnc-journal", "FILE",
     "append one line per call that reaches the control to FILE (default: $QUORLAN_CNC_JOURNAL)"},
    {"unattended", nullptr, "run without a window (also chosen when there is no display)"},
};

QString helpText() {
    return QStringLiteral("usage: cnc-sim --listen NAME|tcp:HOST:PORT [--key FILE] [--cnc-journal FILE] "
                          "[--unattended]\n"
                          "Serves the simulated CNC control on a local socket, for a station started with\n"
                          "quorlan --cnc local:NAME, or on TCP as the bridge on the control's PC does, for a\n"
                          "station started with quorlan --cnc tcp:HOST:PORT --cnc-key FILE, and shows its\n"
                          "work list in the Work List window.\n\n"
                          "Options:\n") +
           QString::fromStdString(platform::optionsHelp(kOptions, 20));
}

int usageError(const QString& why) {
    print(stderr, QStringLiteral("cnc-sim: %1\nTry 'cnc-sim --help' for more information.").arg(why));
    return kExitUsage;
}

// The options, or the exit code of a run that ends here (help, version, a usage error).
std::variant<Options, int> readOptions(const QStringList& arguments) {
    std::vector<std::string> texts;
    for (const QString& argument : arguments.mid(1)) {
        texts.push_back(argument.toStdString());
    }
    const platform::CommandLine commandLine = platform::readCommandLine(texts, kOptions);
    if (!commandLine.error.empty()) {
        return usageError(QString::fromStdString(commandLine.error));
    }
    if (commandLine.help) {
        print(stdout, helpText().trimmed());
        return 0;
    }
    if (commandLine.version) {
        print(stdout, QStringLiteral("cnc-sim " QUORLAN_VERSION));
        return 0;
    }
    Options options;
    for (const platform::CommandLineItem& item : commandLine.items) {
        const QString value = QString::fromStdString(item.value);
        if (item.option == nullptr) {
            return usageError(QStringLiteral("unexpected argument ") + value);
        }
        if (item.option->name == std::string_view("listen")) {
            options.listen = value;
        } else if (item.option->name == std::string_view("key")) {
            options.key = value;
        } else if (item.option->name == std::string_view("cnc-journal")) {
            options.journal = value;
        }
    }
    if (options.listen.isEmpty()) {
        return usageError(QStringLiteral("no --listen NAME given"));
    }
    const bool tcp = cnc::isTcpAddress(options.listen.toStdString());
    if (tcp && !cnc::parseTcpAddress(options.listen.toStdString())) {
        return usageError(QStringLiteral("--listen tcp: takes tcp:HOST:PORT, not \"%1\"").arg(options.listen));
    }
    if (tcp == options.key.isEmpty()) {
        return usageError(tcp ? QStringLiteral("serving on TCP needs --key FILE, the key file that the station uses")
                              : QStringLiteral("--key goes with --listen tcp:HOST:PORT"));
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

    const auto read = readOptions(QApplication::arguments());
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
    const auto say = [](const QString& text) { print(stderr, QStringLiteral("cnc-sim: ") + text); };
    std::unique_ptr<QObject> server;
    if (const auto tcp = cnc::parseTcpAddress(options.listen.toStdString())) {
        std::string keyBytes;
        try {
            keyBytes = cnc::readControlKey(QFile::encodeName(options.key).toStdString());
        } catch (const platform::StationError& error) {
            say(QString::fromStdString(error.description()));
            return kExitCannotServe;
        }
        auto tcpServer = std::make_unique<cnc::TcpControlServer>(simulator, std::move(keyBytes));
        QObject::connect(tcpServer.get(), &cnc::TcpControlServer::note, say);
        if (const QString why = tcpServer->listen(QString::fromStdString(tcp->host), tcp->port); !why.isEmpty()) {
            say(QStringLiteral("cannot serve on %1: %2").arg(options.listen, why));
            return kExitCannotServe;
        }
        print(stdout, QStringLiteral("cnc-sim: serving the CNC control on tcp:%1:%2; start the station with --cnc "
                                     "tcp:HOST:%2 --cnc-key FILE, with the same key")
                          .arg(QString::fromStdString(tcp->host))
                          .arg(tcpServer->port()));
        server = std::move(tcpServer);
    } else {
        auto localServer = std::make_unique<cnc::LocalControlServer>(simulator);
        QObject::connect(localServer.get(), &cnc::LocalControlServer::problem, say);
        if (const QString why = localServer->listen(options.listen); !why.isEmpty()) {
            say(QStringLiteral("cannot serve on %1: %2").arg(options.listen, why));
            return kExitCannotServe;
        }
        print(stdout, QStringLiteral("cnc-sim: serving the CNC control on %1; start the station with --cnc local:%2")
                          .arg(localServer->socketPath(), options.listen));
        server = std::move(localServer);
    }
    // As the control itself does, its list is on screen from the start, not only once a station
    // has made it visible.
    if (!withoutWindow) {
        simulator.showList();
    }
    return QApplication::exec();
}
