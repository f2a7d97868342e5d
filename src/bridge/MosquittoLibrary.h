// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <mosquitto.h>

// The libmosquitto functions the bridge calls.
#define RELVOOG_MOSQUITTO_FUNCTIONS(F)                                                             \
    F(mosquitto_lib_init)                                                                          \
    F(mosquitto_new)                                                                               \
    F(mosquitto_destroy)                                                                           \
    F(mosquitto_int_option)                                                                        \
    F(mosquitto_username_pw_set)                                                                   \
    F(mosquitto_will_set_v5)                                                                       \
    F(mosquitto_tls_set)                                                                           \
    F(mosquitto_tls_insecure_set)                                                                  \
    F(mosquitto_connect_v5_callback_set)                                                           \
    F(mosquitto_disconnect_v5_callback_set)                                                        \
    F(mosquitto_message_v5_callback_set)                                                           \
    F(mosquitto_log_callback_set)                                                                  \
    F(mosquitto_connect_async)                                                                     \
    F(mosquitto_socket)                                                                            \
    F(mosquitto_loop_read)                                                                         \
    F(mosquitto_loop_write)                                                                        \
    F(mosquitto_loop_misc)                                                                         \
    F(mosquitto_want_write)                                                                        \
    F(mosquitto_publish_v5)                                                                        \
    F(mosquitto_subscribe_multiple)                                                                \
    F(mosquitto_disconnect_v5)                                                                     \
    F(mosquitto_strerror)                                                                          \
    F(mosquitto_connack_string)                                                                    \
    F(mosquitto_reason_string)

// libmosquitto, loaded when a broker is first set up rather than with the program. The library
// brings OpenSSL with it: 1.7 MB of the service's resident memory, which a program without MQTT
// settings has no use for. Each member has the type and the name of the library's function.
class MosquittoLibrary
{
public:
    // Loaded once, on the first call, and kept to the process's end; nullptr, with the reason in
    // `problem`, if it cannot be.
    static const MosquittoLibrary *load(QString *problem);

#define RELVOOG_MOSQUITTO_MEMBER(name) decltype(&::name) name = nullptr;
    RELVOOG_MOSQUITTO_FUNCTIONS(RELVOOG_MOSQUITTO_MEMBER)
#undef RELVOOG_MOSQUITTO_MEMBER
};
