// The event log's lines, its size cap and a log that cannot be written; the launch switch.
#include "event_log.h"
#include "launch_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "test_files.h"

namespace {

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm when = {};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    return std::mktime(&when);
}

class LogFiles : public ::testing::Test {
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }
    void Remove()
    {
        std::remove(path.c_str());
        std::remove(older.c_str());
    }
    const std::string path = "event_log_test.log";
    const std::string older = "event_log_test.old.log";
};

}  // namespace

TEST(EventLogLine, IsLocalDateAndTimeTextAndCrLf)
{
    const struct {
        std::time_t when;
        const char* text;
        const char* line;
    } cases[] = {
        {LocalTime(2026, 12, 9, 7, 5, 3), "started", "2026/12/09 07:05:03 started\r\n"},
        {LocalTime(2027, 1, 31, 23, 59, 59), "", "2027/01/31 23:59:59 \r\n"},
        // A reply of several lines stays one line of the log.
        {LocalTime(2026, 2, 1, 0, 0, 0), "530 Login\r\nincorrect.\r\n", "2026/02/01 00:00:00 530 Login  incorrect.  \r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatLogLine(c.when, c.text), c.line);
    // A text longer than a line is cut, never written past its buffer.
    const std::string longText(2000, 'x');
    EXPECT_LT(FormatLogLine(0, longText.c_str()).size(), 600u);
}

TEST(EventLogLine, OlderLogTakesOldBeforeTheExtension)
{
    EXPECT_EQ(OlderLogPath("Pelmix.log"), "Pelmix.old.log");
    EXPECT_EQ(OlderLogPath("Z:\\cam.1\\Pelmix.log"), "Z:\\cam.1\\Pelmix.old.log");
    EXPECT_EQ(OlderLogPath("Z:\\cam.1\\log"), "Z:\\cam.1\\log.old");
}

TEST_F(LogFiles, LinesAreAppendedUntilTheCapThenTheFullLogBecomesTheOlderOne)
{
    const size_t cap = 100;
    const std::string line(30, 'a');
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(AppendLogLine(path, line, cap));
    EXPECT_EQ(ReadText(path), line + line + line);
    EXPECT_FALSE(Exists(older));

    // 11 more would make 101 bytes: the three go to the older log, the new line starts anew.
    const std::string b(11, 'b'), c(89, 'c');
    ASSERT_TRUE(AppendLogLine(path, b, cap));
    EXPECT_EQ(ReadText(path), b);
    EXPECT_EQ(ReadText(older), line + line + line);

    // Exactly the cap is still one file; one byte more replaces the older log.
    ASSERT_TRUE(AppendLogLine(path, c, cap));
    EXPECT_EQ(ReadText(path), b + c);
    ASSERT_TRUE(AppendLogLine(path, "d", cap));
    EXPECT_EQ(ReadText(older), b + c);
    EXPECT_EQ(ReadText(path), "d");
}

TEST_F(LogFiles, ALogThatCannotBeWrittenIsOnlyReported)
{
    EXPECT_FALSE(AppendLogLine("no-such-folder/deeper/x.log", "line\r\n", kEventLogCap));
    EXPECT_FALSE(AppendLogLine("", "line\r\n", kEventLogCap));
    SetEventLogPath("no-such-folder/deeper/x.log");
    LogEvent("nothing happens");  // no crash, no exception, no file
    EXPECT_FALSE(Exists("no-such-folder/deeper/x.log"));

    SetEventLogPath(path);
    LogEvent("written");
    const std::string text = ReadText(path);
    ASSERT_EQ(text.size(), 19u + 1 + 7 + 2);
    EXPECT_EQ(text.substr(19), " written\r\n");
    SetEventLogPath("");
}

TEST(LaunchSwitch, AutoIsAWordOfTheCommandLineInAnyCase)
{
    const struct {
        const char* commandLine;
        bool asked;
    } cases[] = {
        {"/auto", true},         {"/AUTO", true},         {"-Auto", true},
        {"  /auto  ", true},     {"x /auto y", true},     {"\"/auto\"", true},
        {"", false},             {nullptr, false},        {"/automatic", false},
        {"auto", false},         {"/aut", false},         {"x/auto", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasAutoSwitch(c.commandLine), c.asked) << (c.commandLine ? c.commandLine : "(null)");
}
