#include "job_file.h"

#include <gtest/gtest.h>

namespace quorlan::label_tool {
namespace {

std::string faultOf(const std::string& bytes) {
    try {
        readJob(bytes);
    } catch (const JobError& error) {
        return error.what();
    }
    return {};
}

TEST(JobFile, readsTheFormsOfficesWrite) {
    const std::string full = "BASE,M1,600,400,18,1,2,3,4,5,6,7,8,base plate,1";
    const struct {
        std::string bytes;
        int line; // of the one row
        std::string program, field, x, comment;
    } cases[] = {
        {full + "\n", 1, "BASE", "M1", "600", "base plate"},
        {"\xEF\xBB\xBFprogram;Field Code;X\r\n\r\nBASE;M1;600\r\n", 3, "BASE", "M1", "600", ""},
        {"program,comment,x\n\"BA\"\"SE\",\"two\nlines, one cell\",600", 2, "BA\"SE", "", "600",
         "two\nlines, one cell"},
        {"program , field\n  BASE ,\" N \"\n,,\n", 2, "BASE", " N ", "", ""},
    };
    for (const auto& c : cases) {
        const auto rows = readJob(c.bytes);
        ASSERT_EQ(rows.size(), 1u) << c.bytes;
        EXPECT_EQ(rows[0].line, c.line);
        EXPECT_EQ(rows[0].value("program"), c.program);
        EXPECT_EQ(rows[0].value("field"), c.field);
        EXPECT_EQ(rows[0].value("x"), c.x);
        EXPECT_EQ(rows[0].value("comment"), c.comment);
    }
    EXPECT_TRUE(readJob("\n\r\n").empty());
}

TEST(JobFile, faultsNameTheRowAndColumn) {
    const struct {
        std::string bytes;
        std::string fault;
    } cases[] = {
        {"BASE,M1,600\n", "row 1, column y: missing: the row has 3 columns, the job 15"},
        {"program,x\nBASE,1\nBASE,1,2\n", "row 3, column 3: extra: the row has 3 columns, the job 2"},
        {"program,x,colour\n", "row 1, column 3: \"colour\" is no column of a job"},
        {"program,x,X\n", "row 1, column 3: column x is named twice"},
        {"program,x\nBASE,\"600\n", "row 2, column 2: the quote opened here is never closed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(faultOf(c.bytes).substr(0, c.fault.size()), c.fault) << c.bytes;
    }
}

} // namespace
} // namespace quorlan::label_tool
