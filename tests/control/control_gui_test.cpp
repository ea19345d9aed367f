// The control panel end to end under Wine: it is started as a separate process and driven
// through its windows and message boxes, and what it leaves in the Service Control Manager,
// the registry and the file system is checked. The service it installs is the real one.
#include <gtest/gtest.h>

#include <ctime>

#include "exchange_fixture.h"
#include "gui_driver.h"
#include "list_view.h"
#include "machine.h"
#include "reserved_port.h"

namespace {
const wchar_t kInstallQuestion[] = L"Служба 'Velora СОД' не установлена, установить?";
const wchar_t kInstalled[] = L"Служба 'Velora Service' установлена.";
const wchar_t kRemoved[] = L"Служба 'Velora Service' удалена.";
const wchar_t kStopped[] = L"Служба остановлена. ";

enum { kMore = 1016, kFrame = 1017, kEdit = 1014, kFolderMenu = 1015, kApply = 1013, kStart = 1026,
       kStop = 1027, kRestart = 1032, kPause = 1033, kContinue = 1034, kRemove = 1035 };

std::wstring Folder(const wchar_t* name) { return std::wstring(kTestRoot) + L"\\" + name; }
// Folder(name), created.
std::wstring MadeFolder(const wchar_t* name) {
    CreateDirectoryW(kTestRoot, nullptr);
    CreateDirectoryW(Folder(name).c_str(), nullptr);
    return Folder(name);
}

std::wstring CreateQuestion(const std::wstring& folder) {
    return L"Каталог " + folder + L" не существует. Создать?";
}
std::wstring TemplateCreated(const std::wstring& folder) {
    return L"Файл " + folder + L"\\config.xml не найден, создан шаблон.";
}

// The template config.xml as the service's documentation gives it, encoded here on its own.
std::string ExpectedTemplate() {
    const wchar_t* text =
        L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
        L"<VeloraServer VERSION=\"1.0\">\r\n"
        L"\t<ServerConfig PortExternal=\"5555\" ConfigID=\"11111111-1111-1111-1111-111111111111\" />\r\n"
        L"\t<!-- PortExternal - номер порта для запросов от КПК -->\r\n"
        L"\t<!-- Образец описания настроек для КПК: -->\r\n"
        L"\t<PPC DEVICE_ID=\"00000000-0000-0000-0000-000000000000\" PSEUDONIM=\"Agent1\" DIRECTORY=\"PPC1\" />\r\n"
        L"</VeloraServer>\r\n";
    std::string bytes;
    for (const wchar_t* p = text; *p; ++p) {
        bytes += static_cast<char>(*p & 0xFF);
        bytes += static_cast<char>((*p >> 8) & 0xFF);
    }
    return bytes;
}

std::string BuiltServiceExe() {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(HostPath(SERVICE_EXE), &bytes));
    return bytes;
}

SIZE WindowSize(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

void ToggleMore(HWND main, const wchar_t* expectText) {
    Click(main, kMore);
    for (int i = 0; i < 200 && ItemText(main, kMore) != expectText; ++i) Sleep(100);
    ASSERT_EQ(Narrow(ItemText(main, kMore)), Narrow(expectText));
    WaitIdle(main);  // the text is the layout's first step; sizes, folder and status follow
}

// The template's port 5555 is shared by every test run on the machine: the service gets a
// reserved one instead (config.xml in UTF-16, as the control panel writes it).
void UsePort(const std::wstring& folder, std::uint16_t port) {
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(folder + L"\\config.xml", &bytes));
    std::string from, to;
    for (char c : std::string("PortExternal=\"5555\"")) from += std::string{c, '\0'};
    for (char c : "PortExternal=\"" + std::to_string(port) + "\"") to += std::string{c, '\0'};
    std::size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << "no PortExternal=\"5555\" in config.xml";
    bytes.replace(at, from.size(), to);
    WriteFileBytes(folder + L"\\config.xml", bytes);
}

// After OK in the folder browser: the box holds an existing folder instead of `before`. (Which
// folder the browser opens at is not checked: this Wine's browser does not go to the folder
// the control panel asks it to open at.)
void ExpectChosenFolder(HWND dialog, int id, const std::wstring& before) {
    std::wstring now;
    for (int i = 0; i < 200 && (now = ItemText(dialog, id)) == before; ++i) Sleep(100);
    EXPECT_NE(Narrow(now), Narrow(before)) << "the choice did not reach the box";
    EXPECT_TRUE(!now.empty() && PathExists(now)) << Narrow(now);
}

void CloseControlPanel(CtrlProcess& ctrl, HWND main) {
    PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(ctrl.WaitExit(10000), 0);
}

// Presses OK on the box that reports the installation, with the executable where the
// Service Control Manager will look for it.
void ConfirmInstalled(DWORD pid) {
    ExpectBox(pid, kInstalled, Kind::Plain, IDOK);
    EXPECT_TRUE(ExistsFor64BitProgram(SystemExePath()));
    MirrorServiceExeForWineWow64();
}

// Installs with `folder` on the command line (the folder exists) and returns the window.
HWND InstallWithFolder(CtrlProcess& ctrl, const std::wstring& folder) {
    ExpectBox(ctrl.Pid(), kInstallQuestion, Kind::Question, IDYES);
    if (!PathExists(folder + L"\\config.xml")) ExpectBox(ctrl.Pid(), TemplateCreated(folder), Kind::Plain, IDOK);
    ConfirmInstalled(ctrl.Pid());
    return WaitMainWindow(ctrl.Pid());
}

void Shot(const char* name, HWND window) {
    std::string path = std::string(SHOTS_DIR) + "/" + name;
    EXPECT_TRUE(Screenshot(path, window)) << path;
}

// A program started by the control panel (Notepad, the file manager) shows `name` in its
// title; its window is closed again.
void ExpectWindowWith(const wchar_t* windowClass, const wchar_t* name) {
    HWND window = WaitTopWindow(windowClass, name);
    EXPECT_TRUE(window) << "no " << Narrow(windowClass) << " window with " << Narrow(name);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
}
void ExpectEditorWith(const wchar_t* name) { ExpectWindowWith(L"Notepad", name); }

class ControlPanel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        DrawWindowFrames();
    }
    void SetUp() override { CleanMachine(); }
    void TearDown() override { CleanMachine(); }
};

TEST_F(ControlPanel, FreshInstallThenEveryServiceOperation) {
    std::wstring folder = Folder(L"a\\b\\exch");
    CtrlProcess ctrl(folder + L"\\");
    DWORD pid = ctrl.Pid();
    ExpectBox(pid, kInstallQuestion, Kind::Question, IDYES);
    ExpectBox(pid, CreateQuestion(folder), Kind::Question, IDYES);  // nested folders, no folder dialog
    ExpectBox(pid, TemplateCreated(folder), Kind::Plain, IDOK);
    ConfirmInstalled(pid);
    HWND main = WaitMainWindow(pid);
    ASSERT_TRUE(main);

    std::wstring stored;
    EXPECT_TRUE(ReadParamString(L"Exchange", L"ExchFolder", &stored));
    EXPECT_EQ(Narrow(stored), Narrow(folder));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(folder + L"\\config.xml", &bytes));
    EXPECT_TRUE(bytes == ExpectedTemplate()) << "config.xml differs from the template";
    ASSERT_TRUE(ReadFileBytes(SystemExeFile(), &bytes));
    EXPECT_TRUE(bytes == BuiltServiceExe()) << "the installed service differs from the built one";
    DWORD version = 0;
    EXPECT_TRUE(ReadParamDword(nullptr, L"Version", &version));
    EXPECT_EQ(version, 2520u);
    ServiceConfigInfo config = ReadServiceConfig(L"VeloraService");
    ASSERT_TRUE(config.found);
    EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config.startType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(config.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(Narrow(config.binaryPath), Narrow(SystemExePath()));
    // The Service Control Manager is a 64-bit program: the registered path must name the
    // file for it, not only for a redirected 32-bit control panel.
    EXPECT_TRUE(ExistsFor64BitProgram(config.binaryPath)) << Narrow(config.binaryPath);
    EXPECT_EQ(Narrow(config.dependencies), "TCPIP");
    EXPECT_EQ(Narrow(config.displayName), "Velora Service");
    std::string description;
    EXPECT_TRUE(ReadServiceKeyAnsi("Description", &description));
    EXPECT_EQ(description, std::string("Velora СОД", 11));  // ANSI with its zero: 11 bytes

    wchar_t caption[64] = L"";
    GetWindowTextW(main, caption, 64);
    EXPECT_EQ(Narrow(caption), Narrow(L"Velora СОД"));
    WaitStatus(main, kStopped);
    EXPECT_EQ(ServiceButtons(main), "100001");
    EXPECT_FALSE(ItemVisible(main, kStart));  // collapsed
    Sleep(500);
    Shot("collapsed.png", main);

    ReservedPort port;
    UsePort(folder, port);
    Click(main, kStart);
    WaitStatus(main, L"Служба запущена. Пользователей: 1");
    EXPECT_EQ(ServiceButtons(main), "011100");
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_RUNNING));
    ToggleMore(main, L"Дополнительно <<");
    Sleep(500);
    Shot("expanded.png", main);

    Click(main, kPause);
    WaitStatus(main, L"Пауза. Пользователей: 1");
    EXPECT_EQ(ServiceButtons(main), "011010");
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_PAUSED));
    // The 5-second timer shows what the registry says now.
    WriteParamDword(L"Exchange", L"UserCount", 3);
    WaitStatus(main, L"Пауза. Пользователей: 3", 12000);

    Click(main, kContinue);
    WaitStatus(main, L"Служба запущена. Пользователей: 3");
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_RUNNING));

    Click(main, kStop);
    WaitStatus(main, kStopped);
    EXPECT_EQ(ServiceButtons(main), "100001");
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_STOPPED));

    Click(main, kStart);
    WaitStatus(main, L"Служба запущена. Пользователей: 1");
    DWORD firstProcess = ServiceProcessId(L"VeloraService");
    Click(main, kRestart);
    DWORD secondProcess = 0;
    for (int i = 0; i < 300; ++i, Sleep(100)) {
        secondProcess = ServiceProcessId(L"VeloraService");
        if (secondProcess && secondProcess != firstProcess && ServiceState(L"VeloraService") == SERVICE_RUNNING) break;
    }
    EXPECT_NE(secondProcess, firstProcess) << "the service was not restarted";
    WaitStatus(main, L"Служба запущена. Пользователей: 1");
    Click(main, kRemove);  // disabled while the service runs
    EXPECT_TRUE(NoBoxWithin(pid, 1500));

    Click(main, kStop);
    WaitStatus(main, kStopped);
    Click(main, kRemove);
    ExpectBox(pid, L"Вы действительно хотите удалить службу?", Kind::Question, IDYES);
    ExpectBox(pid, kRemoved, Kind::Plain, IDOK, 60000);
    EXPECT_EQ(ctrl.WaitExit(15000), 0);
    EXPECT_EQ(ServiceState(L"VeloraService"), 0u);
    EXPECT_FALSE(PathExists(SystemExeFile()));
}

TEST_F(ControlPanel, FaultyConfigurationIsReportedAndOffered) {
    std::wstring folder = Folder(L"faulty");
    // Two handhelds with the same folder (differing only in case): a validation fault.
    WriteFileBytes(folder + L"\\config.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<VeloraServer VERSION=\"1.0\">\r\n"
                   "<ServerConfig PortExternal=\"5555\" />\r\n"
                   "<PPC DEVICE_ID=\"11111111-0000-0000-0000-000000000001\" PSEUDONIM=\"A1\" DIRECTORY=\"ppc1\" />\r\n"
                   "<PPC DEVICE_ID=\"11111111-0000-0000-0000-000000000002\" PSEUDONIM=\"A2\" DIRECTORY=\"PPC1\" />\r\n"
                   "</VeloraServer>\r\n");
    CtrlProcess ctrl(folder);
    DWORD pid = ctrl.Pid();
    HWND main = InstallWithFolder(ctrl, folder);
    ASSERT_TRUE(main);
    WaitStatus(main, kStopped);

    Click(main, kStart);
    Box failure = WaitBox(pid, 60000);
    const std::wstring prefix = L"Службу 'Velora Service' не удалось запустить - ";
    EXPECT_EQ(Narrow(failure.text.substr(0, prefix.size())), Narrow(prefix));
    // The reason is the service's own exit code, not the status query that succeeded.
    EXPECT_NE(failure.text.find(L"(0x42a)"), std::wstring::npos) << Narrow(failure.text);
    EXPECT_STREQ(KindName(failure.kind), "error");
    Press(failure.window, IDOK);
    ExpectBox(pid, L"Ошибка файла конфигурации. Показать подробнее?", Kind::Question, IDYES);
    WaitStatus(main, L"Служба остановлена. Ошибка файла конфигурации.");
    EXPECT_EQ(ServiceButtons(main), "100001");
    EXPECT_TRUE(PathExists(folder + L"\\config.err"));
    ExpectEditorWith(L"config.err");

    // A stop of the stopped service is refused by the manager: its message comes at once,
    // with the refusal's code, not after a poll with the service's exit code.
    PostMessageW(main, WM_COMMAND, kStop, 0);
    Box refused = WaitBox(pid, 5000);
    const std::wstring stopPrefix = L"Службу 'Velora Service' не удалось остановить - ";
    EXPECT_EQ(Narrow(refused.text.substr(0, stopPrefix.size())), Narrow(stopPrefix));
    EXPECT_NE(refused.text.find(L"(0x426)"), std::wstring::npos) << Narrow(refused.text);
    Press(refused.window, IDOK);

    CloseControlPanel(ctrl, main);
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_STOPPED));  // stays installed
}

TEST_F(ControlPanel, PendingStateIsWaitedForAMinuteAtMost) {
    std::wstring folder = Folder(L"stuck");
    WriteFileBytes(folder + L"\\config.xml", "<VeloraServer />");  // there: no template box
    // A VeloraService that stays in START_PENDING until the file `release` appears, then runs.
    const std::wstring release = folder + L"\\release";
    ASSERT_TRUE(CreateTestService(L"VeloraService",
                                  L"\"" + HostPath(STUCK_SERVICE_EXE) + L"\" \"" + release + L"\""));
    WriteParamDword(nullptr, L"Version", 2520);
    WriteParamString(L"Exchange", L"ExchFolder", folder);
    CtrlProcess ctrl(L"");
    DWORD pid = ctrl.Pid();
    HWND main = WaitMainWindow(pid);
    ASSERT_TRUE(main);
    WaitStatus(main, kStopped);

    DWORD start = GetTickCount();
    Click(main, kStart);
    WaitStatus(main, L"Запуск службы...");
    // The service stays pending until released: a control panel that waited for the state to
    // end would show nothing here.
    Box box = WaitBox(pid, 130000);
    DWORD waited = GetTickCount() - start;
    EXPECT_EQ(Narrow(box.text), Narrow(L"Служба 'Velora Service' не запустилась за 60 секунд и всё ещё запускается."));
    EXPECT_STREQ(KindName(box.kind), "error");
    EXPECT_GE(waited, 59000u) << "the control panel gave up before the minute";
    EXPECT_LT(waited, 120000u);
    Press(box.window, IDOK);
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_START_PENDING));
    // The window stays usable and the 5-second refresh follows the service out of the state.
    WriteFileBytes(release, "");
    WaitStatus(main, L"Служба запущена. Пользователей: 0", 30000);
    EXPECT_EQ(ServiceButtons(main), "011100");
    Click(main, kStop);
    WaitStatus(main, kStopped);
    CloseControlPanel(ctrl, main);
}

TEST_F(ControlPanel, DecliningInstallationWritesNothing) {
    std::wstring folder = Folder(L"never");
    CtrlProcess ctrl(folder + L"\\");
    ExpectBox(ctrl.Pid(), kInstallQuestion, Kind::Question, IDNO);
    EXPECT_EQ(ctrl.WaitExit(10000), 1);
    EXPECT_FALSE(ParametersKeyExists());
    EXPECT_FALSE(PathExists(SystemExeFile()));
    EXPECT_FALSE(PathExists(folder));
    EXPECT_EQ(ServiceState(L"VeloraService"), 0u);
}

TEST_F(ControlPanel, FolderDialogWithoutCommandLine) {
    {
        CtrlProcess ctrl(L"");
        ExpectBox(ctrl.Pid(), kInstallQuestion, Kind::Question, IDYES);
        HWND dialog = WaitFolderDialog(ctrl.Pid());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(Narrow(ItemText(dialog, 1030)), "C:\\VeloraSrvRoot");
        Press(dialog, IDCANCEL);
        EXPECT_EQ(ctrl.WaitExit(10000), 1);
        EXPECT_FALSE(PathExists(SystemExeFile()));
        EXPECT_EQ(ServiceState(L"VeloraService"), 0u);
    }
    std::wstring folder = Folder(L"dialog");
    CtrlProcess ctrl(L"");
    DWORD pid = ctrl.Pid();
    ExpectBox(pid, kInstallQuestion, Kind::Question, IDYES);
    HWND dialog = WaitFolderDialog(pid);
    ASSERT_TRUE(dialog);
    wchar_t caption[64] = L"";
    GetWindowTextW(dialog, caption, 64);
    EXPECT_EQ(Narrow(caption), Narrow(L"Velora СОД"));
    SetItemText(dialog, 1030, L"");
    Press(dialog, IDOK, false);
    ExpectBox(pid, L"Укажите папку обмена данными.", Kind::Warning, IDOK);
    // "..." opens the folder browser; OK puts the chosen folder into the box.
    SetItemText(dialog, 1030, L"C:\\typed");
    Press(dialog, 1031, false);
    HWND browser = WaitFolderBrowser(pid);
    ASSERT_TRUE(browser);
    EXPECT_TRUE(HasStaticText(browser, L"Выберите путь к папке обмена данными"));
    Press(browser, IDOK);
    ExpectChosenFolder(dialog, 1030, L"C:\\typed");
    SetItemText(dialog, 1030, folder + L"\\");
    Press(dialog, IDOK, false);
    ExpectBox(pid, CreateQuestion(folder), Kind::Question, IDYES);
    ExpectBox(pid, TemplateCreated(folder), Kind::Plain, IDOK);
    ConfirmInstalled(pid);
    HWND main = WaitMainWindow(pid);
    ASSERT_TRUE(main);
    std::wstring stored;
    EXPECT_TRUE(ReadParamString(L"Exchange", L"ExchFolder", &stored));
    EXPECT_EQ(Narrow(stored), Narrow(folder));
    EXPECT_EQ(Narrow(ItemText(main, kEdit)), Narrow(folder));
    CloseControlPanel(ctrl, main);
}

TEST_F(ControlPanel, SecondInstanceOnlyRaisesTheFirst) {
    std::wstring folder = MadeFolder(L"single");
    CtrlProcess first(folder);
    HWND main = InstallWithFolder(first, folder);
    ASSERT_TRUE(main);
    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    for (int i = 0; i < 50 && !IsIconic(main); ++i) Sleep(100);
    ASSERT_TRUE(IsIconic(main));

    CtrlProcess second(L"");
    EXPECT_EQ(second.WaitExit(15000), 0);
    for (int i = 0; i < 50 && IsIconic(main); ++i) Sleep(100);
    EXPECT_FALSE(IsIconic(main)) << "the first window was not restored";
    EXPECT_TRUE(first.Running());
    CloseControlPanel(first, main);

    // Two copies started in the same instant: one of them runs, the other ends at once.
    CtrlProcess a(L""), b(L"");
    for (int i = 0; i < 300 && a.Running() && b.Running(); ++i) Sleep(100);
    ASSERT_NE(a.Running(), b.Running()) << "both or neither still run";
    CtrlProcess& ended = a.Running() ? b : a;
    CtrlProcess& survivor = a.Running() ? a : b;
    EXPECT_EQ(ended.WaitExit(0), 0);
    // The one left has its window up, so it got past the decision and goes on running.
    HWND other = WaitMainWindow(survivor.Pid(), 30000);
    ASSERT_TRUE(other);
    EXPECT_TRUE(survivor.Running());
    CloseControlPanel(survivor, other);
}

TEST_F(ControlPanel, OldVersionIsOfferedForRemovalAndReinstalled) {
    std::wstring folder = MadeFolder(L"old");
    ReservedPort port;
    {
        CtrlProcess ctrl(folder);
        HWND main = InstallWithFolder(ctrl, folder);
        ASSERT_TRUE(main);
        UsePort(folder, port);
        Click(main, kStart);
        WaitStatus(main, L"Служба запущена. Пользователей: 1");
        CloseControlPanel(ctrl, main);
    }
    EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_RUNNING));  // outlives the window

    WriteParamDword(nullptr, L"Version", 2519);
    {
        CtrlProcess ctrl(L"");
        ExpectBox(ctrl.Pid(), L"Онбаружена служба 'Velora СОД' старой версии (ver. 2.519). Удалить службу?",
                  Kind::Question, IDNO);
        EXPECT_EQ(ctrl.WaitExit(10000), 1);
        EXPECT_EQ(ServiceState(L"VeloraService"), static_cast<DWORD>(SERVICE_RUNNING));
    }

    DeleteParam(nullptr, L"Version");
    CtrlProcess ctrl(L"");
    DWORD pid = ctrl.Pid();
    ExpectBox(pid, L"Онбаружена служба 'Velora СОД' старой версии (ver. 1.0). Удалить службу?", Kind::Question,
              IDYES);
    ExpectBox(pid, kRemoved, Kind::Plain, IDOK, 60000);
    Box again = WaitBox(pid);
    EXPECT_EQ(Narrow(again.text), Narrow(kInstallQuestion));
    EXPECT_EQ(ServiceState(L"VeloraService"), 0u);
    EXPECT_FALSE(PathExists(SystemExeFile()));
    Press(again.window, IDYES);
    HWND dialog = WaitFolderDialog(pid);
    ASSERT_TRUE(dialog);
    SetItemText(dialog, 1030, folder);
    Press(dialog, IDOK, false);
    ConfirmInstalled(pid);  // config.xml is there: no template
    HWND main = WaitMainWindow(pid);
    ASSERT_TRUE(main);
    EXPECT_TRUE(NoBoxWithin(pid, 2000)) << "the old-version check ran twice";
    DWORD version = 0;
    EXPECT_TRUE(ReadParamDword(nullptr, L"Version", &version));
    EXPECT_EQ(version, 2520u);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(SystemExeFile(), &bytes));
    EXPECT_TRUE(bytes == BuiltServiceExe());
    CloseControlPanel(ctrl, main);
}

TEST_F(ControlPanel, LegacyServiceIsRemovedAtStart) {
    ASSERT_TRUE(CreateTestService(L"VeloraServer", HostPath(SERVICE_EXE)));
    CtrlProcess ctrl(Folder(L"legacy"));
    ExpectBox(ctrl.Pid(), L"Старая служба VeloraServer удалена.", Kind::Plain, IDOK);
    ExpectBox(ctrl.Pid(), kInstallQuestion, Kind::Question, IDNO);
    EXPECT_EQ(ctrl.WaitExit(10000), 1);
    EXPECT_EQ(ServiceState(L"VeloraServer"), 0u);
}

TEST_F(ControlPanel, LayoutFolderAndFileActions) {
    std::wstring folder = MadeFolder(L"layout");
    CtrlProcess ctrl(folder);
    DWORD pid = ctrl.Pid();
    HWND main = InstallWithFolder(ctrl, folder);
    ASSERT_TRUE(main);
    WaitStatus(main, kStopped);

    SIZE collapsed = WindowSize(main);
    EXPECT_EQ(collapsed.cy, GetSystemMetrics(SM_CYCAPTION) + 142);
    ToggleMore(main, L"Дополнительно <<");
    SIZE expanded = WindowSize(main);
    EXPECT_EQ(expanded.cy, GetSystemMetrics(SM_CYCAPTION) + 357);
    EXPECT_EQ(expanded.cx, collapsed.cx);
    EXPECT_TRUE(ItemVisible(main, kEdit));
    EXPECT_TRUE(ItemVisible(main, kStart));
    // An unsaved edit is replaced by the registry's folder at every layout.
    SetItemText(main, kEdit, L"C:\\unsaved");
    ToggleMore(main, L"Дополнительно >>");
    EXPECT_FALSE(ItemVisible(main, kEdit));
    EXPECT_EQ(WindowSize(main).cy, collapsed.cy);
    ToggleMore(main, L"Дополнительно <<");
    EXPECT_EQ(WindowSize(main).cy, expanded.cy);
    EXPECT_EQ(Narrow(ItemText(main, kEdit)), Narrow(folder));

    // "Применить": empty box, then a folder with a trailing backslash.
    SetItemText(main, kEdit, L"");
    Click(main, kApply);
    ExpectBox(pid, L"Сначала укажите папку обмена данными.", Kind::Warning, IDOK);
    std::wstring other = Folder(L"other");
    SetItemText(main, kEdit, other + L"\\");
    Click(main, kApply);
    ExpectBox(pid, L"Вы действительно хотите установить новую папку обмена?", Kind::Question, IDYES);
    ExpectBox(pid, CreateQuestion(other), Kind::Question, IDYES);
    ExpectBox(pid, L"Служба сейчас остановлена, запустить?", Kind::Question, IDNO);
    std::wstring stored;
    EXPECT_TRUE(ReadParamString(L"Exchange", L"ExchFolder", &stored));
    EXPECT_EQ(Narrow(stored), Narrow(other));
    EXPECT_TRUE(PathExists(other));

    // "Выбрать папку..." of the folder menu: OK puts the chosen folder into the box, Cancel
    // leaves the box alone.
    SetItemText(main, kEdit, L"C:\\typed");
    Click(main, kFolderMenu);
    ChooseMenuItem(pid, 0);
    HWND browser = WaitFolderBrowser(pid);
    ASSERT_TRUE(browser);
    EXPECT_TRUE(HasStaticText(browser, L"Выберите путь к папке обмена данными"));
    Press(browser, IDCANCEL);
    WaitIdle(main);
    EXPECT_EQ(Narrow(ItemText(main, kEdit)), "C:\\typed");
    Click(main, kFolderMenu);
    ChooseMenuItem(pid, 0);
    browser = WaitFolderBrowser(pid);
    ASSERT_TRUE(browser);
    Press(browser, IDOK);
    ExpectChosenFolder(main, kEdit, L"C:\\typed");
    SetItemText(main, kEdit, other);

    // File actions on a folder without the files, with the log, then with no folder at all.
    PostMessageW(main, WM_COMMAND, 1022, 0);
    ExpectBox(pid, L"Не найден файл настроек " + other + L"\\config.xml", Kind::Error, IDOK);
    PostMessageW(main, WM_COMMAND, 1023, 0);
    ExpectBox(pid, L"Не найден файл лога " + other + L"\\log.txt", Kind::Error, IDOK);
    // A folder with a space: the path reaches the editor as one argument.
    std::wstring spaced = Folder(L"with space");
    WriteFileBytes(spaced + L"\\log.txt", "log\r\n");
    SetItemText(main, kEdit, spaced);
    PostMessageW(main, WM_COMMAND, 1023, 0);
    ExpectEditorWith(L"log.txt");
    EXPECT_TRUE(NoBoxWithin(pid, 500));
    PostMessageW(main, WM_COMMAND, 1021, 0);
    ExpectWindowWith(L"ExplorerWClass", L"with space");  // the file manager titles it by the folder
    EXPECT_TRUE(NoBoxWithin(pid, 500));
    DeleteParam(L"Exchange", L"ExchFolder");
    ToggleMore(main, L"Дополнительно >>");
    ToggleMore(main, L"Дополнительно <<");
    EXPECT_EQ(Narrow(ItemText(main, kEdit)), "");
    PostMessageW(main, WM_COMMAND, 1023, 0);
    ExpectBox(pid, L"Не выбрана папка обмена данными.", Kind::Error, IDOK);
    PostMessageW(main, WM_COMMAND, 1022, 0);
    ExpectBox(pid, L"Не выбрана папка обмена данными.", Kind::Error, IDOK);

    // The close message is ignored; the system menu's close ends the program.
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(ctrl.WaitExit(1500), -1);
    CloseControlPanel(ctrl, main);
}
std::wstring Wide(const std::string& ansi) {
    std::wstring out(ansi.size(), L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &out[0], static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

std::vector<std::wstring> Column(const std::vector<std::vector<std::wstring>>& rows, int column) {
    std::vector<std::wstring> cells;
    for (const auto& row : rows) cells.push_back(row.at(static_cast<std::size_t>(column)));
    return cells;
}

// Reads the list until `done` holds for its rows; fails after timeoutMs.
template <class Done>
std::vector<std::vector<std::wstring>> WaitRows(RemoteListView& view, Done done, DWORD timeoutMs, const char* what) {
    DWORD start = GetTickCount();
    std::vector<std::vector<std::wstring>> rows = view.Rows();
    while (!done(rows) && GetTickCount() - start < timeoutMs) {
        Sleep(200);
        rows = view.Rows();
    }
    EXPECT_TRUE(done(rows)) << what << " within " << timeoutMs << " ms";
    return rows;
}

// "Устройства…", the folder menu's last item, on the fixture folder: the columns and rows read
// back from the list view, the sort by a column title, a new upload picked up by the refresh,
// the window resized, and a double-click that opens a device's folder.
TEST_F(ControlPanel, DevicesWindowOfTheFolderMenu) {
    std::wstring folder = MadeFolder(L"devices");
    std::int64_t now = static_cast<std::int64_t>(std::time(nullptr)) - 60;
    BuildExchangeFixture(std::string(folder.begin(), folder.end()), now);
    CtrlProcess ctrl(folder);
    DWORD pid = ctrl.Pid();
    HWND main = InstallWithFolder(ctrl, folder);
    ASSERT_TRUE(main);
    WaitStatus(main, kStopped);

    Click(main, kFolderMenu);
    ChooseMenuItem(pid, 4);
    HWND devices = WaitTopWindow(L"VeloraDevices", L"Устройства");
    ASSERT_TRUE(devices);
    HWND list = FindWindowExW(devices, nullptr, L"SysListView32", nullptr);
    ASSERT_TRUE(list);
    RemoteListView view(list);
    ASSERT_TRUE(view.Ok());

    std::vector<std::vector<std::wstring>> expected;
    for (const auto& row : FixtureTable(std::string(folder.begin(), folder.end()), now, RowLanguage::Russian)) {
        expected.emplace_back();
        for (const std::string& cell : row) expected.back().push_back(Wide(cell));
    }
    EXPECT_EQ(view.Columns(), expected[0]);
    expected.erase(expected.begin());
    auto rows = WaitRows(view, [&](const auto& r) { return r.size() == expected.size(); }, 15000, "the fixture's rows");
    EXPECT_EQ(rows, expected);

    // Agent ascending ("(нет в config.xml)" sorts before the letters), then descending.
    std::vector<std::wstring> agents = {L"(нет в config.xml)", L"Иванов", L"Кузнецов", L"Петров",
                                        L"Попов", L"Сидоров", L"Смирнов"};
    view.ClickColumn(0);
    WaitRows(view, [&](const auto& r) { return Column(r, 0) == agents; }, 5000, "agents ascending");
    view.ClickColumn(0);
    std::vector<std::wstring> reversed(agents.rbegin(), agents.rend());
    WaitRows(view, [&](const auto& r) { return Column(r, 0) == reversed; }, 5000, "agents descending");
    // Size of the data from 1C, descending: PPC3 first.
    view.ClickColumn(4);
    view.ClickColumn(4);
    WaitRows(view, [&](const auto& r) { return !r.empty() && r[0][2] == L"PPC3"; }, 5000, "data from 1C first");

    // Петров's upload arrives: the next refresh shows it (in the order chosen above).
    WriteFileBytes(folder + L"\\PPC2\\To1C.zip", std::string(300, 'n'));
    WriteFileBytes(folder + L"\\Status.txt",
                   FixtureRecord(kIdleToday, "To1C.zip", 4242) + FixtureRecord(kBothWays, "To1C.zip", kFixtureTo1CCrc));
    DWORD written = GetTickCount();
    rows = WaitRows(view, [&](const auto& r) {
        for (const auto& row : r)
            if (row[2] == L"PPC2") return row[6] == L"To1C.zip" && row[7] == L"300" && row[8] == L"4242";
        return false;
    }, 2 * 5000 + 3000, "the new upload");
    EXPECT_LT(GetTickCount() - written, 5000u + 3000u) << "a refresh every 5 s";
    EXPECT_EQ(rows.at(0)[2], L"PPC3");

    // The list follows the window's size.
    SetWindowPos(devices, nullptr, 0, 0, 1024, 330, SWP_NOZORDER);
    WaitIdle(devices);
    RECT client, listRect;
    GetClientRect(devices, &client);
    GetWindowRect(list, &listRect);
    EXPECT_EQ(listRect.right - listRect.left, client.right);
    EXPECT_GT(listRect.bottom - listRect.top, client.bottom / 2);
    view.ClickColumn(0);  // back to agents ascending for the picture
    WaitRows(view, [&](const auto& r) { return Column(r, 0) == agents; }, 5000, "agents ascending");
    Shot("devices-window.png", devices);
    view.Scroll(10000);
    WaitIdle(devices);
    Shot("devices-window-right.png", devices);
    view.Scroll(-10000);

    // A double-click opens the device's folder in the file manager.
    view.DoubleClickRow(6);  // Смирнов, PPC5
    ExpectWindowWith(L"ExplorerWClass", L"PPC5");
    EXPECT_TRUE(NoBoxWithin(pid, 500));
    CloseControlPanel(ctrl, main);
}
}  // namespace

// velora-log, the Start menu's entry for the log: the folder the control panel set, with the
// control panel's messages when there is no folder or no log yet.
TEST_F(ControlPanel, LogOpenerShowsTheLogOfTheSetFolder) {
    const std::wstring program = HostPath(LOGVIEW_EXE);
    {
        CtrlProcess log(L"", program);
        ExpectBox(log.Pid(), L"Не выбрана папка обмена данными.", Kind::Error, IDOK);
        EXPECT_EQ(log.WaitExit(10000), 1);
    }
    std::wstring folder = MadeFolder(L"log folder");
    WriteParamString(L"Exchange", L"ExchFolder", folder);
    {
        CtrlProcess log(L"", program);
        ExpectBox(log.Pid(), L"Не найден файл лога " + folder + L"\\log.txt", Kind::Error, IDOK);
        EXPECT_EQ(log.WaitExit(10000), 1);
    }
    WriteFileBytes(folder + L"\\log.txt", "2024-03-05 07-04-09 ***** Service started!\r\n");
    CtrlProcess log(L"", program);
    ExpectEditorWith(L"log.txt");
    EXPECT_EQ(log.WaitExit(10000), 0);
}
