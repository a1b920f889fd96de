#include "remote/ConnectReason.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each error the admin can act on has its own words, every row of a group
// the same; the rest get the system's.
TEST(ConnectReason, TellsEachKnownCauseAndEndsWithTheError)
{
    const char* notFound = "The machine is not found on the network, or it is switched off.";
    const char* behindPorts = "The machine answers on the network, but its registry cannot be reached: the Remote "
                              "Registry service is not running there";
    const char* denied = "Access is denied. The account that runs this tool must be an administrator";
    const char* rpc = "The Remote Registry service is not running there, or a firewall";
    const char* logon = "The account that runs this tool cannot log on there";
    const char* other = "Another connection to that machine uses other credentials.";
    const struct {
        long error;
        bool answered;  // past the look at the machine's ports
        const char* says;
    } cases[] = {
        {51, false, notFound},   {53, false, notFound},    {67, false, notFound},  {1231, false, notFound},
        {1232, false, notFound}, {51, true, behindPorts},  {53, true, behindPorts}, {67, true, behindPorts},
        {1231, true, notFound},  {5, false, denied},       {1722, true, rpc},       {1726, false, rpc},
        {1727, false, rpc},      {1326, false, logon},     {1327, false, logon},    {1330, false, logon},
        {1331, false, logon},    {1909, true, logon},      {1219, false, other},
    };
    for (const auto& c : cases) {
        const std::string reason = ConnectFailureReason(c.error, "system text", c.answered);
        EXPECT_EQ(reason.find(c.says), 0u) << c.error << (c.answered ? " answered: " : ": ") << reason;
        EXPECT_EQ(reason.find("system text"), std::string::npos) << c.error;
        const std::string tail = " (error " + std::to_string(c.error) + ")";
        EXPECT_EQ(reason.substr(reason.size() - tail.size()), tail) << reason;
    }
    EXPECT_NE(ConnectFailureReason(5, "").find("Simple File Sharing"), std::string::npos);
    EXPECT_NE(ConnectFailureReason(53, "", true).find("or the name leads to another machine"), std::string::npos);
    EXPECT_EQ(ConnectFailureReason(1450, "Insufficient system resources exist to complete the requested service.\r\n"),
              "Insufficient system resources exist to complete the requested service. (error 1450)");
    EXPECT_EQ(ConnectFailureReason(7, "", true), "The system gives no text for this error. (error 7)");
}

TEST(ConnectReason, ProbeOutcomesSayWhatWasTried)
{
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::Answers, 0), "");
    EXPECT_EQ(ProbeFailureReason(ProbeOutcome::Refused, 10061),
              "The machine refuses file and printer sharing (ports 445 and 139). (error 10061)");
    // The specified text stays whole, first; the reason follows after an empty line.
    EXPECT_EQ(ConnectProblemText("Why. (error 5)"),
              "Problem connecting to remote machine. Please check to make sure the pc name does exist on the "
              "network.\n\nWhy. (error 5)");
}

// The look over every address of a name: one port that accepts is enough,
// refused is every connect refused, and a connect that could not go out is
// no refusal.
TEST(ConnectReason, ProbeOutcomeOverEveryAddress)
{
    const int p = kConnectPending, refused = 10061, noRoute = 10065, netDown = 10050;
    const struct {
        std::vector<TAddressLook> addresses;
        ProbeOutcome outcome;
        int error;
    } cases[] = {
        {{}, ProbeOutcome::NotKnown, 11001},
        {{{{0, p}}}, ProbeOutcome::Answers, 0},
        {{{{p, p}}, {{refused, 0}}}, ProbeOutcome::Answers, 0},  // a stale first address
        {{{{noRoute, noRoute}}, {{p, 0}}}, ProbeOutcome::Answers, 0},
        {{{{refused, refused}}}, ProbeOutcome::Refused, refused},
        {{{{refused, refused}}, {{refused, refused}}}, ProbeOutcome::Refused, refused},
        {{{{refused, refused}}, {{refused, noRoute}}}, ProbeOutcome::CannotReach, noRoute},
        {{{{noRoute, netDown}}, {{refused, refused}}}, ProbeOutcome::CannotReach, noRoute},
        {{{{10051, 10051}}}, ProbeOutcome::CannotReach, 10051},
        {{{{refused, p}}}, ProbeOutcome::NoAnswer, 10060},
        {{{{p, p}}, {{noRoute, noRoute}}}, ProbeOutcome::NoAnswer, 10060},
        {{{{noRoute, noRoute}}, {{refused, p}}}, ProbeOutcome::NoAnswer, 10060},
    };
    for (std::size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const TProbeResult result = DecideProbe(cases[i].addresses);
        EXPECT_EQ(result.outcome, cases[i].outcome) << "case " << i;
        EXPECT_EQ(result.error, cases[i].error) << "case " << i;
    }
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
