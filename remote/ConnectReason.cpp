#include "remote/ConnectReason.h"

const char kConnectFailedText[] =
    "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.";
const char kConnectFailedCaption[] = "Problem locating pc.";

namespace {

// Winsock's numbers, which this file has no header for.
const int kTimedOut = 10060;       // WSAETIMEDOUT
const int kRefused = 10061;        // WSAECONNREFUSED
const int kHostNotFound = 11001;   // WSAHOST_NOT_FOUND

const char* KnownReason(long error, bool answered)
{
    switch (error) {
    case 51:  // ERROR_REM_NOT_LIST
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
        // Past the look these come from behind the ports: the registry's pipe
        // or the share IPC$ that carries it, or a server that is not the
        // machine named (a stale name record leads to another one).
        if (answered)
            return "The machine answers on the network, but its registry cannot be reached: the Remote Registry "
                   "service is not running there, its Server service or file and printer sharing is off, or the "
                   "name leads to another machine (a stale DNS or WINS record).";
        [[fallthrough]];
    case 1231:  // ERROR_NETWORK_UNREACHABLE
    case 1232:  // ERROR_HOST_UNREACHABLE
        return "The machine is not found on the network, or it is switched off.";
    case 5:  // ERROR_ACCESS_DENIED
        return "Access is denied. The account that runs this tool must be an administrator of that machine; on "
               "Windows XP outside a domain, Simple File Sharing turns every network logon into Guest, which is "
               "never let in.";
    case 1722:  // RPC_S_SERVER_UNAVAILABLE
    case 1726:  // RPC_S_CALL_FAILED
    case 1727:  // RPC_S_CALL_FAILED_DNE
        return "The Remote Registry service is not running there, or a firewall blocks file and printer sharing.";
    case 1326:  // ERROR_LOGON_FAILURE
    case 1327:  // ERROR_ACCOUNT_RESTRICTION
    case 1330:  // ERROR_PASSWORD_EXPIRED
    case 1331:  // ERROR_ACCOUNT_DISABLED
    case 1909:  // ERROR_ACCOUNT_LOCKED_OUT
        return "The account that runs this tool cannot log on there: wrong password, or the account is disabled, "
               "locked out, expired or restricted on that machine.";
    case 1219:  // ERROR_SESSION_CREDENTIAL_CONFLICT
        return "Another connection to that machine uses other credentials. Close it (net use \\\\machine /delete) "
               "and try again.";
    default:
        return nullptr;
    }
}

std::string TrimmedText(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '.'))
        text.pop_back();
    return text;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsLoopbackV4(const std::string& name)
{
    // Dotted digits whose first number is 127.
    if (name.compare(0, 4, "127.") != 0)
        return false;
    int dots = 0, digits = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] == '.') {
            if (i > 3 && digits == 0)
                return false;
            ++dots;
            digits = 0;
        } else if (name[i] >= '0' && name[i] <= '9' && digits < 3) {
            ++digits;
        } else {
            return false;
        }
    }
    return dots == 3 && digits > 0;
}

} // namespace

std::string ConnectFailureReason(long error, const std::string& systemText, bool answered)
{
    const char* known = KnownReason(error, answered);
    std::string reason = known ? std::string(known) : TrimmedText(systemText);
    if (reason.empty())
        reason = "The system gives no text for this error.";
    else if (!known)
        reason += '.';
    return reason + " (error " + std::to_string(error) + ")";
}

std::string ProbeFailureReason(ProbeOutcome outcome, int socketError)
{
    const char* text = nullptr;
    switch (outcome) {
    case ProbeOutcome::Answers:
        return std::string();
    case ProbeOutcome::NotKnown:
        text = "The name is not known on the network.";
        break;
    case ProbeOutcome::Refused:
        text = "The machine refuses file and printer sharing (ports 445 and 139).";
        break;
    case ProbeOutcome::NoAnswer:
        text = "The machine does not answer on the network (ports 445 and 139): switched off, or a firewall blocks "
               "file and printer sharing.";
        break;
    case ProbeOutcome::CannotReach:
        text = "This computer cannot reach that network (ports 445 and 139): it has no route to the machine's "
               "address, or its own network connection is down.";
        break;
    }
    return std::string(text) + " (error " + std::to_string(socketError) + ")";
}

TProbeResult DecideProbe(const std::vector<TAddressLook>& addresses)
{
    if (addresses.empty())
        return {ProbeOutcome::NotKnown, kHostNotFound};
    bool pending = false;
    int other = 0;  // the first error that was not a refusal
    for (const TAddressLook& address : addresses)
        for (const int result : address.ports) {
            if (result == 0)
                return {ProbeOutcome::Answers, 0};
            if (result == kConnectPending)
                pending = true;
            else if (result != kRefused && other == 0)
                other = result;
        }
    if (pending)
        return {ProbeOutcome::NoAnswer, kTimedOut};
    if (other != 0)
        return {ProbeOutcome::CannotReach, other};
    return {ProbeOutcome::Refused, kRefused};
}

std::string ConnectProblemText(const std::string& reason)
{
    return std::string(kConnectFailedText) + "\n\n" + reason;
}

bool IsThisComputer(const std::string& name, const std::vector<std::string>& ownNames)
{
    const std::size_t first = name.find_first_not_of('\\');
    const std::string bare = first == std::string::npos ? std::string() : name.substr(first);
    if (bare.empty())
        return false;
    if (SameIgnoringAsciiCase(bare, "localhost") || bare == "::1" || IsLoopbackV4(bare))
        return true;
    for (const std::string& own : ownNames)
        if (!own.empty() && SameIgnoringAsciiCase(bare, own))
            return true;
    return false;
}
