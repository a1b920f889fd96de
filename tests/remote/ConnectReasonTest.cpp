#include "remote/ConnectReason.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each error the admin can act on has its own words; the rest get the system's.
TEST(ConnectReason, TellsEachKnownCauseAndEndsWithTheError)
{
    const struct {
        long error;
        const char* says;
    } cases[] = {
        {53, "not found on the network, or it is switched off"},
        {1232, "not found on the network"},
        {5, "must be an administrator of that machine"},
        {1722, "Remote Registry service is not running there, or a firewall"},
        {1727, "Remote Registry service"},
        {1909, "cannot log on there"},
        {1219, "other credentials"},
    };
    for (const auto& c : cases) {
        const std::string reason = ConnectFailureReason(c.error, "system text");
        EXPECT_NE(reason.find(c.says), std::string::npos) << c.error << ": " << reason;
        EXPECT_EQ(reason.find("system text"), std::string::npos) << c.error;
        const std::string tail = " (error " + std::to_string(c.error) + ")";
        EXPECT_EQ(reason.substr(reason.size() - tail.size()), tail) << reason;
    }
    EXPECT_NE(ConnectFailureReason(5, "").find("Simple File Sharing"), std::string::npos);
    EXPECT_EQ(ConnectFailureReason(1450, "Insufficient system resources exist to complete the requested service.\r\n"),
              "Insufficient system resources exist to complete the requested service. (error 1450)");
    EXPECT_EQ(ConnectFailureReason(7, ""), "The system gives no text for this error. (error 7)");
}

TEST(ConnectReason, ProbeOutcomesSayWhatWasTried)
{
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::Answers, 0), "");
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::NotKnown, 11001), "The name is not known on the network. (error 11001)");
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::Refused, 10061),
              "The machine refuses file and printer sharing (ports 445 and 139). (error 10061)");
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::NoAnswer, 10060),
              "The machine does not answer on the network (ports 445 and 139): switched off, or a firewall blocks "
              "file and printer sharing. (error 10060)");
    // The specified text stays whole, first; the reason follows after an empty line.
    EXPECT_EQ(ConnectProblemText("Why. (error 5)"),
              "Problem connecting to remote machine. Please check to make sure the pc name does exist on the "
              "network.\n\nWhy. (error 5)");
}

TEST(ConnectReason, ThisComputerByItsNamesOrLoopback)
{
    const std::vector<std::string> own = {"PC7", "pc7", "pc7.corp.example"};
    const struct {
        const char* name;
        bool self;
    } cases[] = {
        {"\\\\pc7", true},      {"\\\\PC7.CORP.example", true}, {"\\\\LocalHost", true}, {"\\\\127.1.2.3", true},
        {"::1", true},          {"PC77", false},                {"pc7.corp", false},     {"128.0.0.1", false},
        {"127.0.0", false},     {"127.0.0.1.5", false},         {"127..0.1", false},     {"\\\\", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsThisComputer(c.name, own), c.self) << c.name;
    EXPECT_FALSE(IsThisComputer("PC7", {""}));
}

} // namespace
