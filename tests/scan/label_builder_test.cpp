// Every label is built, then read by the real ProcessLabel: what reaches the list is the proof.
#include "platform/text.h"
#include "scan/label_builder.h"
#include "scan_harness.h"

#include <algorithm>

namespace quorlan::scan {
namespace {

// The line the station builds for a set after at least one reset (the harness resets once).
std::string lineFor(const std::string& program, const std::string& repetitions, const std::string& fieldItems,
                    const std::string& dimensions) {
    return "#161=" + program + ";#162=;#164=" + repetitions + ";#165=1;#281=;" + fieldItems + ";#285=;#280=;" +
           dimensions + ";#282= ;#283=;#223= ;#277=;#278=;#279=;";
}

PartValues part(std::string program, std::string field = "", std::string v = "", std::string x = "", std::string y = "",
                std::string z = "", bool repeated = false) {
    PartValues values;
    values.program = std::move(program);
    values.fieldCode = std::move(field);
    values.valueV = std::move(v);
    values.dimX = std::move(x);
    values.dimY = std::move(y);
    values.dimZ = std::move(z);
    values.repeated = repeated;
    return values;
}

// One character per variable A, B, C, D, E, F, G, I; "." leaves it empty.
PartValues withVariables(PartValues values, const std::string& fromAtoI) {
    for (std::size_t i = 0; i < fromAtoI.size() && i < values.variables.size(); ++i) {
        values.variables[i] = fromAtoI[i] == '.' ? std::string() : std::string(1, fromAtoI[i]);
    }
    return values;
}

TEST(PartLabels, readBackIntoTheLineTheyCarryInAnyOrder) {
    const PartValues base = part("BASE", "M1", "", "600", "400", "18");
    const struct {
        PartValues values;
        std::vector<std::string> labels;
        std::string line;
    } cases[] = {
        {withVariables(base, "12345678"),
         {"%14BASE M1  %", "%24600 400 18 %", "%341 2 3 4 %", "%445 6 7 8 %"},
         lineFor("BASE.CNC", "1", "#171=8;#284=1", "#168=600;#169=400;#170=18")},
        {part("FLANGE.cnc", "R/1", "7"),
         {"%11FLANGE.cnc R/1 7 %"},
         lineFor("FLANGE.cnc", "1", "#171=36;#284=1", "#168=;#169=;#170=")},
        {part("PART7", "N", "", "", "", "", true),
         {"%19PART7 N  %"},
         lineFor("PART7.CNC", "999", "#171=1;#284=0", "#168=;#169=;#170=")},
        {withVariables(part("PART7", "N1/", "", "", "12.5", ""), "....5..8"),
         {"%13PART7 N1/  %", "%23 12.5  %", "%435   8 %"},
         lineFor("PART7.CNC", "1", "#171=19;#284=0", "#168=;#169=12.5;#170=")},
    };
    for (const auto& c : cases) {
        const auto labels = buildPartLabels(FieldCodeTable(), c.values);
        ASSERT_EQ(labels, c.labels);
        for (bool reversed : {false, true}) {
            auto order = labels;
            if (reversed) {
                std::reverse(order.begin(), order.end());
            }
            testing::ScanHarness h;
            for (std::size_t i = 0; i < order.size(); ++i) {
                EXPECT_EQ(h.processor.ProcessLabel(order[i]), i + 1 == order.size()) << order[i];
            }
            EXPECT_EQ(h.addedLines(), std::vector<std::string>{c.line}) << labels[0];
        }
    }
}

// Not in the line, but stored: each label of a set of three read alone, so none completes it.
TEST(PartLabels, carryEachVariableAndVExactly) {
    std::string valueV;
    std::string variables;
    for (const auto& label : buildPartLabels(FieldCodeTable(), withVariables(part("P", "S", "V9"), "ABCDEFGI"))) {
        testing::ScanHarness h;
        h.processor.ProcessLabel(label);
        valueV += platform::trimBlanks(h.state.ValueV);
        for (const auto& variable : h.state.Variables) {
            variables += platform::trimBlanks(variable);
        }
    }
    EXPECT_EQ(valueV, "V9");
    EXPECT_EQ(variables, "ABCDEFGI");
}

TEST(PartLabels, refuseWhatCouldNotBeReadBack) {
    const struct {
        PartValues values;
        std::string item;
        std::string reasonHas;
    } cases[] = {
        {part("BA SE"), "program", "blank, which splits"},
        {part("A;B"), "program", "\";\""},
        {part("A%B"), "program", "\"%\", which ends a label"},
        {part("A!B"), "program", "reads as a blank"},
        {part("A^B"), "program", "2D barcode"},
        {part("..\\X"), "program", "leads out of the program folder"},
        {part(""), "program", "no name"},
        {part(std::string(300, 'P')), "program", "longer than 255"},
        {part("P", "X1"), "field code", "\"X1\" is not one of the 36"},
        {part("P", "n"), "field code", "not one of the 36"},
        {part("P", "N", "", "6OO"), "X", "\"6OO\" is not a number"},
        {part("P", "N", "", "1", "2", "3\t"), "Z", "control character"},
        {[] {
             PartValues values = part("P");
             values.variables[LabelState::D] = "4 5";
             return values;
         }(),
         "D", "blank"},
        {part("P", "N", "V 1"), "V", "blank"},
        {part("P", "", "", "600", "", "", true), "repetitions", "program label alone"},
    };
    for (const auto& c : cases) {
        try {
            buildPartLabels(FieldCodeTable(), c.values);
            ADD_FAILURE() << "built: " << c.values.program;
        } catch (const LabelRefused& refused) {
            EXPECT_EQ(refused.item(), c.item) << refused.what();
            EXPECT_NE(refused.reason().find(c.reasonHas), std::string::npos) << refused.what();
        }
    }
}

TEST(PlainLabels, queueTheirProgramOrAreRefused) {
    const struct {
        std::string program;
        std::string reasonHas; // empty: built, and the line names program + ".CNC"
    } cases[] = {
        {"FLANGE", ""},
        {"MY PART", ""},
        {"ANX", "field-code label"},
        {"XNX1", ""},
        {"XN1/X", "field-code label"},
        {"A$B", "part label"},
        {" FLANGE", "blank"},
        {"\xF1"
         "ABC",
         "compressed"},
        {"A!B", "blank"},
        {"A%B", "ends a label"},
        {"SUB/X", "leads out"},
        {"X\rY", "control character"},
    };
    for (const auto& c : cases) {
        std::string built;
        try {
            built = buildPlainLabel(FieldCodeTable(), c.program);
        } catch (const LabelRefused& refused) {
            EXPECT_NE(refused.reason().find(c.reasonHas), std::string::npos) << refused.what();
            EXPECT_FALSE(c.reasonHas.empty()) << refused.what();
            continue;
        }
        EXPECT_TRUE(c.reasonHas.empty()) << "built " << built;
        testing::ScanHarness h;
        h.selector.source = fieldsel::MirrorSource::ProgramName;
        EXPECT_TRUE(h.processor.ProcessLabel(built));
        ASSERT_EQ(h.addedLines().size(), 1u) << built;
        EXPECT_TRUE(h.addedLines()[0].starts_with("#161=" + c.program + ".CNC;")) << h.addedLines()[0];
    }
}

TEST(FieldCodeLabels, fixTheFieldForEachOfTheTableAndNoOther) {
    const FieldCodeTable table;
    for (int position = 1; position <= kFieldCodeCount; ++position) {
        testing::ScanHarness h;
        const std::string label = buildFieldCodeLabel(table, table.at(position));
        EXPECT_TRUE(h.processor.ProcessLabel(label)) << label;
        EXPECT_EQ(h.state.FieldCode, table.at(position));
        EXPECT_TRUE(h.state.FieldPreset);
    }
    for (const std::string code : {"", "n", "N2", "W", "N/1/"}) {
        EXPECT_THROW(buildFieldCodeLabel(table, code), LabelRefused) << code;
    }
}

TEST(CommandAndListLabels, doWhatTheyName) {
    testing::ScanHarness h;
    h.link.setListPath("D:\\L\\");
    h.processor.ProcessLabel("%23600 400 18 %"); // so that %CLEAR% has a set to drop, then a list to clear
    for (const auto label : kCommandLabels) {
        EXPECT_TRUE(h.processor.ProcessLabel(std::string(label))) << label;
    }
    h.processor.ProcessLabel("%CLEAR%");
    h.processor.ProcessLabel(buildListLabel("JOB 1"));
    std::vector<std::string> operations;
    for (const auto& entry : h.journal) {
        operations.push_back(entry.line);
    }
    EXPECT_EQ(operations, (std::vector<std::string>{"StartList", "HoldList", "EndList", "Setpoint", "Clear", "Clear",
                                                    "OpenList D:\\\\L\\\\JOB 1.LST -> error 53"}));
    for (const std::string name : {"JOB%1", "..\\JOB", " JOB", "J;B", ""}) {
        EXPECT_THROW(buildListLabel(name), LabelRefused) << name;
    }
}

} // namespace
} // namespace quorlan::scan
