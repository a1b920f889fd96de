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
// text for the error, used for an error this table does not know.
std::string ConnectFailureReason(long error, const std::string& systemText);

// What a look at a machine's file and printer sharing ports found.
enum class ProbeOutcome {
    Answers,   // a port accepted a connection: the registry connection may be tried
    NotKnown,  // the name does not resolve
    Refused,   // both ports refused
    NoAnswer,  // neither port answered within the time allowed
};
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
