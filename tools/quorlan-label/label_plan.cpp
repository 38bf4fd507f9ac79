#include "label_plan.h"

#include "platform/qt/cp1252.h"
#include "platform/text.h"
#include "scan/label_builder.h"
#include "scan/program_name.h"
#include "symbols/encoder.h"

#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace quorlan::label_tool {

namespace {

using scan::LabelRefused;

constexpr const char* kVariableColumns[] = {"a", "b", "c", "d", "e", "f", "g", "i"};
const QString kSeparator = QStringLiteral(" \u00B7 ");

// The builders name values as the grammar does ("field code", "X"); the job names its columns.
std::string columnOfItem(const std::string& item) {
    if (item == "field code") {
        return "field";
    }
    std::string column = item;
    for (char& c : column) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return column;
}

QString shown(const std::string& bytes) {
    return platform::fromCp1252(bytes);
}

// The values of a row in the station's bytes; faults name the row and column.
class RowReader {
public:
    RowReader(const JobRow& row, bool utf8) : m_row(row), m_utf8(utf8) {}

    std::string operator()(const std::string& column) const {
        try {
            return stationBytes(m_row.value(column), m_utf8);
        } catch (const std::invalid_argument& error) {
            throw JobError(m_row.line, column, error.what());
        }
    }

private:
    const JobRow& m_row;
    bool m_utf8;
};

bool repeated(const JobRow& row) {
    const std::string repetitions = platform::trimBlanks(row.value("repetitions"));
    if (repetitions.empty() || repetitions == "1") {
        return false;
    }
    if (repetitions == "999") {
        return true;
    }
    throw JobError(row.line, "repetitions",
                   "the station runs a part once or 999 times (the repeated label), not \"" + repetitions + "\"");
}

scan::PartValues partValues(const JobRow& row, const RowReader& value) {
    scan::PartValues values;
    values.program = value("program");
    values.fieldCode = value("field");
    values.valueV = value("v");
    values.dimX = value("x");
    values.dimY = value("y");
    values.dimZ = value("z");
    for (std::size_t i = 0; i < values.variables.size(); ++i) {
        values.variables[i] = value(kVariableColumns[i]);
    }
    values.repeated = repeated(row);
    return values;
}

// The station reads variables but puts none into the line: their labels must not look needed.
QString partNote(char part) {
    switch (part) {
    case '1':
        return QStringLiteral("program");
    case '2':
        return QStringLiteral("dimensions");
    case '3':
        return QStringLiteral("vars A-D, not sent to the control");
    default:
        return QStringLiteral("vars E-I, not sent to the control");
    }
}

void planParts(const JobRow& row, const RowReader& value, Plan& plan) {
    const scan::PartValues values = partValues(row, value);
    const auto labels = scan::buildPartLabels(scan::FieldCodeTable(), values);
    const QString program = shown(scan::withProgramExtension(values.program));
    const QString comment = shown(value("comment"));
    for (std::size_t n = 0; n < labels.size(); ++n) {
        // The set number first: it is what tells the operator whether a label is missing.
        const QString which = values.repeated
                                  ? QStringLiteral("999 times:")
                                  : QString::number(n + 1) + QLatin1Char('/') + QString::number(labels.size());
        plan.labels.push_back({labels[n],
                               symbols::Symbology::Code128,
                               {},
                               joinedNote({which + QLatin1Char(' ') + partNote(labels[n][1]), program, comment}),
                               row.line,
                               {},
                               {}});
    }
}

// Whether the row gives a value that the station reads but writes into no line.
bool givesVariables(const JobRow& row) {
    const auto given = [&row](const char* column) { return !platform::trimBlanks(row.value(column)).empty(); };
    return given("v") || std::any_of(std::begin(kVariableColumns), std::end(kVariableColumns), given);
}

void planPlain(const JobRow& row, const RowReader& value, Plan& plan) {
    for (const auto& column : kJobColumns) {
        if (column != "program" && column != "comment" && !platform::trimBlanks(row.value(column)).empty()) {
            throw JobError(row.line, column,
                           "a plain label carries the program name alone; print the part labels for this value");
        }
    }
    const std::string program = value("program");
    plan.labels.push_back({scan::buildPlainLabel(scan::FieldCodeTable(), program),
                           symbols::Symbology::Code128,
                           {},
                           joinedNote({shown(scan::withProgramExtension(program)), shown(value("comment"))}),
                           row.line,
                           {},
                           {}});
}

std::string whereIn(const PlannedLabel& label) {
    if (label.line == 0) {
        return label.column.empty() ? "" : "--" + label.column + ": ";
    }
    return "row " + std::to_string(label.line) + (label.column.empty() ? "" : ", column " + label.column) + ": ";
}

void planTwoD(const JobRow& row, const RowReader& value, const TwoDSettings& settings, Plan& plan) {
    plan.labels.push_back(planTwoDLabel(row, value, settings, plan.notes));
}

template <typename Planner> void planRow(const JobRow& row, bool utf8, Plan& plan, Planner planner) {
    const RowReader value(row, utf8);
    try {
        planner(row, value, plan);
    } catch (const LabelRefused& refused) {
        plan.faults.push_back(JobError(row.line, columnOfItem(refused.item()), refused.reason()).what());
    } catch (const JobError& error) {
        plan.faults.push_back(error.what());
    }
}

} // namespace

QString joinedNote(const QStringList& parts) {
    QStringList given;
    for (const QString& part : parts) {
        if (!part.isEmpty()) {
            given << part;
        }
    }
    return given.join(kSeparator);
}

bool isUtf8(const std::string& bytes) {
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

std::string stationBytes(const std::string& text, bool utf8) {
    if (!utf8) {
        return text;
    }
    const QString unicode = QString::fromStdString(text);
    const std::string bytes = platform::toCp1252(unicode);
    const QString back = platform::fromCp1252(bytes);
    for (qsizetype i = 0; i < unicode.size() && i < back.size(); ++i) {
        if (unicode[i] != back[i]) {
            const qsizetype length = unicode[i].isHighSurrogate() ? 2 : 1;
            throw std::invalid_argument("\"" + unicode.mid(i, length).toStdString() +
                                        "\" is no character of the station's code page (Windows-1252)");
        }
    }
    return bytes;
}

Plan planJob(const std::vector<JobRow>& rows, LabelForm form, bool utf8, const TwoDSettings& twoD) {
    Plan plan;
    for (const JobRow& row : rows) {
        switch (form) {
        case LabelForm::Parts:
            planRow(row, utf8, plan, planParts);
            break;
        case LabelForm::Plain:
            planRow(row, utf8, plan, planPlain);
            break;
        case LabelForm::TwoD:
            planRow(row, utf8, plan,
                    [&twoD](const JobRow& of, const RowReader& value, Plan& into) { planTwoD(of, value, twoD, into); });
            break;
        }
    }
    if (rows.empty()) {
        plan.faults.push_back("the job has no rows");
    }
    if (form != LabelForm::Plain && std::any_of(rows.begin(), rows.end(), givesVariables)) {
        plan.notes.push_back("columns v and a to i: the station reads these values, but writes none of them into "
                             "the work-list line, so the control never gets them");
    }
    return plan;
}

Plan planListLabel(const std::string& listName, bool utf8) {
    Plan plan;
    const JobRow row{0, {{"list", listName}}};
    planRow(row, utf8, plan, [](const JobRow&, const RowReader& value, Plan& into) {
        const std::string name = value("list");
        into.labels.push_back({scan::buildListLabel(name),
                               symbols::Symbology::Code128,
                               {},
                               QStringLiteral("load list ") + shown(name),
                               0,
                               {},
                               {}});
    });
    return plan;
}

Plan planCommandSheet() {
    static const char* const kWhat[] = {"start the work list", "hold the work list", "end the work list",
                                        "clear set or list", "setpoint"};
    Plan plan;
    for (std::size_t n = 0; n < scan::kCommandLabels.size(); ++n) {
        plan.labels.push_back({std::string(scan::kCommandLabels[n]),
                               symbols::Symbology::Code128,
                               {},
                               QString::fromLatin1(kWhat[n]),
                               0,
                               {},
                               {}});
    }
    const scan::FieldCodeTable table;
    for (int position = 1; position <= scan::kFieldCodeCount; ++position) {
        const std::string& code = table.at(position);
        plan.labels.push_back({scan::buildFieldCodeLabel(table, code),
                               symbols::Symbology::Code128,
                               {},
                               QStringLiteral("field ") + shown(code),
                               0,
                               {},
                               {}});
    }
    return plan;
}

Printed encodePlan(const std::vector<PlannedLabel>& planned, const symbols::Encoder::Fits& fits) {
    Printed printed;
    for (const PlannedLabel& label : planned) {
        try {
            const auto symbols = symbols::Encoder::encodeSplit(label.symbology, label.payload, fits);
            for (const auto& symbol : symbols) {
                QString note = label.note;
                if (symbols.size() > 1) {
                    note = joinedNote({QString::number(symbol.sequence.index) + QLatin1Char('/') +
                                           QString::number(symbol.sequence.count),
                                       note});
                }
                printed.labels.push_back(
                    {symbol, label.caption.isEmpty() ? shown(label.payload) : label.caption, note, label.line});
            }
        } catch (const symbols::SymbolTooLarge& error) {
            printed.faults.push_back(whereIn(label) + error.what() + label.tooLargeHint);
        } catch (const symbols::SymbolError& error) {
            printed.faults.push_back(whereIn(label) + error.what());
        }
    }
    return printed;
}

} // namespace quorlan::label_tool
