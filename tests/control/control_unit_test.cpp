// The control panel's routines that need no window: version text, status texts, folder
// creation, command-line folder and the button colours.
#include <gtest/gtest.h>

#include <filesystem>

#include "exchange_folder.h"
#include "hsl.h"
#include "main_window.h"
#include "my_button.h"
#include "service_control.h"
#include "status_line.h"
#include "text.h"

namespace {
std::string Utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

TEST(ServiceVersion, ThousandsPointRemainderWithoutLeadingZeros) {
    struct Case { unsigned value; const char* text; } cases[] = {
        {1000, "1.0"}, {2510, "2.510"}, {1005, "1.5"}, {2519, "2.519"}, {0, "0.0"}, {999, "0.999"},
        {4294967294u, "4294967.294"}};
    for (const Case& c : cases) EXPECT_EQ(Utf8(FormatServiceVersion(c.value)), c.text) << c.value;
}

TEST(StatusLine, StoppedTextShowsTheServiceError) {
    EXPECT_EQ(Utf8(StatusText(kStateStopped, 0, L"")), Utf8(L"Служба остановлена. "));
    EXPECT_EQ(Utf8(StatusText(kStateStopped, 0, L"config_error")), Utf8(L"Служба остановлена. Ошибка файла конфигурации."));
    EXPECT_EQ(Utf8(StatusText(kStateStopped, 0, L"Файл не найден C:\\x\\config.xml")),
              Utf8(L"Служба остановлена. Файл не найден C:\\x\\config.xml"));
    EXPECT_EQ(Utf8(StatusText(kStatePaused, 3, L"")), Utf8(L"Пауза. Пользователей: 3"));
    EXPECT_EQ(Utf8(StatusText(kStateRunning, 4294967295u, L"")), Utf8(L"Служба запущена. Пользователей: 4294967295"));
    EXPECT_EQ(Utf8(StatusText(42, 0, L"")), Utf8(L"Ошибка."));
}

TEST(StatusLine, EveryStateTextAndButtons) {
    // Buttons: Старт, Остановить службу, Перезапустить, Приостановить, Продолжить, Удалить службу.
    struct Case { int code; const wchar_t* text; const char* buttons; } cases[] = {
        {0, L"Ошибка.", "000001"},
        {1, L"Запуск службы...", "000000"},
        {2, L"Остановка службы...", "000000"},
        {3, L"Служба остановлена. ", "100001"},
        {4, L"Служба запущена. Пользователей: 2", "011100"},
        {5, L"Приостановка... Пользователей: 2", "000000"},
        {6, L"Пауза. Пользователей: 2", "011010"},
        {7, L"Возобновление... Пользователей: 2", "000000"},
        {8, L"Служба не установлена.", "000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8(StatusText(c.code, 2, L"")), Utf8(c.text)) << c.code;
        std::string buttons;
        for (int i = 0; i < 6; ++i) buttons += (EnabledServiceButtons(c.code) >> i) & 1 ? '1' : '0';
        EXPECT_EQ(buttons, c.buttons) << c.code;
    }
}

TEST(StatusLine, UnknownStatesEnableOnlyRemoval) {
    EXPECT_EQ(EnabledServiceButtons(kStateError), 0x20u);
    EXPECT_EQ(EnabledServiceButtons(-1), 0x20u);
    EXPECT_EQ(EnabledServiceButtons(9), 0x20u);
    EXPECT_EQ(MapServiceState(0), kStateError);
    EXPECT_EQ(MapServiceState(SERVICE_PAUSED), kStatePaused);
}

TEST(CommandLine, FolderArgument) {
    struct Case { const wchar_t* line; const wchar_t* folder; } cases[] = {
        {L"", L""},
        {L"   ", L""},
        {L"C:\\Exch\\", L"C:\\Exch\\"},
        {L"  C:\\Exch  ", L"C:\\Exch"},
        {L"\"C:\\Обмен данными\\\"", L"C:\\Обмен данными\\"},
        {L"\"", L"\""},
        {L"C:\\a \"b\"", L"C:\\a \"b\""},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8(FolderFromCommandLine(c.line)), Utf8(c.folder)) << Utf8(c.line);
    EXPECT_EQ(Utf8(DropTrailingBackslash(L"C:\\a\\\\")), "C:\\a\\");
    EXPECT_EQ(Utf8(DropTrailingBackslash(L"")), "");
    EXPECT_EQ(Utf8(JoinPathW(L"C:\\", L"config.xml")), "C:\\config.xml");
    EXPECT_EQ(Utf8(JoinPathW(L"C:\\a", L"config.xml")), "C:\\a\\config.xml");
}

class FolderCreation : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"velora-ctrl-unit";
        std::filesystem::remove_all(root_);
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr));
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    bool IsDir(const std::wstring& p) {
        DWORD a = GetFileAttributesW(p.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }
    std::wstring root_;
};

TEST_F(FolderCreation, EveryMissingLevelWithEitherSeparator) {
    EXPECT_TRUE(CreateFolderPath(root_ + L"\\a\\b//c\\\\d"));
    EXPECT_TRUE(IsDir(root_ + L"\\a\\b\\c\\d"));
    EXPECT_TRUE(CreateFolderPath(root_ + L"\\a\\b"));  // existing
    EXPECT_TRUE(CreateFolderPath(root_ + L"\\e\\"));   // a trailing separator
    EXPECT_TRUE(IsDir(root_ + L"\\e"));
    EXPECT_TRUE(CreateFolderPath(root_ + L"\\Обмен данными"));
    EXPECT_TRUE(IsDir(root_ + L"\\Обмен данными"));
}

TEST_F(FolderCreation, FileInTheWayFails) {
    HANDLE f = CreateFileW((root_ + L"\\file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    EXPECT_FALSE(CreateFolderPath(root_ + L"\\file"));
    EXPECT_FALSE(CreateFolderPath(root_ + L"\\file\\sub"));
    EXPECT_NE(GetLastError(), 0u);
}

TEST_F(FolderCreation, NetworkPathIsCreatedInOneStep) {
    // No prefix of a network path is created locally; the one call fails for a missing server.
    EXPECT_FALSE(CreateFolderPath(L"\\\\no-such-server-velora\\share\\exch"));
    EXPECT_NE(GetLastError(), 0u);
}

TEST(Colours, HslRoundTripAndLightnessSteps) {
    const COLORREF colours[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(128, 128, 128), RGB(212, 208, 200),
                                RGB(10, 100, 200), RGB(250, 20, 30), RGB(1, 254, 3)};
    for (COLORREF c : colours) {
        COLORREF back = HslToRgb(RgbToHsl(c));
        EXPECT_LE(abs(GetRValue(back) - GetRValue(c)), 1);
        EXPECT_LE(abs(GetGValue(back) - GetGValue(c)), 1);
        EXPECT_LE(abs(GetBValue(back) - GetBValue(c)), 1);
    }
    Hsl blue = RgbToHsl(RGB(0, 0, 255));
    EXPECT_NEAR(blue.h, 240.0, 0.01);
    EXPECT_NEAR(blue.s, 1.0, 0.01);
    EXPECT_NEAR(blue.l, 0.5, 0.01);
    EXPECT_EQ(ShiftLightness(RGB(128, 128, 128), 1.0), RGB(255, 255, 255));  // clamped
    EXPECT_EQ(ShiftLightness(RGB(128, 128, 128), -1.0), RGB(0, 0, 0));
    Hsl darker = RgbToHsl(ShiftLightness(RGB(10, 100, 200), -0.1));
    EXPECT_NEAR(darker.h, RgbToHsl(RGB(10, 100, 200)).h, 1.0);  // the hue stays
}

TEST(Colours, SchemesAndStates) {
    // Scheme 3: grey with white text; scheme 0: the button face 10 per cent darker.
    ButtonColours grey = SchemeColours(3, MyButton::Normal);
    EXPECT_EQ(grey.base, RGB(128, 128, 128));
    EXPECT_EQ(grey.text, RGB(255, 255, 255));
    ButtonColours face = SchemeColours(0, MyButton::Normal);
    EXPECT_NEAR(RgbToHsl(face.base).l, RgbToHsl(GetSysColor(COLOR_BTNFACE)).l - 0.10, 0.01);
    EXPECT_EQ(SchemeColours(0, MyButton::Disabled).text, GetSysColor(COLOR_GRAYTEXT));
    EXPECT_LT(RgbToHsl(SchemeColours(0, MyButton::Pressed).base).l, RgbToHsl(face.base).l);
    EXPECT_EQ(SchemeColours(7, MyButton::Normal).base, face.base);  // unknown schemes fall back
}
// The folder menu keeps its four items and their commands; "Устройства…" comes last.
TEST(FolderMenu, ItemsInOrder) {
    HMENU menu = CreateFolderMenu();
    ASSERT_TRUE(menu);
    struct Item { UINT id; const wchar_t* text; } expected[] = {
        {1020, L"Выбрать папку..."}, {1021, L"Открыть \"Проводник\""}, {1022, L"Просмотр файла настроек"},
        {1023, L"Просмотр лога"}, {1024, L"Устройства…"}};
    ASSERT_EQ(GetMenuItemCount(menu), 5);
    for (int i = 0; i < 5; ++i) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(Utf8(text), Utf8(expected[i].text)) << i;
        EXPECT_EQ(GetMenuItemID(menu, i), expected[i].id) << i;
    }
    DestroyMenu(menu);
}
}  // namespace
