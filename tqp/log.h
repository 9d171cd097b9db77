// The link's diagnostic log "./TQP32.log". A line is appended only when the file
// already exists in the current directory, so creating the file switches logging
// on. Each line is "yy/mm/dd HH:MM:SS " followed by the message, which is held to
// 80 characters and always ends with a newline. Every message text of the link
// is in the table below.
#pragma once

namespace trk::tqp {

inline constexpr const char* kLogFileName = "./TQP32.log";

namespace message {
inline constexpr const char* kUninstallConnections = "TQPUninstall: closing %d connections.\n";
inline constexpr const char* kUninstallSocket = "TQPUninstall: closing TQP socket.\n";
inline constexpr const char* kNewSerialConnection = "TQPGetMessage: create new serial connection from %d.\n";
inline constexpr const char* kSocketInvalid = "TQPGetMessage: socket is invalid, error %d, node %d.\n";
inline constexpr const char* kSelectNodeFailed = "TQPGetMessage: error %d select socket from node %d.\n";
inline constexpr const char* kSelectAnyFailed = "TQPGetMessage: error %d to select the socket.\n";
inline constexpr const char* kAcceptFailed = "TQPGetMessage: error %d to accept new connection socket.\n";
inline constexpr const char* kAccepted = "TQPGetMessage: accept new socket connection 0x%X.\n";
inline constexpr const char* kReadSocketInvalid = "TQPGetMessage: read socket is invalid, error %d.\n";
inline constexpr const char* kSelectReadFailed = "TQPGetMessage: error %d select read socket 0x%X.\n";
inline constexpr const char* kPartialMessage =
    "TQPGetMessage: received partial message (%d bytes) from socket 0x%X.\n";
inline constexpr const char* kClosedByRemote = "TQPGetMessage: socket connection is closed by remote node 0x%X.\n";
inline constexpr const char* kReceiveFailed = "TQPGetMessage: error %d receive from socket 0x%X.\n";
inline constexpr const char* kEraseConnection = "TQPGetMessage: erase connection socket 0x%X.\n";
inline constexpr const char* kRemovingPrevious = "TQPGetMessage: removing previous connection to node %d.\n";
inline constexpr const char* kCompleteConnection = "TQPGetMessage: complete new connection from node %d.\n";
inline constexpr const char* kSetupFailed = "TQPSendMessage: error %d setup socket, node %d.\n";
inline constexpr const char* kSelectSendFailed = "TQPSendMessage: error %d select socket, node %d.\n";
inline constexpr const char* kSendFailed = "TQPSendMessage: error %d send data to socket, node %d.\n";
inline constexpr const char* kEraseSendSocket = "TQPSendMessage: erase socket connection %X.\n";
}  // namespace message

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace trk::tqp
