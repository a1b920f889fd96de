#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "remote/ConnectReason.h"

// The look at a machine that comes before its registry is connected to: the
// system's own connection timeout is tens of seconds for a machine that is
// switched off, this look at most kProbeCapMs.
const DWORD kProbeCapMs = 3000;

struct TProbePorts {
    unsigned short first = 445;   // SMB directly over TCP
    unsigned short second = 139;  // SMB over NetBIOS
};
struct TProbeResult {
    ProbeOutcome outcome = ProbeOutcome::Answers;
    int error = 0;  // the Winsock error behind an outcome other than Answers
};

// Resolves host and tries both ports at the same time; Answers as soon as
// either accepts, Refused once both have refused, NoAnswer when capMs pass
// first. Tests point it at ports of their own on loopback.
TProbeResult ProbeMachine(const std::string& host, const TProbePorts& ports = TProbePorts(),
                          DWORD capMs = kProbeCapMs);

using MachineProbe = std::function<TProbeResult(const std::string& host)>;
inline TProbeResult ProbeSharingPorts(const std::string& host)
{
    return ProbeMachine(host);
}

// Empty when the machine may be connected to: it is this computer, or it
// answers on a sharing port. Else the reason it cannot be reached.
std::string MachineUnreachableReason(const std::string& machine, const MachineProbe& probe = ProbeSharingPorts);

// ConnectFailureReason with the system's own text for the error.
std::string ConnectFailureText(LONG error);
