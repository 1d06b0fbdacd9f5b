#include "libraryinit.h"

#include "objecttable.h"
#include "snmpsession.h"
#include "vexa_config.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace wiener {

namespace LibraryInit {

namespace {

const char *applicationType = "wiener_snmp";

std::mutex initMutex;     // start-up and clean-up run one at a time
bool netsnmpStarted = false;
std::atomic<bool> ready{false}; // read by every call; written under initMutex

std::mutex logMutex;
std::string lastLogMessage; // the last warning or error net-snmp wanted to print

// net-snmp prints to the terminal unless a log handler is registered; the
// operator program has no terminal worth writing to, so messages are kept and
// the last one is offered with a start-up failure.
int keepLogMessage(int, int, void *serverArgument, void *)
{
    const auto *message = static_cast<const snmp_log_message *>(serverArgument);
    if (message && message->msg && message->priority <= LOG_WARNING) {
        std::lock_guard<std::mutex> lock(logMutex);
        lastLogMessage = message->msg;
        while (!lastLogMessage.empty() && (lastLogMessage.back() == '\n' || lastLogMessage.back() == ' '))
            lastLogMessage.pop_back();
    }
    return 0;
}

bool isDirectory(const std::string &path)
{
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string libraryDirectory()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&LibraryInit::initialise), &info) || !info.dli_fname)
        return std::string();
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string takeLogMessage()
{
    std::lock_guard<std::mutex> lock(logMutex);
    std::string message;
    message.swap(lastLogMessage);
    return message;
}

} // namespace

std::vector<std::string> ownMibDirectories()
{
    if (const char *override = std::getenv("VEXA_MIBDIR"); override && *override)
        return {override};
    std::vector<std::string> directories;
    const std::string beside = libraryDirectory();
    if (!beside.empty())
        directories.push_back(beside + "/../share/vexa/mibs");
    directories.push_back(VEXA_INSTALL_MIBDIR);
    directories.push_back(VEXA_SOURCE_MIBDIR);
    return directories;
}

bool initialise()
{
    std::lock_guard<std::mutex> lock(initMutex);
    if (ready)
        return true;

    if (!netsnmpStarted) {
        snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, keepLogMessage, nullptr);
        netsnmp_register_loghandler(NETSNMP_LOGHANDLER_CALLBACK, LOG_DEBUG);
        netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
        // A client has no state worth keeping.
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        // Configuration files are read as usual: that is where defaultPort and
        // the system's MIB directories come from.
        init_snmp(applicationType);
        netsnmpStarted = true;
    }

    // A crate maker's MIB in the system directories wins; ours is only looked for
    // when the system has none.
    const std::string systemDirectories = netsnmp_get_mib_directory() ? netsnmp_get_mib_directory() : "";
    std::string searched = systemDirectories;
    if (which_module(mibModule) < 0) {
        for (const std::string &directory : ownMibDirectories()) {
            searched += (searched.empty() ? "" : ":") + directory;
            if (!isDirectory(directory))
                continue;
            add_mibdir(directory.c_str());
            if (which_module(mibModule) >= 0)
                break;
        }
    }
    if (which_module(mibModule) < 0) {
        SnmpSession::setLastError(std::string("MIB ") + mibModule + " not found (searched " + searched + ")");
        return false;
    }
    takeLogMessage();
    netsnmp_read_module(mibModule);

    std::string error;
    if (!ObjectTable::resolve(mibModule, &error)) {
        const std::string log = takeLogMessage();
        SnmpSession::setLastError(error + (log.empty() ? std::string() : " (" + log + ")"));
        return false;
    }
    ready = true;
    return true;
}

bool isReady()
{
    // Written only while no session can exist (start-up, clean-up).
    return ready;
}

void cleanup()
{
    std::lock_guard<std::mutex> lock(initMutex);
    ready = false;
    ObjectTable::reset();
    // net-snmp itself stays started: its shut-down stores SNMPv3 engine data
    // below /var/lib/snmp whatever the persistence settings say, and a client
    // library has no business writing there. A later snmpInit resolves again.
}

} // namespace LibraryInit

} // namespace wiener
