#include "shell/qt/launch_options.h"

#include <cmath>

namespace quorlan::shell {

namespace {

// "--name VALUE" or "--name=VALUE"; false when the argument is another one. A missing value is
// reported and leaves value null.
bool takeValue(const QStringList& arguments, qsizetype& index, const QString& name, QString& value,
               QStringList& problems) {
    const QString& argument = arguments.at(index);
    if (argument.startsWith(name + QLatin1Char('='))) {
        value = argument.mid(name.size() + 1);
        return true;
    }
    if (argument != name) {
        return false;
    }
    if (index + 1 >= arguments.size()) {
        problems.append(name + QStringLiteral(" needs a value; it is ignored."));
        value = QString();
        return true;
    }
    value = arguments.at(++index);
    return true;
}

void readListTimeout(const QString& text, LaunchOptions& options) {
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

} // namespace

LaunchOptions parseLaunchOptions(const QStringList& arguments, const QString& journalFromEnvironment) {
    LaunchOptions options;
    options.cncJournal = journalFromEnvironment;
    QStringList words;
    QString value;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        if (arguments.at(index) == QStringLiteral("--unattended")) {
            options.unattended = true;
        } else if (arguments.at(index) == QStringLiteral("--show-work-list")) {
            options.showWorkList = true;
        } else if (takeValue(arguments, index, QStringLiteral("--cnc-journal"), value, options.problems)) {
            if (!value.isEmpty()) {
                options.cncJournal = value;
            }
        } else if (takeValue(arguments, index, QStringLiteral("--list-timeout"), value, options.problems)) {
            if (!value.isNull()) {
                readListTimeout(value, options);
            }
        } else {
            words.append(arguments.at(index));
        }
    }
    options.commandLine = words.join(QLatin1Char(' '));
    return options;
}

} // namespace quorlan::shell
