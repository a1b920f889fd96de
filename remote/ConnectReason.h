#pragma once

#include <string>
#include <vector>

// Why a machine's registry could not be reached, in plain words for the admin
// who reads a log or a message box: the paragraph that follows the connect
// failure's own text.

extern const char kConnectFailedText[];
extern const char kConnectFailedCaption[];

// The reason for a Win32 error of the registry connection or of a registry
// call on that machine, ending in "(error N)". systemText is the system's own
// text for the error, used for an error this table does not know. answered:
// the machine answered the look at its sharing ports just before (or is this
// computer), so a path that is "not found" is not a machine that is off but
// a service behind those ports.
std::string ConnectFailureReason(long error, const std::string& systemText, bool answered = false);

// What a look at a machine's file and printer sharing ports found.
enum class ProbeOutcome {
    Answers,      // a port of an address accepted a connection: the registry connection may be tried
    NotKnown,     // the name does not resolve
    Refused,      // every port of every address refused
    NoAnswer,     // a port stayed silent till the time allowed was over, and none accepted
    CannotReach,  // this computer could not send there (no route, its network down), and none accepted
};
struct TProbeResult {
    ProbeOutcome outcome = ProbeOutcome::Answers;
    int error = 0;  // the Winsock error behind an outcome other than Answers
};

// How the look's connects to one address of the name ended, a port each: 0
// accepted, a Winsock error, or kConnectPending for one still under way (or
// not yet started) when the look ended.
const int kConnectPending = -1;
struct TAddressLook {
    int ports[2] = {kConnectPending, kConnectPending};
};
// The look's outcome over every address the name resolved to: Answers when
// any port of any address accepted; Refused only when every connect was
// refused (10061); NoAnswer when any was still under way; else CannotReach
// with the first error that was not a refusal. NotKnown for no address.
TProbeResult DecideProbe(const std::vector<TAddressLook>& addresses);

// The reason for a probe that found the machine unreachable, ending in
// "(error N)" with the Winsock error; empty for Answers.
std::string ProbeFailureReason(ProbeOutcome outcome, int socketError);

// The connect failure's own text, an empty line, then the reason.
std::string ConnectProblemText(const std::string& reason);

// Whether name (with or without leading backslashes) is this computer:
// one of its own names (its NetBIOS name, its DNS host and full names), in
// any ASCII case, "localhost", or a loopback address (127.x.x.x, ::1). Such a
// machine is connected to without a look at its ports.
bool IsThisComputer(const std::string& name, const std::vector<std::string>& ownNames);
