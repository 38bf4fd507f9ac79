// The conversions both ends of an automation call share: text, values and errors.
#include "automation.h"
#include "platform/error.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quorlan::bridge {
namespace {

namespace errc = platform::errc;

TEST(AutomationText, IsTheStationsCodePage) {
    // The euro sign, A-umlaut, a byte the code page leaves undefined, and the last byte.
    const std::string bytes = "FLANGE \x80\xC4\x9D\xFF";
    const std::wstring wide = toWide(bytes);
    EXPECT_EQ(wide, L"FLANGE \u20AC\u00C4\u009D\u00FF");
    EXPECT_EQ(fromWide(wide), bytes);
    // What the code page cannot write: a character beyond it, and one beyond the first 65536.
    EXPECT_EQ(fromWide(L"\u0100|\U0001F600|\u0080|\xD800"), "?|?|?|?");
}

TEST(AutomationValues, ComeBackAsTheyWent) {
    const auto same = [](auto value) {
        Variant variant;
        EXPECT_EQ(toVariant(value, *variant.get()), S_OK);
        decltype(value) back{};
        EXPECT_EQ(fromVariant(*variant, back), S_OK);
        return back == value;
    };
    EXPECT_TRUE(same(true));
    EXPECT_TRUE(same(false));
    EXPECT_TRUE(same(std::int16_t{-32768}));
    EXPECT_TRUE(same(std::int32_t{2147483647}));
    EXPECT_TRUE(same(std::string("#161=\x80.CNC")));
    EXPECT_TRUE(same(std::string()));
    EXPECT_TRUE(same(std::vector<std::string>{"#161", "", "\xC4"}));
    EXPECT_TRUE(same(std::vector<std::string>{}));
}

// As automation converts: a number given as text is taken, a word is not.
TEST(AutomationValues, AreConvertedAsAutomationConverts) {
    Variant number;
    ASSERT_EQ(toVariant(std::string_view("42"), *number.get()), S_OK);
    std::int32_t integer = 0;
    EXPECT_EQ(fromVariant(*number, integer), S_OK);
    EXPECT_EQ(integer, 42);
    bool boolean = false;
    EXPECT_EQ(fromVariant(*number, boolean), S_OK);
    EXPECT_TRUE(boolean);

    Variant word;
    ASSERT_EQ(toVariant(std::string_view("many"), *word.get()), S_OK);
    EXPECT_EQ(fromVariant(*word, integer), DISP_E_TYPEMISMATCH);
    Variant large;
    ASSERT_EQ(toVariant(std::int32_t{40000}, *large.get()), S_OK);
    std::int16_t small = 0;
    EXPECT_EQ(fromVariant(*large, small), DISP_E_OVERFLOW);
    std::vector<std::string> texts;
    EXPECT_EQ(fromVariant(*word, texts), DISP_E_TYPEMISMATCH);
}

TEST(AutomationErrors, KeepTheStationsNumbers) {
    struct Case {
        HRESULT result;
        int number;
    };
    for (const Case& c :
         {Case{errorResult(errc::kFileNotFound), errc::kFileNotFound},
          Case{errorResult(errc::kPortOpenFailed), errc::kPortOpenFailed},
          Case{DISP_E_UNKNOWNNAME, errc::kNoSuchMethod}, Case{DISP_E_MEMBERNOTFOUND, errc::kNoSuchMethod},
          Case{DISP_E_BADPARAMCOUNT, errc::kWrongArguments}, Case{DISP_E_TYPEMISMATCH, errc::kTypeMismatch},
          Case{REGDB_E_CLASSNOTREG, errc::kCannotCreateObject}, Case{RPC_E_DISCONNECTED, errc::kServerUnavailable},
          Case{HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), errc::kServerUnavailable},
          Case{E_FAIL, errc::kAutomation}}) {
        const Failure failure = failureOf(c.result);
        EXPECT_EQ(failure.number, c.number) << std::hex << c.result;
        EXPECT_FALSE(failure.description.empty());
    }
}

TEST(AutomationErrors, TravelInTheException) {
    EXCEPINFO exception{};
    raise(&exception, errc::kFileNotFound, "File not found: D:\\L\\JOB1.LST", "cnc-standin");
    Failure failure = failureOf(DISP_E_EXCEPTION, &exception);
    EXPECT_EQ(failure.number, errc::kFileNotFound);
    EXPECT_EQ(failure.description, "File not found: D:\\L\\JOB1.LST");
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);

    // A server that gives a number in wCode and no description.
    EXCEPINFO bare{};
    bare.wCode = errc::kInvalidPropertyValue;
    failure = failureOf(DISP_E_EXCEPTION, &bare);
    EXPECT_EQ(failure.number, errc::kInvalidPropertyValue);
    EXPECT_EQ(failure.description, platform::describeError(errc::kInvalidPropertyValue));
}

} // namespace
} // namespace quorlan::bridge
