// The service's registry values: key layout, the first-error rule and the failure results.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/params.h"
#include "service_params.h"
#include "test_support.h"

namespace {
class ServiceParams : public ::testing::Test {
protected:
    void SetUp() override { ClearServiceParams(); }
    void TearDown() override { ClearServiceParams(); }
};

TEST(ServiceParamsKey, FormsOfThePath) {
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters", FormatParametersKey(nullptr));
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters\\", FormatParametersKey(""));
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters\\Exchange",
              FormatParametersKey("Exchange"));
    char small[20] = "x";
    EXPECT_FALSE(FormatParametersKey(small, sizeof small, "Exchange"));
    EXPECT_STREQ("", small);
    char big[128];
    EXPECT_TRUE(FormatParametersKey(big, sizeof big, nullptr));
    EXPECT_EQ(FormatParametersKey(nullptr), big);
}

TEST_F(ServiceParams, MissingValuesGiveTheFailureResults) {
    char buffer[64] = "stale";
    EXPECT_FALSE(GetExchFolder(buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    std::strcpy(buffer, "stale");
    EXPECT_FALSE(GetErrorText(buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0u, GetUserCount());
    EXPECT_EQ(0xFFFFFFFFu, GetVersion());
}

TEST_F(ServiceParams, ValuesRoundTripUnderTheirKeys) {
    const char folder[] = "C:\\Обмен\\КПК";
    ASSERT_TRUE(SetExchFolder(folder));
    ASSERT_TRUE(SetUserCount(12));
    ASSERT_TRUE(SetVersion(2520));
    char buffer[324];
    ASSERT_TRUE(GetExchFolder(buffer, sizeof buffer));
    EXPECT_STREQ(folder, buffer);
    EXPECT_EQ(12u, GetUserCount());
    EXPECT_EQ(2520u, GetVersion());

    // Where each value lives.
    std::uint32_t n = 0;
    EXPECT_TRUE(ParamsReadDword(FormatParametersKey("Exchange").c_str(), "UserCount", &n));
    EXPECT_TRUE(ParamsReadDword(FormatParametersKey(nullptr).c_str(), "Version", &n));
    EXPECT_TRUE(ParamsReadString(FormatParametersKey("Exchange").c_str(), "ExchFolder", buffer, sizeof buffer));

    // A buffer too small for the folder gives "" rather than a cut path.
    char small[8] = "x";
    EXPECT_FALSE(GetExchFolder(small, sizeof small));
    EXPECT_STREQ("", small);
}

TEST_F(ServiceParams, FirstErrorStandsUntilCleared) {
    char buffer[1024];
    ASSERT_TRUE(SetErrorText("Файл не найден C:\\Exchange\\config.xml"));
    ASSERT_TRUE(SetErrorText("Ошибка запуска службы."));  // a later text of the same run is ignored
    ASSERT_TRUE(GetErrorText(buffer, sizeof buffer));
    EXPECT_STREQ("Файл не найден C:\\Exchange\\config.xml", buffer);

    ASSERT_TRUE(SetErrorText(""));  // clearing always writes
    ASSERT_TRUE(GetErrorText(buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    ASSERT_TRUE(SetErrorText("config_error"));
    ASSERT_TRUE(GetErrorText(buffer, sizeof buffer));
    EXPECT_STREQ("config_error", buffer);

    // The Error value sits under the empty subkey, i.e. the parameters path ending in "\".
    char direct[64];
    EXPECT_TRUE(ParamsReadString(FormatParametersKey("").c_str(), "Error", direct, sizeof direct));
    EXPECT_STREQ("config_error", direct);
}

TEST_F(ServiceParams, LongErrorTextsAreCutNotOverflowed) {
    std::string longText(5000, 'e');
    longText.replace(0, 6, "Первая");
    ASSERT_TRUE(SetErrorText(longText.c_str()));
    char buffer[1024];
    ASSERT_TRUE(GetErrorText(buffer, sizeof buffer));
    EXPECT_EQ(longText.substr(0, 1023), buffer);
    // The first-error rule still holds for the cut text.
    ASSERT_TRUE(SetErrorText("second"));
    ASSERT_TRUE(GetErrorText(buffer, sizeof buffer));
    EXPECT_EQ(longText.substr(0, 1023), buffer);
    // A caller with a small buffer (the control panel's 256 bytes) gets the start of the text.
    char small[256];
    ASSERT_TRUE(GetErrorText(small, sizeof small));
    EXPECT_EQ(longText.substr(0, 255), small);
}
}  // namespace
