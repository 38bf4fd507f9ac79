// The stand-in for the control's automation server, reached as the bridge reaches the maker's
// server: through COM, every operation by its name, in process (cnc-standin.dll) and in a server
// process of its own (cnc-standin.exe). It must behave as the simulator does and keep the same
// journal. ctest registers both forms in the run's Wine prefix before this program runs.
#include "automation.h"
#include "cnc/simulator.h"
#include "com_control.h"
#include "platform/error.h"
#include "server_state.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace quorlan::bridge {
namespace {

using platform::StationError;
using ::testing::HasSubstr;

std::string journalPath;

std::vector<std::string> journalLines() {
    std::ifstream file(journalPath, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string text(bool value) {
    return value ? "True" : "False";
}
std::string text(std::int32_t value) {
    return std::to_string(value);
}
std::string text(const std::string& value) {
    return '"' + value + '"';
}
std::string text(const std::vector<std::string>& values) {
    std::string joined;
    for (const std::string& value : values) {
        joined += (joined.empty() ? "" : ",") + value;
    }
    return joined;
}

// Every operation of both objects, each noted with what it gave back or how it failed. A fresh
// list is made first, as the state of a control that served earlier tests is the control's own.
std::vector<std::string> exercise(cnc::ControlFactory& control) {
    std::vector<std::string> transcript;
    const auto note = [&transcript](const std::string& what, const std::function<std::string()>& call) {
        try {
            transcript.push_back(what + " = " + call());
        } catch (const StationError& error) {
            transcript.push_back(what + " -> error " + std::to_string(error.number()) + " " + error.description());
        }
    };
    const auto done = [](const std::function<void()>& call) {
        return [call] {
            call();
            return std::string("done");
        };
    };
    const std::shared_ptr<cnc::Application> application = control.createApplication();
    note("Application.SetVisible", done([&] { application->SetVisible(true); }));
    note("Application.Visible", [&] { return text(application->Visible()); });
    note("Connected", [&] { return text(application->Connected()); });
    note("AccessLevel", [&] { return text(application->AccessLevel()); });
    note("SetWindowState 2", done([&] { application->SetWindowState(2); }));
    note("SetWindowState 7", done([&] { application->SetWindowState(7); }));
    note("ListOpened", [&] { return text(application->ListOpened()); });
    note("EnableOpenList", done([&] { application->EnableOpenList(true); }));
    note("EnableSaveList", done([&] { application->EnableSaveList(false); }));
    note("EnableNewList", done([&] { application->EnableNewList(true); }));
    note("ShowOnTop", done([&] { application->ShowOnTop(true); }));
    note("Setpoint", done([&] { application->Setpoint(); }));

    const std::shared_ptr<cnc::ExeList> list = application->NewList();
    note("NewList", [&] { return text(list != nullptr); });
    note("SetVisible", done([&] { list->SetVisible(true); }));
    note("Visible", [&] { return text(list->Visible()); });
    note("Clear", done([&] { list->Clear(); }));
    note("AddLine", [&] { return text(list->AddLine("#161=FLANGE.CNC;#168=600")); });
    // The euro sign and A-umlaut of the station's code page, and a byte the code page leaves undefined.
    note("AddLine code page", [&] { return text(list->AddLine("#161=PART\x80\xC4.CNC;#162=\x9D")); });
    note("Rows", [&] { return text(list->Rows()); });
    note("Columns", [&] { return text(list->Columns()); });
    note("RepetitionCount", [&] { return text(list->RepetitionCount()); });
    note("ColumnInfo", [&] { return text(list->ColumnInfo()); });
    note("GetLine 2", [&] { return text(list->GetLine(2)); });
    note("GetLine 99", [&] { return text(list->GetLine(99)); });
    note("SetLine 1", done([&] { list->SetLine(1, "#161=TOP.CNC"); }));
    note("GetLine 1", [&] { return text(list->GetLine(1)); });
    note("StartList", done([&] { application->StartList(); }));
    note("ListInRun", [&] { return text(list->ListInRun()); });
    note("ExeRow", [&] { return text(list->ExeRow()); });
    note("HoldList", done([&] { application->HoldList(); }));
    note("EndList", done([&] { application->EndList(); }));
    note("DelLine 2", [&] { return text(list->DelLine(2)); });
    note("OpenList", [&] { return text(application->OpenList("C:\\no\\such\\JOB1.LST") != nullptr); });
    note("AppendList", [&] { return text(list->AppendList("C:\\no\\such\\JOB2.LST")); });
    note("ViewWorks", done([&] { list->ViewWorks(); }));
    note("ViewWorksThrought", done([&] { list->ViewWorksThrought(); }));
    const std::shared_ptr<cnc::ExeList> second = control.createObject(cnc::kExeListProgId);
    note("second list Rows", [&] { return text(second->Rows()); });
    note("CloseList", done([&] { list->CloseList(false); }));
    note("Visible after CloseList", [&] { return text(second->Visible()); });
    note("Quit", done([&] { application->Quit(false); }));
    return transcript;
}

struct Form {
    const char* name;
    DWORD context;
};

class StandIn : public ::testing::TestWithParam<Form> {
protected:
    ComControl control{ComClasses{kApplicationClass, cnc::kExeListProgId, GetParam().context}};
};

TEST_P(StandIn, BehavesAsTheSimulatorAndKeepsItsJournal) {
    cnc::Simulator simulator;
    std::vector<std::string> simulatorJournal;
    simulator.setJournal([&simulatorJournal](const std::string& line) { simulatorJournal.push_back(line); });
    const std::vector<std::string> expected = exercise(simulator);

    const std::size_t before = journalLines().size();
    EXPECT_EQ(exercise(control), expected);
    const std::vector<std::string> journal = journalLines();
    EXPECT_EQ(std::vector<std::string>(journal.begin() + static_cast<std::ptrdiff_t>(before), journal.end()),
              simulatorJournal);
    // The failures crossed COM with their numbers and descriptions.
    EXPECT_THAT(expected, ::testing::Contains(HasSubstr("OpenList -> error 53 ")));
    EXPECT_THAT(expected, ::testing::Contains(HasSubstr("SetWindowState 7 -> error 380 ")));
}

TEST(ComControl, CreatesNothingButTheControlsList) {
    ComControl control;
    const std::size_t before = journalLines().size();
    try {
        control.createObject("WScript.Shell");
        FAIL() << "created";
    } catch (const StationError& error) {
        EXPECT_EQ(error.number(), platform::errc::kCannotCreateObject);
        EXPECT_THAT(error.description(), HasSubstr("not WScript.Shell"));
    }
    EXPECT_EQ(journalLines().size(), before);
}

TEST_P(StandIn, AClassThatIsNotThereCannotBeCreated) {
    for (const char* name : {"{6B8C8C5A-0D3E-4E66-9D1B-2A4B9C0E7F11}", "Koridan.NoSuchThing", "{not a class}"}) {
        ComControl elsewhere(ComClasses{name, cnc::kExeListProgId, GetParam().context});
        try {
            elsewhere.createApplication();
            FAIL() << name;
        } catch (const StationError& error) {
            EXPECT_EQ(error.number(), platform::errc::kCannotCreateObject) << name;
            EXPECT_THAT(error.description(), HasSubstr(std::string("Application (") + name + ") cannot be created"));
        }
    }
}

// What other late-bound callers of the control do: names in any case, a property read as a method,
// a number given as text; and what they are told when they get it wrong.
TEST_P(StandIn, ServesLateBoundCallersAsAutomationDoes) {
    ComPtr<IDispatch> application;
    ASSERT_EQ(
        CoCreateInstance(standin::kApplicationClass, nullptr, GetParam().context, IID_IDispatch, application.out()),
        S_OK);
    const auto idOf = [&application](const wchar_t* name, DISPID& id) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return application->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    };
    const auto invoke = [&application](DISPID id, WORD flags, std::vector<VARIANT> arguments, UINT* badArgument) {
        DISPID putName = DISPID_PROPERTYPUT;
        const bool put = (flags & DISPATCH_PROPERTYPUT) != 0 && !arguments.empty();
        DISPPARAMS parameters{arguments.data(), put ? &putName : nullptr, static_cast<UINT>(arguments.size()),
                              put ? 1u : 0u};
        Variant result;
        EXCEPINFO exception{};
        const HRESULT status = application->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result.get(),
                                                   &exception, badArgument);
        for (VARIANT& argument : arguments) {
            VariantClear(&argument);
        }
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        return status;
    };
    const auto textArgument = [](const char* text) {
        VARIANT argument;
        VariantInit(&argument);
        EXPECT_EQ(toVariant(std::string_view(text), argument), S_OK);
        return argument;
    };

    DISPID newList = 0, anyCase = 0, unknown = 0, connected = 0, windowState = 0;
    ASSERT_EQ(idOf(L"NewList", newList), S_OK);
    ASSERT_EQ(idOf(L"nEWlIST", anyCase), S_OK);
    EXPECT_EQ(anyCase, newList);
    EXPECT_EQ(idOf(L"FormatDisk", unknown), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(unknown, DISPID_UNKNOWN);
    ASSERT_EQ(idOf(L"Connected", connected), S_OK);
    ASSERT_EQ(idOf(L"WindowState", windowState), S_OK);

    UINT badArgument = 99;
    EXPECT_EQ(invoke(connected, DISPATCH_METHOD, {}, &badArgument), S_OK);
    EXPECT_EQ(invoke(windowState, DISPATCH_PROPERTYPUT, {textArgument("2")}, &badArgument), S_OK);
    EXPECT_EQ(invoke(windowState, DISPATCH_PROPERTYPUT, {textArgument("maximised")}, &badArgument),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(badArgument, 0u);
    EXPECT_EQ(invoke(windowState, DISPATCH_PROPERTYGET, {}, &badArgument), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(windowState, DISPATCH_PROPERTYPUT, {}, &badArgument), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(invoke(newList, DISPATCH_METHOD, {textArgument("extra")}, &badArgument), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(4242, DISPATCH_METHOD, {}, &badArgument), DISP_E_MEMBERNOTFOUND);
}

INSTANTIATE_TEST_SUITE_P(Forms, StandIn,
                         ::testing::Values(Form{"InProcess", CLSCTX_INPROC_SERVER},
                                           Form{"ServerProcess", CLSCTX_LOCAL_SERVER}),
                         [](const ::testing::TestParamInfo<Form>& info) { return std::string(info.param.name); });

} // namespace
} // namespace quorlan::bridge

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // Both forms journal where the variable says: the DLL in this process, and the server process,
    // which COM starts with this process's environment under Wine.
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    quorlan::bridge::journalPath =
        std::string(folder) + "cnc-standin-test-" + std::to_string(GetCurrentProcessId()) + ".log";
    _putenv_s("QUORLAN_CNC_JOURNAL", quorlan::bridge::journalPath.c_str());
    const int status = RUN_ALL_TESTS();
    CoUninitialize();
    std::remove(quorlan::bridge::journalPath.c_str());
    return status;
}
