// What each printed part label says under its symbol, and what the label maker says about values
// that never reach the control.
#include "job_file.h"
#include "label_plan.h"
#include "label_run.h"

#include <QImage>
#include <gtest/gtest.h>

namespace quorlan::label_tool {
namespace {

// The note of each label of the job's first row, as a label of the given size shows it.
std::vector<std::string> shownNotes(const std::string& job, SizeMm size) {
    const Plan planned = planJob(readJob(job), LabelForm::Parts, true);
    EXPECT_EQ(planned.faults, std::vector<std::string>{});
    const Layout layout(size, false, 300);
    const LabelPainter painter(layout);
    QImage device(10, 10, QImage::Format_Grayscale8);
    device.setDotsPerMeterX(11811);
    device.setDotsPerMeterY(11811);
    std::vector<std::string> notes;
    for (const PrintLabel& label : encodePlan(planned.labels).labels) {
        notes.push_back(painter.shownNote(label, painter.place(label), &device).toStdString());
    }
    return notes;
}

// However long the program name and comment, the operator reads which of how many labels this is.
TEST(LabelPlan, aPartLabelShowsItsSetNumberWhateverElseIsCut) {
    const std::string job = "program,field,x,y,z,a,e,comment\n"
                            "LEFTDOORFLANGE2,N1,600,400,18,5,7,left door flange of the cabinet in oak veneer\n";
    const struct {
        SizeMm size;
        std::vector<std::string> starts;
    } cases[] = {
        {{70, 37},
         {"1/4 program", "2/4 dimensions", "3/4 vars A-D, not sent to the control",
          "4/4 vars E-I, not sent to the control"}},
        {{62, 29},
         {"1/4 program", "2/4 dimensions", "3/4 vars A-D, not sent to the control",
          "4/4 vars E-I, not sent to the control"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> notes = shownNotes(job, c.size);
        ASSERT_EQ(notes.size(), c.starts.size());
        for (std::size_t n = 0; n < notes.size(); ++n) {
            EXPECT_TRUE(notes[n].starts_with(c.starts[n])) << c.size.width << " mm: " << notes[n];
        }
    }
    EXPECT_EQ(shownNotes("program,repetitions\nFLANGE,999\n", {70, 37}),
              std::vector<std::string>{"999 times: program \u00B7 FLANGE.CNC"});
}

TEST(LabelPlan, variablesAreSaidToStayAtTheStation) {
    const struct {
        const char* job;
        LabelForm form;
        bool said;
    } cases[] = {
        {"program,x,y,z\nFLANGE,600,400,18\n", LabelForm::Parts, false},
        {"program,x,a\nFLANGE,600,5\n", LabelForm::Parts, true},
        {"program,i\nFLANGE,\nBASE,9\n", LabelForm::Parts, true},
        {"program,v\nFLANGE,2\n", LabelForm::Parts, true},
        {"program,a\nFLANGE, \n", LabelForm::Parts, false},
    };
    for (const auto& c : cases) {
        const Plan planned = planJob(readJob(c.job), c.form, true);
        ASSERT_EQ(planned.faults, std::vector<std::string>{}) << c.job;
        const bool said =
            !planned.notes.empty() && planned.notes[0].find("the control never gets them") != std::string::npos;
        EXPECT_EQ(said, c.said) << c.job;
    }
}

} // namespace
} // namespace quorlan::label_tool
