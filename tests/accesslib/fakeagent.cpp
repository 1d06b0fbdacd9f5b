// fakeagent <address>: a deliberately odd SNMP agent for the access-library
// tests. It answers every request at once, but in ways a real crate (or a
// broken one) might: plain integers or Opaque doubles for physical values,
// texts with a zero byte, too long BITS, an error status, answers whose
// identifiers or variable count do not match the request. Prints
// "fakeagent: ready" once it listens on udp:<address>:161.

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

volatile sig_atomic_t running = 1;
void stop(int) { running = 0; }

// Name of the object an identifier belongs to, without its index.
std::string objectName(const oid *name, size_t length)
{
    if (length < 2)
        return std::string();
    char buffer[256];
    snprint_objid(buffer, sizeof buffer, name, length - 1);
    std::string text = buffer;
    const size_t colons = text.rfind("::");
    return colons == std::string::npos ? text : text.substr(colons + 2);
}

int answer(int operation, netsnmp_session *session, int, netsnmp_pdu *pdu, void *)
{
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE)
        return 1;
    if (pdu->command != SNMP_MSG_GET && pdu->command != SNMP_MSG_SET)
        return 1;
    // FAKEAGENT_MODE=probe: a crate for crateprobe whose slot 0 claims an
    // absurd channel count and whose slot 1 never answers its description.
    static const bool probeMode = std::getenv("FAKEAGENT_MODE") && std::string(std::getenv("FAKEAGENT_MODE")) == "probe";
    if (probeMode) {
        for (netsnmp_variable_list *v = pdu->variables; v; v = v->next_variable)
            if (objectName(v->name, v->name_length) == "moduleDescription" && v->name[v->name_length - 1] == 2)
                return 1;
    }
    netsnmp_pdu *response = snmp_clone_pdu(pdu);
    response->command = SNMP_MSG_RESPONSE;
    response->errstat = SNMP_ERR_NOERROR;
    response->errindex = 0;
    int position = 0;
    for (netsnmp_variable_list *v = response->variables; v; v = v->next_variable, ++position) {
        const std::string object = objectName(v->name, v->name_length);
        const long index = long(v->name[v->name_length - 1]);
        if (object == "outputVoltage") {
            // a physical value as a plain integer
            const long value = index * 10;
            snmp_set_var_typed_value(v, ASN_INTEGER, &value, sizeof value);
        } else if (object == "outputCurrent") {
            const double value = 0.25 * double(index);
            snmp_set_var_typed_value(v, ASN_OPAQUE_DOUBLE, &value, sizeof value);
        } else if (object == "outputSwitch") {
            const float value = 1.9f;
            snmp_set_var_typed_value(v, ASN_OPAQUE_FLOAT, &value, sizeof value);
        } else if (object == "outputStatus") {
            const unsigned char octets[] = {0x80, 0x10, 0x00, 0x80, 0xff};
            snmp_set_var_typed_value(v, ASN_OCTET_STR, octets, sizeof octets);
        } else if (object == "outputMeasurementCurrent") {
            // answers for a different channel than asked
            v->name[v->name_length - 1] += 1;
            const float value = 1.0f;
            snmp_set_var_typed_value(v, ASN_OPAQUE_FLOAT, &value, sizeof value);
        } else if (object == "outputMeasurementTerminalVoltage") {
            const float value = 2.0f;
            snmp_set_var_typed_value(v, ASN_OPAQUE_FLOAT, &value, sizeof value);
            if (v->next_variable && !v->next_variable->next_variable) { // drop the last variable
                snmp_free_var(v->next_variable);
                v->next_variable = nullptr;
            }
        } else if (object == "psSerialNumber") {
            const char text[] = "AB\0CD";
            snmp_set_var_typed_value(v, ASN_OCTET_STR, text, 5);
        } else if (probeMode && object == "moduleDescription") {
            if (index == 1) {
                const std::string text = "vexa, T03X0, 99999999, 1, 1";
                snmp_set_var_typed_value(v, ASN_OCTET_STR, text.data(), text.size());
            } else {
                snmp_set_var_typed_value(v, SNMP_NOSUCHINSTANCE, nullptr, 0);
            }
        } else if (object == "moduleDescription") {
            const std::string text(300, 'x');
            snmp_set_var_typed_value(v, ASN_OCTET_STR, text.data(), text.size());
        } else if (object == "sysMainSwitch") {
            const long value = 7;
            snmp_set_var_typed_value(v, ASN_COUNTER, &value, sizeof value);
        } else if (object == "fanNominalSpeed") {
            response->errstat = SNMP_ERR_GENERR;
            response->errindex = position + 1;
        } else if (object == "moduleStatus") {
            // a value that is not a value: null
            snmp_set_var_typed_value(v, ASN_NULL, nullptr, 0);
        } else {
            snmp_set_var_typed_value(v, SNMP_NOSUCHOBJECT, nullptr, 0);
        }
    }
    if (!snmp_send(session, response))
        snmp_free_pdu(response);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fakeagent <address>\n");
        return 64;
    }
    std::signal(SIGTERM, stop);
    std::signal(SIGINT, stop);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    init_snmp("fakeagent");
    if (const char *dir = std::getenv("VEXA_MIBDIR"))
        add_mibdir(dir);
    netsnmp_read_module("WIENER-CRATE-MIB");

    const std::string spec = std::string("udp:") + argv[1] + ":161";
    netsnmp_transport *transport = netsnmp_transport_open_server("snmp", spec.c_str());
    if (!transport) {
        std::fprintf(stderr, "fakeagent: cannot listen on %s\n", spec.c_str());
        return 1;
    }
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = nullptr;
    settings.callback = answer;
    settings.isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
    netsnmp_session *session = snmp_add(&settings, transport, nullptr, nullptr);
    if (!session) {
        std::fprintf(stderr, "fakeagent: cannot add the session\n");
        return 1;
    }
    std::printf("fakeagent: ready on %s\n", spec.c_str());
    std::fflush(stdout);
    while (running) {
        int fds = 0, block = 0;
        fd_set readers;
        FD_ZERO(&readers);
        timeval timeout{0, 200000};
        snmp_select_info(&fds, &readers, &timeout, &block);
        timeout = {0, 200000};
        const int ready = select(fds, &readers, nullptr, nullptr, &timeout);
        if (ready > 0)
            snmp_read(&readers);
    }
    snmp_close(session);
    return 0;
}
