// The POSIX program as an operator runs it: the command line, and -debug on an exchange
// folder until Ctrl+C or SIGTERM, with the parameters in a file named by VELORA_PARAMS.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "params_env.h"
#include "registry.h"
#include "support.h"

extern char** environ;
using namespace test;

namespace {
::testing::Environment* const env = ::testing::AddGlobalTestEnvironment(new ParamsEnvironment);

// The service program with its standard output in a file.
class Program {
public:
    Program(const std::vector<std::string>& args, const std::string& outPath) : out_(outPath) {
        std::vector<char*> argv{const_cast<char*>(VELORA_SERVICE_EXE)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, VELORA_SERVICE_EXE, &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid_ && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool Started() const { return pid_ != 0; }
    void Signal(int sig) { kill(pid_, sig); }
    // The exit code, or -1 when the program has not ended within `ms`.
    int Wait(int ms) {
        int status = 0;
        bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
        if (!ended) return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Output() const { return ReadFile(out_); }

private:
    std::string out_;
    pid_t pid_ = 0;
    bool exited_ = false;
};

std::string ErrorValue() {
    char text[1024];
    GetErrorText(text, sizeof text);
    return text;
}
}  // namespace

TEST(DebugProgram, CommandLineWithoutTheServiceManager) {
    TempFolder dir("cmd");
    const std::string usage =
        "VeloraService -install          to install the service\n"
        "VeloraService -remove           to remove the service\n"
        "VeloraService -debug <params>   to run as a console app for debugging\n"
        "\nStartServiceCtrlDispatcher being called.\n"
        "This may take several seconds.  Please wait.\n";
    struct Case { std::vector<std::string> args; std::string head; };
    const Case cases[] = {
        {{}, usage + "StartServiceCtrlDispatcher failed"},
        {{"install"}, usage + "StartServiceCtrlDispatcher failed"},
        {{"-bogus"}, usage + "StartServiceCtrlDispatcher failed"},
        {{"-INSTALL"}, "VeloraService: cannot install Velora Service - the Service Control Manager is Windows-only."},
        {{"/remove"}, "VeloraService: cannot remove Velora Service - the Service Control Manager is Windows-only."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        Program p(c.args, dir.File("out.txt"));
        ASSERT_TRUE(p.Started());
        EXPECT_EQ(p.Wait(10000), 1);  // nothing was done
        std::string out = p.Output();
        EXPECT_EQ(out.compare(0, c.head.size(), c.head), 0) << out;
    }
}

class DebugRun : public ::testing::TestWithParam<int> {
protected:
    TempFolder exchange{"debug"};
    ReservedPort port;
    void SetUp() override {
        SetExchFolder(exchange.Path().c_str());
        ASSERT_TRUE(WriteFile(exchange.File("config.xml"), ConfigXml(port, Devices(2))));
    }
    void TearDown() override {
        SetExchFolder("");
        SetErrorText("");
    }
    std::string Log() const { return exchange.File("log.txt"); }
};

TEST_P(DebugRun, RunsUntilSignalledAndStopsCleanly) {
    Program p({"-debug", "ignored", "args"}, exchange.File("out.txt"));
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(WaitUntil([&] { return CountMessage(Log(), "Service started!") == 1; }, 10000)) << p.Output();
    EXPECT_EQ(GetUserCount(), 2u);
    NetSocket client = Connect(port);
    ASSERT_NE(client, 0u);
    EXPECT_TRUE(ServiceAnswers(client, 5000));
    NetClose(client);
    ASSERT_TRUE(WaitUntil([&] { return p.Output().find("End connection\n") != std::string::npos; }, 5000));

    p.Signal(GetParam());
    EXPECT_EQ(p.Wait(8000), 0);
    std::string out = p.Output();
    EXPECT_EQ(out.rfind("Debugging Velora Service.\n", 0), 0u) << out;
    EXPECT_NE(out.find("Connection accepted from 127.0.0.1:"), std::string::npos) << out;
    EXPECT_NE(out.find("Stopping Velora Service.\n"), std::string::npos) << out;
    std::vector<std::string> expected = {"Try read Config.xml...", "Autodetect config is ON", "Service started!",
                                         "Stop service...", "Service stoped!", "Service stoped!"};
    EXPECT_EQ(LogMessages(Log()), expected);
}

INSTANTIATE_TEST_SUITE_P(Signals, DebugRun, ::testing::Values(SIGINT, SIGTERM));

TEST(DebugProgram, PortInUseEndsTheRunWithTheOperatorsText) {
    TempFolder exchange("busy");
    ReservedPort port;
    NetSocket other = ListenOn(port);
    ASSERT_NE(other, 0u);
    SetExchFolder(exchange.Path().c_str());
    ASSERT_TRUE(WriteFile(exchange.File("config.xml"), ConfigXml(port, Devices(1))));
    Program p({"-debug"}, exchange.File("out.txt"));
    ASSERT_TRUE(p.Started());
    EXPECT_EQ(p.Wait(10000), 1);
    // The console gets UTF-8; the Error value keeps the office's Windows-1251.
    EXPECT_NE(p.Output().find(u8"\nVelora Service ended with an error: Ошибка запуска сервера. Address already in use. (10048)\n"),
              std::string::npos)
        << p.Output();
    EXPECT_EQ(ErrorValue(), "Ошибка запуска сервера. Address already in use. (10048)");
    EXPECT_EQ(CountMessage(exchange.File("log.txt"), "Service started!"), 0);
    NetClose(other);
    SetExchFolder("");
    SetErrorText("");
}

// A run that cannot start says why on the console and ends with exit code 1.
TEST(DebugProgram, StartFailuresPrintTheErrorText) {
    TempFolder exchange("fail");
    struct Case {
        const char* name;
        std::string folder;     // the ExchFolder value
        const char* configXml;  // nullptr: no config.xml
        std::string line;       // UTF-8, as on the console
    };
    std::vector<Device> twins = Devices(2);
    twins[1].agent = "agent1";
    ReservedPort twinsPort;
    const std::string twinsXml = ConfigXml(twinsPort, twins);
    const Case cases[] = {
        {"no exchange folder", "", nullptr, u8"Неизвестен путь к config.xml\n"},
        {"no config.xml", exchange.Path(), nullptr, u8"Файл не найден " + exchange.File("config.xml") + "\n"},
        {"unparsable XML", exchange.Path(), "<VeloraServer><PPC DEVICE_ID=\"1\" </VeloraServer>",
         "Failed to load DOM from xml-file "},
        {"faulty device table", exchange.Path(), twinsXml.c_str(),
         "config_error\nThe faults of config.xml are listed in " + exchange.File("config.err") + ".\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(exchange.File("config.xml").c_str());
        if (c.configXml) ASSERT_TRUE(WriteFile(exchange.File("config.xml"), c.configXml));
        SetExchFolder(c.folder.c_str());
        Program p({"-debug"}, exchange.File("out.txt"));
        ASSERT_TRUE(p.Started());
        EXPECT_EQ(p.Wait(10000), 1);
        std::string out = p.Output();
        EXPECT_EQ(out.rfind("Debugging Velora Service.\n", 0), 0u) << out;
        EXPECT_NE(out.find("\nVelora Service ended with an error: " + c.line), std::string::npos) << out;
    }
    SetExchFolder("");
    SetErrorText("");
}
